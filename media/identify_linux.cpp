#include "media/device_reader.h"

namespace salvora {

// Identity of Linux block devices comes from sysfs; filled in with disk enumeration.
void identifyDevice(MediaReader&) {}

}  // namespace salvora
