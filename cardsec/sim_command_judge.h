// The simulated reader's judge: every command block and data block that
// reaches the simulated reader is compared with the reader's command table,
// written here from the protocol description with literal numbers only (the
// judge shares no code with the commands it judges). A block that is not in
// the table, in every byte, in its direction and in its transfer length, is
// refused with CHECK CONDITION and recorded by the reader.
#pragma once

#include <string>

#include "cardsec/types.h"

namespace salvora::cardsec {

// The commands the reader carries.
enum class SimCommand {
    kTestUnitReady,
    kSdSendStatus,       // CMD13
    kSdLockUnlock,       // CMD42
    kAtaIdentifyDevice,  // 0xEC
    kAtaReadStatus,      // the reader's vendor status read, 0xAA
    kAtaSetPassword,     // 0xF1
    kAtaUnlock,          // 0xF2
    kAtaErasePrepare,    // 0xF3
    kAtaEraseUnit,       // 0xF4
    kAtaDisablePassword  // 0xF6
};

struct SimVerdict {
    bool accepted = false;
    SimCommand command = SimCommand::kTestUnitReady;
    std::string reason;  // why a block was refused, for the record
};

// Judges one command: its 16-byte block, the direction of its data phase and
// its data block (512 bytes, or null when there is no data phase, which makes
// the transfer length 0). Data-out blocks are judged too: the SD lock/unlock
// block and the ATA password block.
SimVerdict judgeCommand(const Cdb& cdb, Direction direction, const uint8_t* data);

// SD slot commands, CF slot commands (TEST UNIT READY belongs to both).
bool isSdCommand(SimCommand command);
bool isCfCommand(SimCommand command);
// The commands that change a card's security state: CMD42 and 0xF1..0xF6.
bool isSecurityCommand(SimCommand command);

// The command block and data phase as text, for the record.
std::string describeCommand(const Cdb& cdb, Direction direction, const uint8_t* data);

}  // namespace salvora::cardsec
