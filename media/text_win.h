// Text conversions between the engine's UTF-8 and the wide texts of the
// Windows API, and the system's own words for an error code.
#pragma once

#include <string>

namespace salvora {

// The UTF-16 form of UTF-8 `text` (invalid sequences become U+FFFD).
std::wstring widen(const std::string& text);

// The UTF-8 form of UTF-16 `text`.
std::string narrow(const std::wstring& text);

// The system's message for the error `code` in UTF-8, without the line end
// the system appends; "Unknown error" when the system has no text for it.
std::string systemErrorText(unsigned long code);

}  // namespace salvora
