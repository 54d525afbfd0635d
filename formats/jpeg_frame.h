// The frame and scan headers of a JPEG file (SOF, SOS, DHT and DRI marker
// segments, ITU-T T.81 Annex B), parsed into what decoding the entropy-coded
// data needs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "formats/jpeg_huffman.h"
#include "media/bytes.h"

namespace salvora {

struct JpegComponent {
    uint8_t id = 0;
    uint8_t h = 1;  // sampling factors
    uint8_t v = 1;
    uint32_t blocksWide = 0;  // blocks of the component alone (non-interleaved scans)
    uint32_t blocksHigh = 0;
};

struct JpegFrame {
    bool progressive = false;
    uint8_t precision = 8;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t componentCount = 0;
    std::array<JpegComponent, 4> components{};
    uint32_t mcusWide = 0;  // MCUs of an interleaved scan
    uint32_t mcusHigh = 0;
};

struct JpegScan {
    uint8_t componentCount = 0;
    std::array<uint8_t, 4> components{};  // indices into the frame's components
    std::array<std::shared_ptr<const HuffmanTable>, 4> dc;
    std::array<std::shared_ptr<const HuffmanTable>, 4> ac;
    uint8_t spectralStart = 0;      // Ss
    uint8_t spectralEnd = 63;       // Se
    uint8_t approximationHigh = 0;  // Ah
    uint8_t approximationLow = 0;   // Al
};

// Huffman tables in force: [0] DC, [1] AC, each by destination 0-3.
using JpegHuffmanTables = std::array<std::array<std::shared_ptr<const HuffmanTable>, 4>, 2>;

enum class JpegHeader { kValid, kInvalid, kUnsupported };

// Parses a frame header (the segment after its length field) of marker
// `code`: baseline, extended sequential and progressive Huffman frames are
// valid; lossless, hierarchical and arithmetic-coded frames and a height
// left to a DNL marker are unsupported.
JpegHeader parseFrame(Bytes segment, uint8_t code, JpegFrame& frame);

// Parses a scan header against `frame` and the tables in force.
// Invalid: unknown components, spectral or approximation values the frame
// type does not allow, more than 10 blocks in an MCU. Unsupported: a table
// the scan needs was never defined.
JpegHeader parseScan(Bytes segment, const JpegFrame& frame, const JpegHuffmanTables& tables, JpegScan& scan);

// Parses the Huffman tables of a DHT segment into `tables`. False when one is invalid.
bool parseHuffmanTables(Bytes segment, JpegHuffmanTables& tables);

}  // namespace salvora
