// Texts of the program's windows: the product name and version from the
// program's resources, and 8-bit texts widened for display.
#pragma once

#include <string>

#include "recovery_app/core/about_notice.h"

namespace salvora {

// String resource 102, the product's name ("Salvora").
std::string productName();

// The file version of the running program (its version resource); all
// parts 0 when it cannot be read.
FileVersion programVersion();

// Each byte of `text` as the character of the same code (Latin-1): volume
// labels and family descriptions are 8-bit texts.
std::wstring latin1ToWide(const std::string& text);

}  // namespace salvora
