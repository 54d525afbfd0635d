// The SG_IO request the Linux transport sends for one command block.
#pragma once

#include <scsi/sg.h>

#include "cardsec/types.h"

namespace salvora::cardsec {

constexpr unsigned kSgTimeoutMs = 300 * 1000;  // the pass-through time-out, 300 s
constexpr unsigned char kSgSenseSize = 32;

// Fills `header` for `cdb` in `direction`: 16-byte command, 512-byte data
// block (none for kNoData), 32-byte sense buffer, 300 s time-out. The header
// points at `cdb`, `data` and `sense`, which must outlive the ioctl.
void fillSgIoHeader(sg_io_hdr_t& header, const Cdb& cdb, Direction direction, uint8_t* data,
                    unsigned char* sense);

// True when the kernel completed the request: no host or driver error beyond
// the sense data that comes with a CHECK CONDITION.
bool sgIoCompleted(const sg_io_hdr_t& header);

}  // namespace salvora::cardsec
