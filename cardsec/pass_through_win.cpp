#include "cardsec/pass_through_win.h"

#include <windows.h>
#include <winioctl.h>
// ntddscsi.h builds its control codes with the macros of winioctl.h.
#include <ntddscsi.h>

#include <cstddef>

namespace salvora::cardsec {

namespace {

// The request as the driver takes it: the header, a filler, the sense buffer
// and the data buffer.
struct PassThroughWithBuffers {
    SCSI_PASS_THROUGH header;
    ULONG filler;
    UCHAR sense[kSenseSize];
    UCHAR data[kDataBlockSize];
};

constexpr PassThroughLayout kSystemLayout{
    .length = offsetof(SCSI_PASS_THROUGH, Length),
    .scsiStatus = offsetof(SCSI_PASS_THROUGH, ScsiStatus),
    .pathId = offsetof(SCSI_PASS_THROUGH, PathId),
    .targetId = offsetof(SCSI_PASS_THROUGH, TargetId),
    .lun = offsetof(SCSI_PASS_THROUGH, Lun),
    .cdbLength = offsetof(SCSI_PASS_THROUGH, CdbLength),
    .senseInfoLength = offsetof(SCSI_PASS_THROUGH, SenseInfoLength),
    .dataIn = offsetof(SCSI_PASS_THROUGH, DataIn),
    .dataTransferLength = offsetof(SCSI_PASS_THROUGH, DataTransferLength),
    .timeOutValue = offsetof(SCSI_PASS_THROUGH, TimeOutValue),
    .dataBufferOffset = offsetof(SCSI_PASS_THROUGH, DataBufferOffset),
    .dataBufferOffsetSize = sizeof(SCSI_PASS_THROUGH::DataBufferOffset),
    .senseInfoOffset = offsetof(SCSI_PASS_THROUGH, SenseInfoOffset),
    .cdb = offsetof(SCSI_PASS_THROUGH, Cdb),
    .headerSize = sizeof(SCSI_PASS_THROUGH),
    .senseBuffer = offsetof(PassThroughWithBuffers, sense),
    .dataBuffer = offsetof(PassThroughWithBuffers, data),
};

constexpr bool sameLayout(const PassThroughLayout& a, const PassThroughLayout& b) {
    return a.length == b.length && a.scsiStatus == b.scsiStatus && a.pathId == b.pathId &&
           a.targetId == b.targetId && a.lun == b.lun && a.cdbLength == b.cdbLength &&
           a.senseInfoLength == b.senseInfoLength && a.dataIn == b.dataIn &&
           a.dataTransferLength == b.dataTransferLength && a.timeOutValue == b.timeOutValue &&
           a.dataBufferOffset == b.dataBufferOffset && a.dataBufferOffsetSize == b.dataBufferOffsetSize &&
           a.senseInfoOffset == b.senseInfoOffset && a.cdb == b.cdb && a.headerSize == b.headerSize &&
           a.senseBuffer == b.senseBuffer && a.dataBuffer == b.dataBuffer;
}

// The portable builder's layout of this architecture must be the structure's.
#if defined(_WIN64)
static_assert(sameLayout(kSystemLayout, kPassThrough64), "SCSI_PASS_THROUGH differs from kPassThrough64");
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == 32);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == 36);
static_assert(sizeof(SCSI_PASS_THROUGH) == 56);
#else
static_assert(sameLayout(kSystemLayout, kPassThrough32), "SCSI_PASS_THROUGH differs from kPassThrough32");
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == 20);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == 28);
static_assert(sizeof(SCSI_PASS_THROUGH) == 44);
#endif
static_assert(IOCTL_SCSI_PASS_THROUGH == kIoctlScsiPassThrough);

}  // namespace

const PassThroughLayout& systemPassThroughLayout() {
    return kSystemLayout;
}

}  // namespace salvora::cardsec
