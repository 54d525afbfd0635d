#include "formats/movie_samples.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "carve/output_file.h"
#include "media/bytes.h"

namespace salvora {

namespace {

constexpr uint64_t kLargestMovieAtom = 16777216;  // as much of "moov" as is read, 16 MiB
constexpr size_t kMostTopLevelAtoms = 100000;
// Work bound: a movie with more samples and NAL units than this together is
// checked this far.
constexpr uint64_t kMostWork = 4000000;
// VisualSampleEntry: 8 bytes of box header, 8 of SampleEntry, 70 of picture
// fields; the codec's configuration box follows.
constexpr size_t kVisualEntryChildren = 86;

struct Box {
    const char* type = nullptr;  // points into the data
    Bytes payload{nullptr, 0};
};

// The boxes in `bytes`, in order; stops at the first that does not fit.
std::vector<Box> childrenOf(const Bytes& bytes) {
    std::vector<Box> boxes;
    size_t at = 0;
    while (bytes.has(at, 8)) {
        uint64_t size = bytes.be32(at);
        size_t header = 8;
        if (size == 1) {
            if (!bytes.has(at, 16))
                break;
            size = bytes.be64(at + 8);
            header = 16;
        } else if (size == 0) {
            size = bytes.size() - at;
        }
        if (size < header || !bytes.has(at, size))
            break;
        boxes.push_back({reinterpret_cast<const char*>(bytes.data() + at + 4),
                         Bytes(bytes.data() + at + header, static_cast<size_t>(size) - header)});
        at += static_cast<size_t>(size);
    }
    return boxes;
}

Bytes child(const Bytes& bytes, const char* type) {
    for (const Box& box : childrenOf(bytes)) {
        if (std::memcmp(box.type, type, 4) == 0)
            return box.payload;
    }
    return Bytes(nullptr, 0);
}

// How a track's samples are checked.
enum class Codec {
    kNone,
    kAvc,   // H.264: NAL units behind their lengths
    kHevc,  // H.265: the same, with two-byte unit headers
    kJpeg,  // motion JPEG: each sample a JPEG picture, from its start-of-image marker
    kMpeg4  // MPEG-4 part 2: each sample from a start code (00 00 01)
};

// One video track's sample table.
struct VideoTrack {
    Codec codec = Codec::kNone;
    uint32_t lengthSize = 0;    // H.264 and H.265: bytes of each NAL unit's length
    Bytes sizes{nullptr, 0};    // "stsz" payload
    Bytes chunks{nullptr, 0};   // "stsc" payload
    Bytes offsets{nullptr, 0};  // "stco" or "co64" payload
    bool longOffsets = false;
};

// The codec of a video sample description that can be checked, and for
// H.264 and H.265 the size of the NAL unit lengths (kNone when its
// configuration box is missing).
Codec videoCodec(const Bytes& stsd, uint32_t& lengthSize) {
    // Version and flags, entry count, then the first entry.
    if (!stsd.has(8, 8))
        return Codec::kNone;
    const uint32_t entrySize = stsd.be32(8);
    if (entrySize < kVisualEntryChildren || !stsd.has(8, entrySize))
        return Codec::kNone;
    const Bytes entry(stsd.data() + 8, entrySize);
    // Motion JPEG format B ("mjpb") has no markers: it is not checked.
    if (entry.equals(4, "jpeg", 4) || entry.equals(4, "mjpa", 4))
        return Codec::kJpeg;
    if (entry.equals(4, "mp4v", 4))
        return Codec::kMpeg4;
    const bool avc = entry.equals(4, "avc1", 4) || entry.equals(4, "avc3", 4);
    const bool hevc = entry.equals(4, "hvc1", 4) || entry.equals(4, "hev1", 4);
    if (!avc && !hevc)
        return Codec::kNone;
    const Bytes boxes(entry.data() + kVisualEntryChildren, entrySize - kVisualEntryChildren);
    // lengthSizeMinusOne: the low two bits of byte 4 of "avcC", of byte 21 of "hvcC".
    const Bytes config = child(boxes, avc ? "avcC" : "hvcC");
    const size_t at = avc ? 4 : 21;
    if (!config.has(at, 1))
        return Codec::kNone;
    lengthSize = (config.u8(at) & 3u) + 1;
    if (lengthSize == 3)
        return Codec::kNone;
    return avc ? Codec::kAvc : Codec::kHevc;
}

std::vector<VideoTrack> videoTracks(const Bytes& moov) {
    std::vector<VideoTrack> tracks;
    for (const Box& trak : childrenOf(moov)) {
        if (std::memcmp(trak.type, "trak", 4) != 0)
            continue;
        const Bytes stbl = child(child(child(trak.payload, "mdia"), "minf"), "stbl");
        VideoTrack track;
        track.codec = videoCodec(child(stbl, "stsd"), track.lengthSize);
        if (track.codec == Codec::kNone)
            continue;
        track.sizes = child(stbl, "stsz");
        track.chunks = child(stbl, "stsc");
        track.offsets = child(stbl, "stco");
        if (track.offsets.data() == nullptr) {
            track.offsets = child(stbl, "co64");
            track.longOffsets = true;
        }
        if (track.sizes.has(0, 12) && track.chunks.has(0, 8) && track.offsets.has(0, 8))
            tracks.push_back(track);
    }
    return tracks;
}

// The bytes of one top-level atom after its header.
struct AtomData {
    uint64_t start = 0;
    uint64_t end = 0;
    bool movie = false;  // "moov"
};

class SampleChecker {
  public:
    SampleChecker(OutputFile& output, uint64_t size, const std::vector<AtomData>& atoms)
        : output_(output), size_(size), atoms_(atoms) {}

