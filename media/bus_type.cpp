#include "media/bus_type.h"

namespace salvora {

const char* busTypeName(uint32_t busType) {
    static const char* const kNames[] = {"unknown", "scsi", "atapi",  "ata",  "1394", "ssa", "fibre",
                                         "usb",     "raid", "iscsi",  "sas",  "sata", "sd",  "mmc",
                                         "virtual", "file", "spaces", "nvme", "scm",  "ufs"};
    return busType < sizeof kNames / sizeof kNames[0] ? kNames[busType] : "unknown";
}

}  // namespace salvora
