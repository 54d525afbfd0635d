// The transport of the platform the program runs on: SG_IO on Linux, the SCSI
// pass-through of Windows.
#pragma once

#include <memory>

#include "cardsec/transport.h"

namespace salvora::cardsec {

// A transport to the machine's real drives. Never null.
std::unique_ptr<ReaderTransport> makeSystemTransport();

// True when this process may send vendor commands to drives (root or the raw
// I/O capability on Linux, an administrator on Windows).
bool hasDeviceRights();

}  // namespace salvora::cardsec
