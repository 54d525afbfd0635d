#include "modal_scope.h"

namespace salvora::lockwright {

thread_local int ModalScope::depth_ = 0;

}  // namespace salvora::lockwright
