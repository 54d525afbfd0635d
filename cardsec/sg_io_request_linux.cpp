#include "cardsec/sg_io_request_linux.h"

#include <cstring>

namespace salvora::cardsec {

namespace {

int sgDirection(Direction direction) {
    switch (direction) {
        case Direction::kDataOut:
            return SG_DXFER_TO_DEV;
        case Direction::kDataIn:
            return SG_DXFER_FROM_DEV;
        case Direction::kNoData:
            return SG_DXFER_NONE;
    }
    return SG_DXFER_NONE;
}

constexpr unsigned kDriverSense = 0x08;

}  // namespace

void fillSgIoHeader(sg_io_hdr_t& header, const Cdb& cdb, Direction direction, uint8_t* data,
                    unsigned char* sense) {
    std::memset(&header, 0, sizeof header);
    header.interface_id = 'S';
    header.dxfer_direction = sgDirection(direction);
    header.cmd_len = kCdbSize;
    header.mx_sb_len = kSgSenseSize;
    const bool hasData = direction != Direction::kNoData && data;
    header.dxfer_len = hasData ? kDataBlockSize : 0;
    header.dxferp = hasData ? data : nullptr;
    header.cmdp = const_cast<unsigned char*>(cdb.data());
    header.sbp = sense;
    header.timeout = kSgTimeoutMs;
}

bool sgIoCompleted(const sg_io_hdr_t& header) {
    return header.host_status == 0 && (header.driver_status & ~kDriverSense) == 0;
}

}  // namespace salvora::cardsec
