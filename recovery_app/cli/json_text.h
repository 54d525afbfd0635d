// Small helpers for printing listings: JSON strings and 8-bit texts.
#pragma once

#include <cstdint>
#include <string>

namespace salvora::cli {

// `text` (UTF-8) as a quoted JSON string with the characters JSON requires escaped.
std::string jsonString(const std::string& text);

// An 8-bit engine text (volume labels are Latin-1) as UTF-8.
std::string latin1ToUtf8(const std::string& text);

}  // namespace salvora::cli
