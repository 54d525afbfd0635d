// Storage bus type codes, as the system's storage property query reports
// them. The Linux identification maps its devices onto the same codes.
#pragma once

#include <cstdint>

namespace salvora {

enum BusType : uint32_t {
    kBusUnknown = 0x00,
    kBusScsi = 0x01,
    kBusAtapi = 0x02,
    kBusAta = 0x03,
    kBus1394 = 0x04,
    kBusSsa = 0x05,
    kBusFibre = 0x06,
    kBusUsb = 0x07,
    kBusRaid = 0x08,
    kBusIscsi = 0x09,
    kBusSas = 0x0A,
    kBusSata = 0x0B,
    kBusSd = 0x0C,
    kBusMmc = 0x0D,
    kBusVirtual = 0x0E,
    kBusFileBackedVirtual = 0x0F,
    kBusSpaces = 0x10,
    kBusNvme = 0x11,
    kBusScm = 0x12,
    kBusUfs = 0x13,
};

// A short lower-case name for the code ("usb", "sata", "nvme", ...);
// "unknown" for codes without one.
const char* busTypeName(uint32_t busType);

}  // namespace salvora
