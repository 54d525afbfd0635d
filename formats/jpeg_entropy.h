// Checks that a JPEG file's entropy-coded data decodes, without computing any
// pixels: the marker segments are followed, every scan is decoded with the
// file's own Huffman tables (baseline, extended sequential and progressive,
// with restart intervals) and its MCUs counted against the frame size, up to
// the end-of-image marker.
//
// The validator takes the file in pieces and can be copied at any point:
// a copy made where the data runs out can be fed other bytes (a candidate
// continuation of a fragmented file) without decoding the first bytes again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/jpeg_bit_reader.h"
#include "formats/jpeg_frame.h"
#include "formats/jpeg_history.h"
#include "formats/jpeg_scan_decoder.h"

namespace salvora {

enum class JpegDataVerdict {
    kNeedMore,     // every byte fed so far is sound; the file has not ended
    kValid,        // sound up to and with the end-of-image marker
    kBadData,      // the data cannot be decoded on
    kUnsupported,  // a frame type or header the validator does not follow
};

struct JpegDataCheck {
    JpegDataVerdict verdict = JpegDataVerdict::kNeedMore;
    // kValid: the offset just past the end-of-image marker. kBadData: the
    // first byte where decoding cannot go on (in a scan, the byte holding the
    // bit where a code became impossible, or the marker that came too early).
    // kUnsupported: the marker of the segment it cannot follow. kNeedMore:
    // the number of bytes fed.
    uint64_t offset = 0;
};

class JpegEntropyValidator {
  public:
    // Takes the next `length` bytes of the file (the first call starts at its
    // first byte) and returns the verdict after them. Once the verdict is
    // final (not kNeedMore), further bytes change nothing.
    JpegDataCheck feed(const uint8_t* data, size_t length);

    // Declares that no more bytes come: kNeedMore becomes kBadData at the end of the data.
    JpegDataCheck finish();

    JpegDataCheck result() const { return result_; }
    uint64_t bytesFed() const { return fed_; }
    // MCUs decoded so far over all scans.
    uint64_t mcusDecoded() const;

  private:
    enum class Phase { kStartOfImage, kMarker, kSkip, kScan, kEnded };

    // Works through the bytes [begin, end) that `data` holds; returns the
    // offset of the first byte that must be kept for the next call.
    uint64_t process(const uint8_t* data, uint64_t begin, uint64_t end);
    // One marker and its segment at pos_; false when the window ends first.
    bool markerStep(Bytes window, uint64_t begin);
    void segment(uint8_t code, Bytes content, uint64_t at);
    void frameSegment(uint8_t code, Bytes content, uint64_t at);
    void scanSegment(Bytes content, uint64_t at);
    void endOfImage(uint64_t at, uint64_t after);
    void scanStep(const uint8_t* data, uint64_t begin, uint64_t end);
    void conclude(JpegDataVerdict verdict, uint64_t offset);

    Phase phase_ = Phase::kStartOfImage;
    uint64_t pos_ = 0;
    uint64_t skipLeft_ = 0;
    JpegFrame frame_;
    bool haveFrame_ = false;
    JpegHuffmanTables tables_;
    uint32_t restartInterval_ = 0;
    uint8_t scannedComponents_ = 0;  // bit i: component i had its (DC) scan
    JpegScan scan_;
    JpegScanDecoder decoder_;
    JpegBitReader reader_;
    CoefficientHistory history_;
    uint64_t mcusBefore_ = 0;  // MCUs of the scans already finished
    JpegDataCheck result_;
    uint64_t fed_ = 0;
    std::vector<uint8_t> carry_;  // bytes kept from earlier calls, from file offset carryStart_
    uint64_t carryStart_ = 0;
};

// Validates a whole file held in memory (feed, then finish).
JpegDataCheck validateJpegData(const uint8_t* data, size_t length);

}  // namespace salvora
