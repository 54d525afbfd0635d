// Quoting texts for the JSON listings.
#pragma once

#include <string>

namespace salvora::cli {

// `text` as a quoted JSON string with the characters JSON requires escaped.
// Texts are UTF-8 as far as they are valid; a byte that is not part of a
// valid UTF-8 sequence (a Linux path may hold any byte) is written as the
// escape \udcXX of its value XX, the lone low surrogate that Python's
// "surrogateescape" maps back to the byte, so the output stays valid JSON.
std::string jsonString(const std::string& text);

}  // namespace salvora::cli
