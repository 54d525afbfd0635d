// The one process-wide text holding the engine's last error.
//
// The front ends clear it before a scan and show it after a failed one; the
// media layer and the carve loop overwrite it with their messages. The text is
// UTF-8; the Windows front end widens it for display.
#pragma once

#include <string>

namespace salvora {

// A copy of the current text (empty when no error was recorded).
std::string lastErrorText();
void setLastErrorText(const std::string& text);
void clearLastErrorText();

}  // namespace salvora
