#include "formats/jpeg_frame.h"

#include <algorithm>

namespace salvora {

namespace {

constexpr uint8_t kBaseline = 0xC0;
constexpr uint8_t kExtendedSequential = 0xC1;
constexpr uint8_t kProgressive = 0xC2;
constexpr int kMaxBlocksInMcu = 10;

uint32_t ceilDiv(uint32_t value, uint32_t by) {
    return (value + by - 1) / by;
}

}  // namespace

JpegHeader parseFrame(Bytes segment, uint8_t code, JpegFrame& frame) {
    if (code != kBaseline && code != kExtendedSequential && code != kProgressive)
        return JpegHeader::kUnsupported;
    frame = JpegFrame();
    frame.progressive = code == kProgressive;
    frame.precision = segment.u8(0);
    frame.height = segment.be16(1);
    frame.width = segment.be16(3);
    frame.componentCount = segment.u8(5);
    if (!segment.has(0, 6 + 3 * size_t{frame.componentCount}))
        return JpegHeader::kInvalid;
    const bool precisionAllowed = frame.precision == 8 || (code != kBaseline && frame.precision == 12);
    if (!precisionAllowed || frame.width == 0 || frame.componentCount == 0 || frame.componentCount > 4)
        return JpegHeader::kInvalid;
    if (frame.height == 0)
        return JpegHeader::kUnsupported;  // the height comes later, in a DNL segment
    uint8_t hMax = 1, vMax = 1;
    for (uint8_t i = 0; i < frame.componentCount; ++i) {
        JpegComponent& component = frame.components[i];
        component.id = segment.u8(6 + 3 * i);
        component.h = segment.u8(7 + 3 * i) >> 4;
        component.v = segment.u8(7 + 3 * i) & 0x0F;
        if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4)
            return JpegHeader::kInvalid;
        hMax = std::max(hMax, component.h);
        vMax = std::max(vMax, component.v);
    }
    for (uint8_t i = 0; i < frame.componentCount; ++i) {
        JpegComponent& component = frame.components[i];
        component.blocksWide = ceilDiv(ceilDiv(frame.width * uint32_t{component.h}, hMax), 8);
        component.blocksHigh = ceilDiv(ceilDiv(frame.height * uint32_t{component.v}, vMax), 8);
    }
    frame.mcusWide = ceilDiv(frame.width, 8 * uint32_t{hMax});
    frame.mcusHigh = ceilDiv(frame.height, 8 * uint32_t{vMax});
    return JpegHeader::kValid;
}

JpegHeader parseScan(Bytes segment, const JpegFrame& frame, const JpegHuffmanTables& tables, JpegScan& scan) {
    scan = JpegScan();
    scan.componentCount = segment.u8(0);
    const size_t after = 1 + 2 * size_t{scan.componentCount};
    if (scan.componentCount < 1 || scan.componentCount > 4 || !segment.has(0, after + 3))
        return JpegHeader::kInvalid;
    scan.spectralStart = segment.u8(after);
    scan.spectralEnd = segment.u8(after + 1);
    scan.approximationHigh = segment.u8(after + 2) >> 4;
    scan.approximationLow = segment.u8(after + 2) & 0x0F;
    const bool dcScan = scan.spectralStart == 0;
    if (frame.progressive) {
        const bool bandValid = dcScan ? scan.spectralEnd == 0
                                      : scan.spectralEnd >= scan.spectralStart && scan.spectralEnd <= 63 &&
                                            scan.componentCount == 1;
        if (!bandValid || scan.approximationHigh > 13 || scan.approximationLow > 13)
            return JpegHeader::kInvalid;
    } else if (scan.spectralStart != 0 || scan.spectralEnd != 63 || scan.approximationHigh != 0 ||
               scan.approximationLow != 0) {
        return JpegHeader::kInvalid;
    }
    int blocks = 0;
    for (uint8_t i = 0; i < scan.componentCount; ++i) {
        const uint8_t id = segment.u8(1 + 2 * i);
        const uint8_t selectors = segment.u8(2 + 2 * i);
        const auto begin = frame.components.begin();
        const auto found = std::find_if(begin, begin + frame.componentCount,
                                        [id](const JpegComponent& component) { return component.id == id; });
        if (found == begin + frame.componentCount || (selectors >> 4) > 3 || (selectors & 0x0F) > 3)
            return JpegHeader::kInvalid;
        scan.components[i] = static_cast<uint8_t>(found - begin);
        blocks += scan.componentCount == 1 ? 1 : found->h * found->v;
        scan.dc[i] = tables[0][selectors >> 4];
        scan.ac[i] = tables[1][selectors & 0x0F];
        const bool needsDc = !frame.progressive || (dcScan && scan.approximationHigh == 0);
        const bool needsAc = !frame.progressive || !dcScan;
        if ((needsDc && !scan.dc[i]) || (needsAc && !scan.ac[i]))
            return JpegHeader::kUnsupported;
    }
    return blocks <= kMaxBlocksInMcu ? JpegHeader::kValid : JpegHeader::kInvalid;
}

bool parseHuffmanTables(Bytes segment, JpegHuffmanTables& tables) {
    size_t at = 0;
    while (at < segment.size()) {
        const uint8_t kind = segment.u8(at) >> 4;
        const uint8_t destination = segment.u8(at) & 0x0F;
        if (kind > 1 || destination > 3 || !segment.has(at, 17))
            return false;
        std::array<uint8_t, 16> counts{};
        int total = 0;
        for (int i = 0; i < 16; ++i) {
            counts[i] = segment.u8(at + 1 + i);
            total += counts[i];
        }
        if (!segment.has(at + 17, total))
            return false;
        auto table = std::make_shared<HuffmanTable>();
        if (!table->build(counts, segment.data() + at + 17, total))
            return false;
        tables[kind][destination] = std::move(table);
        at += 17 + total;
    }
    return true;
}

}  // namespace salvora
