// lockwright: locks, unlocks and erases SD and CF cards in the Korvell QX7R
// card reader (shown to users as Cardwarden).
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "cardprotect_app/cli/card_commands.h"
#include "cardprotect_app/cli/command_line.h"
#include "cardprotect_app/cli/exit_codes.h"
#include "cardprotect_app/cli/sim_commands.h"
#include "cardprotect_app/cli/terminal_ui.h"
#include "cardprotect_app/core/app_texts.h"
#include "cardsec/simulated_reader.h"
#include "cardsec/system_transport.h"

namespace {

using namespace salvora;
using namespace salvora::lockwright;

const char* kUsage =
    "Usage: lockwright [--simulate STATE] COMMAND [--slot sd|cf]\n"
    "\n"
    "Cardwarden protects the SD and CF cards in the Korvell QX7R USB 3.0 card reader\n"
    "with the cards' own passwords: an SD card locks at once, a CF card locks the next\n"
    "time it is inserted. Lockwright finds the reader by itself.\n"
    "\n"
    "Commands:\n"
    "  status [--slot sd|cf]       show whether the card is locked and what can be done\n"
    "  lock --slot sd|cf           set a new password (typed twice, no spaces) and lock\n"
    "  unlock --slot sd|cf         unlock with the password until the card is removed\n"
    "  remove-password --slot sd|cf  remove the password protection (password needed)\n"
    "  erase --slot sd|cf          erase ALL data on the card and its password; an SD card\n"
    "                              needs no password, a CF card needs its password\n"
    "  sim VERB ...                change the simulated reader (needs --simulate)\n"
    "\n"
    "Passwords are read without echo from the terminal; when standard input is not a\n"
    "terminal, passwords and y/n answers are read from it line by line. A password has\n"
    "at most 31 characters, all of them printable ASCII (letters A-Z and a-z, digits,\n"
    "punctuation). Erasing asks for a y/n confirmation. One operation at a time uses\n"
    "the reader: another lockwright waits for it (at most 15 seconds).\n"
    "\n"
    "Options:\n"
    "  --slot sd|cf      the card to work on (given once; an empty value is an error)\n"
    "  --simulate STATE  use a simulated reader kept in the file STATE instead of the\n"
    "                    real one (created empty when missing); may stand anywhere;\n"
    "                    an empty STATE is an error, never the real reader\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "Simulated reader (lockwright --simulate STATE sim ...):\n"
    "  sim insert sd|cf [--password P] [--unlocked] [--locked] [--frozen]\n"
    "                  [--erase-units N] [--erase-seconds S] [--enhanced-erase] [--level-max]\n"
    "        insert a new card; a card with a password starts locked (--unlocked: as if\n"
    "        it had been unlocked since); --frozen: a CF card whose security is frozen;\n"
    "        --erase-units: the CF erase time it announces, in 2-minute units (default 1);\n"
    "        --erase-seconds: how long its erase really keeps it busy (default 3)\n"
    "  sim remove sd|cf       take the card out\n"
    "  sim power-cycle sd|cf  take the card out and put it back\n"
    "  sim unplug | sim plug  unplug or plug in the whole reader\n"
    "  sim show               print the simulated cards and the commands the reader\n"
    "                         received and refused (blocks not in its command table)\n"
    "  sim fault sd|cf refuse      the reader refuses the slot's next security command\n"
    "  sim fault cf stuck-busy     the CF card stays busy until the fault is cleared\n"
    "  sim fault sd|cf clear       both faults off\n"
    "\n"
    "Linux drives: physical drive N is /dev/sd(a+N), shown as \"Disk (X:)\" with the\n"
    "letter C for /dev/sda, D for /dev/sdb and so on. Commands to a real reader need\n"
    "root rights (the raw I/O capability).\n"
    "\n"
    "Exit status:\n"
    "  0  done: the card confirmed the operation, or the status was shown\n"
    "  1  the card refused or did not confirm the operation\n"
    "  2  the command line is wrong\n"
    "  3  no reader, no card in the slot, or the slot cannot be opened\n"
    "  4  the action is not available for this card in its present state\n"
    "  5  cancelled: answered No, or no acceptable password was given\n"
    "  6  no rights to send commands to the reader (run as root)\n"
    "  7  the simulation state file cannot be read or written\n"
    "  8  the reader is busy with another program, or the card did not answer in time\n";

int runCardCommand(const CommandLine& line, cardsec::ReaderTransport& transport) {
    cardsec::ThreadSleeper sleeper;
    TerminalUi ui(stdin, stdout, stderr, isatty(STDIN_FILENO) != 0);
    if (line.command == "status")
        return statusCommand(line, transport, sleeper, ui);
    return actionCommand(line, transport, sleeper, ui);
}

int runSimulated(const CommandLine& line) {
    cardsec::FileStore store(line.simulate);
    if (!store.use([](cardsec::SimulatedReader&) {})) {
        std::fprintf(stderr, "lockwright: %s\n", store.lastError().c_str());
        return kExitSimulation;
    }
    cardsec::SimulatedTransport transport(store, cardsec::wallClockMs);
    return runCardCommand(line, transport);
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string error;
    if (!parseCommandLine(argc, argv, line, error)) {
        std::fprintf(stderr, "lockwright: %s\n\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(kUsage, stdout);
        return kExitSuccess;
    }
    if (line.version) {
        std::puts("Lockwright (Cardwarden) 1.0");
        return kExitSuccess;
    }
    if (line.command == "sim")
        return simCommand(line);
    if (!line.simulate.empty())
        return runSimulated(line);
    if (!cardsec::hasDeviceRights()) {
        std::fprintf(stderr,
                     "%s Please run lockwright as root (for example with sudo): sending commands "
                     "to the card reader needs the raw I/O capability.\n",
                     cardprotect::text::kNeedsAdministrator);
        return kExitNoRights;
    }
    const std::unique_ptr<cardsec::ReaderTransport> transport = cardsec::makeSystemTransport();
    return runCardCommand(line, *transport);
}
