// The command sequences of the four CF security operations. Each command is
// followed by the ready wait; a step succeeds only when the reader answered
// its command GOOD and the wait reports neither error nor device fault within
// its limit. runCfOperation wraps a sequence in the checks that make its
// result true of the card that was asked: the card is identified before and
// after, and success is read back from its security state.
#pragma once

#include <functional>
#include <string>

#include "cardsec/cf_commands.h"
#include "cardsec/result_message.h"

namespace salvora::cardsec {

// Stages the remove and erase sequences announce before their second step.
enum class CfStage { kDisablingPassword, kErasing };
using CfStageObserver = std::function<void(CfStage)>;

struct CfOperationResult {
    bool succeeded = false;
    bool cardChanged = false;  // another card (or none) was found before anything was sent
    ResultMessage message;     // "Success!" or "Failed!" with the operation's text
};

// SET PASSWORD; wait.
CfOperationResult runCfSetPassword(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                                   Sleeper& sleeper);

// UNLOCK; 100 ms; wait.
CfOperationResult runCfUnlock(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                              Sleeper& sleeper);

// UNLOCK; 100 ms when security is enabled; wait; then DISABLE PASSWORD; wait.
// No DISABLE PASSWORD is sent when the UNLOCK step fails.
CfOperationResult runCfRemovePassword(ReaderTransport& transport, SlotHandle handle,
                                      const std::string& password, bool securityEnabled, Sleeper& sleeper,
                                      const CfStageObserver& stage);

// ERASE PREPARE; wait; ERASE UNIT (normal erase); 100 ms when security is
// enabled; wait for as long as the card is busy, at most
// eraseWaitLimitMs(eraseTimeByte); 100 ms more on success when security is
// enabled.
CfOperationResult runCfErase(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                             bool securityEnabled, uint8_t eraseTimeByte, Sleeper& sleeper,
                             const CfStageObserver& stage);

enum class CfOperation { kSetPassword, kUnlock, kRemovePassword, kErase };

// One operation as the user chose it.
struct CfRequest {
    CfOperation operation = CfOperation::kUnlock;
    std::string password;
    bool securityEnabled = false;  // m_bCfSecurityEnabled when it was chosen
    CfCardIdentity card;           // the card it was chosen for, from that card's IDENTIFY data
    uint8_t eraseTimeByte = 0;     // that card's IDENTIFY word 89, low byte
};

// Identifies the card in the slot: when it is not request.card (taken out,
// replaced, put back since the slot was last asked, or not answering),
// nothing is sent and the result says so. Then
// runs the operation's sequence, and identifies the card again: success
// only when the same card now shows the state the operation gives (set
// password: security enabled; unlock: not locked; remove password and erase:
// security disabled); otherwise the operation's failure text. A wait that
// reached its limit fails with "The card did not answer.".
CfOperationResult runCfOperation(ReaderTransport& transport, SlotHandle handle, const CfRequest& request,
                                 Sleeper& sleeper, const CfStageObserver& stage);

}  // namespace salvora::cardsec
