// Decodes the entropy-coded data of one JPEG scan far enough to know it is
// sound: every Huffman code, the extra bits it announces, the coefficient
// positions, end-of-band runs, correction bits of progressive refinement
// scans, and restart markers in their order, MCU by MCU up to the number the
// frame size gives. No coefficient values or pixels are computed.
#pragma once

#include <array>
#include <cstdint>

#include "formats/jpeg_bit_reader.h"
#include "formats/jpeg_frame.h"
#include "formats/jpeg_history.h"

namespace salvora {

enum class ScanStep {
    kDone,      // every MCU decoded and a marker follows (the reader's marker())
    kNeedData,  // the window ended inside an MCU: the state is back at that MCU's start
    kBad,       // the data cannot be decoded on: badOffset()
};

class JpegScanDecoder {
  public:
    // Starts `scan` of `frame` with a restart interval of `restartInterval` MCUs (0: none).
    void start(const JpegFrame& frame, const JpegScan& scan, uint32_t restartInterval);

    // Decodes MCUs from `reader` (whose window may end anywhere; feed it a
    // later window and call again after kNeedData). `history` is the
    // progressive coefficient history the frame's scans share.
    ScanStep run(JpegBitReader& reader, CoefficientHistory& history);

    uint64_t badOffset() const { return badOffset_; }
    uint64_t mcusDone() const { return mcu_; }

  private:
    enum class Status { kOk, kNeedData, kBad };

    Status restart(JpegBitReader& reader);
    Status endOfScan(JpegBitReader& reader);
    Status decodeMcu(JpegBitReader& reader, CoefficientHistory& history);
    Status sequentialBlock(JpegBitReader& reader, int index);
    Status dcFirstBlock(JpegBitReader& reader, int index);
    Status acFirstBlock(JpegBitReader& reader, uint64_t& mask);
    Status acRefineBlock(JpegBitReader& reader, uint64_t& mask);

    // Primitives: set `value` from the data, or say why not (badOffset_ set on kBad).
    Status symbol(JpegBitReader& reader, const HuffmanTable& table, int& value);
    Status bits(JpegBitReader& reader, int count, uint32_t& value);
    Status skipBits(JpegBitReader& reader, int count);
    Status shortage(const JpegBitReader& reader);
    // Why a code and its extra bits could not be taken: too few bits, or no such code.
    Status codeProblem(const JpegBitReader& reader, const HuffmanTable::Match& match);
    Status bad(uint64_t offset) {
        badOffset_ = offset;
        return Status::kBad;
    }

    JpegScan scan_;
    bool progressive_ = false;
    uint8_t component_ = 0;  // the component of a single-component scan
    uint8_t blocksInMcu_[4] = {};
    uint64_t mcuCount_ = 0;
    uint64_t mcu_ = 0;
    uint32_t restartInterval_ = 0;
    uint8_t nextRestart_ = 0;
    uint32_t endOfBandRun_ = 0;
    std::array<int32_t, 4> dcPredictor_{};  // DC value of each component's last block
    int32_t dcLimit_ = 1024;
    int maxDcCategory_ = 11;
    int maxAcCategory_ = 10;
    uint64_t badOffset_ = 0;
};

}  // namespace salvora
