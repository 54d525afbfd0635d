// Fuzz target: what salvora reads of evidence images itself, on untrusted
// bytes: the signature test and the walk of a segment file's section chain
// (the input is the segment file), and the part and segment names made
// from a name (the input's first line).
#include <cstdint>
#include <string>
#include <vector>

#include "media/ewf_format.h"
#include "media/image_names.h"
#include "media/memory_reader.h"

using namespace salvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    evidenceSignature(data, size);
    MemoryReader segment(std::vector<uint8_t>(data, data + size), 512);
    if (size > 0) {
        const SegmentCheck check = checkSegment(segment);
        if (check.end == SegmentEnd::kTruncated && check.neededSize <= check.fileSize)
            __builtin_trap();
    }
    std::string name(reinterpret_cast<const char*>(data), size);
    name = name.substr(0, name.find('\n'));
    nextSegmentName(name);
    hasEvidenceExtension(name);
    if (const auto series = splitSeriesOf(name)) {
        const std::string part = splitPartName(*series, series->given);
        if (part != name || splitPartNumber(*series, part) != series->given)
            __builtin_trap();
    }
    return 0;
}