    // True when the sample holds what its codec puts in a sample.
    bool holdsSample(const VideoTrack& track, uint64_t offset, uint64_t length) {
        if (track.codec == Codec::kAvc || track.codec == Codec::kHevc)
            return holdsNalUnits(track, offset, length);
        ++work_;
        uint8_t head[3];
        if (length < sizeof head || output_.readAt(offset, head, sizeof head) != sizeof head)
            return false;
        if (track.codec == Codec::kJpeg)
            return head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
        return head[0] == 0 && head[1] == 0 && head[2] == 1;
    }

    // True when the NAL units of the sample fill it exactly.
    bool holdsNalUnits(const VideoTrack& track, uint64_t offset, uint64_t length) {
        uint64_t at = offset;
        const uint64_t end = offset + length;
        uint8_t head[6];
        while (at < end) {
            ++work_;
            // The length, then the NAL unit header: one byte for H.264, two for H.265.
            const bool hevc = track.codec == Codec::kHevc;
            const uint32_t unitHeader = hevc ? 2 : 1;
            const uint64_t header = track.lengthSize + unitHeader;
            if (end - at < header || output_.readAt(at, head, header) != header)
                return false;
            uint64_t unit = 0;
            for (uint32_t i = 0; i < track.lengthSize; ++i)
                unit = unit << 8 | head[i];
            if (unit < unitHeader || unit > end - at - track.lengthSize)
                return false;
            const uint8_t first = head[track.lengthSize];
            if ((first & 0x80) != 0)  // forbidden_zero_bit
                return false;
            // H.265: nuh_temporal_id_plus1 is never 0; H.264: nal_unit_type 0 is unspecified.
            if (hevc ? (head[track.lengthSize + 1] & 7) == 0 : (first & 0x1F) == 0)
                return false;
            at += track.lengthSize + unit;
        }
        return true;
    }

