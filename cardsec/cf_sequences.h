// The command sequences of the four CF security operations. Each command is
// followed by the ready wait; a step succeeds only when its command reached
// the card and the wait reports neither error nor device fault.
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
    ResultMessage message;  // "Success!" or "Failed!" with the operation's text
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
// enabled; wait for as long as the card is busy; 100 ms more on success when
// security is enabled.
CfOperationResult runCfErase(ReaderTransport& transport, SlotHandle handle, const std::string& password,
                             bool securityEnabled, Sleeper& sleeper, const CfStageObserver& stage);

}  // namespace salvora::cardsec
