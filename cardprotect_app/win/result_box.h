// The program's message boxes: a text, a caption and an icon, modal to the
// main window, shown from whichever thread asks.
#pragma once

#include <windows.h>

#include "cardsec/result_message.h"

namespace salvora::lockwright {

// Shows `message` with `buttons` (MB_OK, MB_YESNO) and the icon it names.
// Returns the button pressed (IDOK, IDYES, IDNO).
int showResultBox(HWND owner, const cardsec::ResultMessage& message, UINT buttons = MB_OK);

}  // namespace salvora::lockwright
