// The agreement as the window shows it (Windows only).
#pragma once

#include <string>

namespace salvora {

// agreementText() in UTF-16, converted from code page 950 (which reads the
// English part as ASCII and the Chinese part as Big5) on every system, with
// "\r\n" line ends for the rich edit control. Empty when the system cannot
// convert from code page 950.
std::wstring agreementWideText();

}  // namespace salvora
