// UTF-16 texts found on disks (GPT partition names, FAT long names) as UTF-8.
#pragma once

#include <cstddef>
#include <string>

#include "media/bytes.h"

namespace salvora {

// The UTF-16LE text of at most `units` code units at `at` in `bytes`, as
// UTF-8. It ends at the first zero unit or where `bytes` ends. Surrogate
// pairs give one character; a surrogate without its partner gives U+FFFD.
std::string utf16leToUtf8(Bytes bytes, size_t at, size_t units);

// Appends code point `c` to `text` as UTF-8.
void appendUtf8(std::string& text, char32_t c);

}  // namespace salvora