    // See firstDoubtfulVideoOffset; 0 when the track's samples are whole.
    uint64_t check(const VideoTrack& track) {
        const uint32_t fixedSize = track.sizes.be32(4);
        const uint64_t sampleCount = track.sizes.be32(8);
        if (fixedSize == 0 && !track.sizes.has(12, sampleCount * 4))
            return 0;
        const uint64_t chunkCount = track.offsets.be32(4);
        const size_t offsetBytes = track.longOffsets ? 8 : 4;
        if (!track.offsets.has(8, chunkCount * offsetBytes))
            return 0;
        const uint64_t runCount = track.chunks.be32(4);
        if (!track.chunks.has(8, runCount * 12))
            return 0;
        uint64_t sample = 0;
        uint64_t previousStart = UINT64_MAX;
        for (uint64_t run = 0; run < runCount && sample < sampleCount; ++run) {
            const uint64_t firstChunk = track.chunks.be32(8 + run * 12);
            const uint64_t perChunk = track.chunks.be32(8 + run * 12 + 4);
            const uint64_t lastChunk =
                run + 1 < runCount ? track.chunks.be32(8 + (run + 1) * 12) - 1 : chunkCount;
            if (firstChunk == 0 || lastChunk > chunkCount)
                return 0;
            for (uint64_t chunk = firstChunk; chunk <= lastChunk && sample < sampleCount; ++chunk) {
                uint64_t at = track.longOffsets ? track.offsets.be64(8 + (chunk - 1) * 8)
                                                : track.offsets.be32(8 + (chunk - 1) * 4);
                for (uint64_t i = 0; i < perChunk && sample < sampleCount; ++i, ++sample) {
                    const uint64_t length = fixedSize != 0 ? fixedSize : track.sizes.be32(12 + sample * 4);
                    // Samples past the end of the file are not there to check;
                    // past the work bound the rest is taken as it is.
                    if (at >= size_ || length > size_ - at || ++work_ > kMostWork)
                        return 0;
                    if (!holdsSample(track, at, length))
                        return previousStart != UINT64_MAX && previousStart < at ? previousStart
                                                                                 : dataStart(at);
                    previousStart = at;
                    at += length;
                }
            }
        }
        return 0;
    }

  private:
    // Where the data of the atom holding `at` starts (the track's first
    // sample may follow other tracks' samples there), `at` when none holds it.
    uint64_t dataStart(uint64_t at) const {
        for (const AtomData& atom : atoms_) {
            if (atom.start <= at && at < atom.end)
                return atom.start;
        }
        return at;
    }

    OutputFile& output_;
    uint64_t size_;
    const std::vector<AtomData>& atoms_;
    uint64_t work_ = 0;  // samples and NAL units looked at
};

// The top-level atoms from the start of the file, as far as they chain.
std::vector<AtomData> topLevelAtoms(OutputFile& output, uint64_t size) {
    std::vector<AtomData> atoms;
    uint64_t at = 0;
    while (atoms.size() < kMostTopLevelAtoms && size - at >= 8) {
        uint8_t first[16] = {};
        const Bytes bytes(first, output.readAt(at, first, size - at >= 16 ? 16 : 8));
        uint64_t atomSize = bytes.be32(0);
        uint64_t header = 8;
        if (atomSize == 1) {
            atomSize = bytes.be64(8);
            header = 16;
        } else if (atomSize == 0) {
            atomSize = size - at;
        }
        if (atomSize < header || atomSize > size - at)
            break;
        atoms.push_back({at + header, at + atomSize, bytes.equals(4, "moov", 4)});
        at += atomSize;
    }
    return atoms;
}

// What the movie atom holds (its boxes), empty when there is none.
std::vector<uint8_t> movieAtom(OutputFile& output, const std::vector<AtomData>& atoms) {
    for (const AtomData& atom : atoms) {
        if (!atom.movie)
            continue;
        if (atom.end - atom.start > kLargestMovieAtom)
            return {};
        std::vector<uint8_t> boxes(static_cast<size_t>(atom.end - atom.start));
        if (output.readAt(atom.start, boxes.data(), boxes.size()) != boxes.size())
            return {};
        return boxes;
    }
    return {};
}

}  // namespace

uint64_t firstDoubtfulVideoOffset(OutputFile& output, uint64_t size) {
    const std::vector<AtomData> atoms = topLevelAtoms(output, size);
    const std::vector<uint8_t> moov = movieAtom(output, atoms);
    if (moov.empty())
        return 0;
    SampleChecker checker(output, size, atoms);
    uint64_t doubtful = 0;
    for (const VideoTrack& track : videoTracks(Bytes(moov.data(), moov.size()))) {
        const uint64_t from = checker.check(track);
        if (from != 0 && (doubtful == 0 || from < doubtful))
            doubtful = from;
    }
    return doubtful;
}

}  // namespace salvora
