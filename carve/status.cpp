#include "carve/status.h"

#include <cstring>

namespace salvora {

Status Status::fromError(ScanResult resultCode, int errorNumber) {
    return Status(resultCode, std::strerror(errorNumber));
}

}  // namespace salvora
