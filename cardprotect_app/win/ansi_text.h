// The program's texts are 8-bit, in the code page of the user's system, as
// the cards receive the passwords; the window API takes UTF-16.
#pragma once

#include <string>

namespace salvora::lockwright {

// `text` (system code page) as UTF-16.
std::wstring toWide(const std::string& text);

// `text` in the system code page; characters it lacks become its default character.
std::string toAnsi(const std::wstring& text);

// `text` in UTF-8: nothing is lost or replaced, and every character beyond
// ASCII becomes bytes above 0x7F.
std::string toUtf8(const std::wstring& text);

}  // namespace salvora::lockwright
