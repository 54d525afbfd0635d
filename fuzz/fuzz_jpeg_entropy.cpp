// Fuzz target: the JPEG entropy-coded data validator. The input is a JPEG
// (or anything); it is validated whole, and in two pieces split where the
// first byte says, the second piece fed to a copy taken after the first.
// Every way must give the same verdict at the same offset.
#include <cstdint>
#include <cstring>

#include "formats/jpeg_entropy.h"

using namespace salvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t split = 1 + data[0] * (size - 1) / 256;
    const JpegDataCheck whole = validateJpegData(data, size);
    JpegEntropyValidator first;
    first.feed(data, split);
    JpegEntropyValidator copy = first;
    copy.feed(data + split, size - split);
    const JpegDataCheck pieces = copy.finish();
    if (pieces.verdict != whole.verdict || pieces.offset != whole.offset)
        __builtin_trap();
    if (whole.verdict == JpegDataVerdict::kValid && whole.offset > size)
        __builtin_trap();
    return 0;
}
