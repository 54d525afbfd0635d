// lockwright status and the four card actions.
#pragma once

#include "cardprotect_app/cli/command_line.h"
#include "cardprotect_app/cli/terminal_ui.h"
#include "cardsec/sleeper.h"
#include "cardsec/transport.h"

namespace salvora::lockwright {

// Shows the state of the card in the chosen slot, or of both slots. Returns an
// exit code.
int statusCommand(const CommandLine& line, cardsec::ReaderTransport& transport, cardsec::Sleeper& sleeper,
                  TerminalUi& ui);

// lock, unlock, remove-password or erase on the card in line.slot. Returns an
// exit code.
int actionCommand(const CommandLine& line, cardsec::ReaderTransport& transport, cardsec::Sleeper& sleeper,
                  TerminalUi& ui);

}  // namespace salvora::lockwright
