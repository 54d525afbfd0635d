// The label rules shared by the FAT boot sector and directory labels.
#pragma once

#include <string>

#include "media/bytes.h"

namespace salvora {

// Length of a FAT label field.
constexpr size_t kFatLabelLength = 11;

// The label held in the 11 bytes at `at`: taken up to the first zero byte,
// trailing spaces removed. Empty when the field does not fit in `bytes` or
// when a character is below 0x20 or one of  " * / : < > ? \ |  .
std::string fatLabelAt(Bytes bytes, size_t at);

}  // namespace salvora
