// The end check of ZIP archives: a walk over every record of the written
// output, from the first byte to the end-of-central-directory record.
#include "formats/zip_records.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "formats/search.h"
#include "formats/zip.h"
#include "media/bytes.h"

namespace salvora {

namespace {

constexpr uint32_t kChunk = 4096;
constexpr size_t kNameKept = 256;
constexpr uint16_t kZip64ExtraTag = 0x0001;
constexpr uint32_t kSizeInZip64Field = 0xFFFFFFFFu;
constexpr uint64_t kZip64EndFixedPart = 44;
const uint8_t kDescriptorSignature[] = {'P', 'K', 7, 8};

// Reads the written output of a file from its first byte. It keeps the offset
// of the next byte and never moves past the written data, so no length taken
// from the archive can move it elsewhere.
class OutputCursor {
  public:
    explicit OutputCursor(OutputFile& output) : output_(output), length_(output.size()) {}

    uint64_t offset() const { return offset_; }
    uint64_t remaining() const { return length_ - offset_; }

    bool read(void* into, size_t count) {
        if (!peek(into, count))
            return false;
        offset_ += count;
        return true;
    }
    bool read(std::vector<uint8_t>& into, size_t count) {
        into.resize(count);
        return read(into.data(), count);
    }
    // Reads without moving.
    bool peek(void* into, size_t count) {
        return count <= remaining() && output_.readAt(offset_, into, count) == count;
    }
    bool skip(uint64_t count) {
        if (count > remaining())
            return false;
        offset_ += count;
        return true;
    }
    // Distance to the next occurrence of `pattern`, moving there; -1 when none.
    int64_t find(const uint8_t* pattern, uint32_t length) {
        const int64_t distance = findForward(output_, offset_, pattern, length);
        if (distance < 0 || static_cast<uint64_t>(distance) > remaining())
            return -1;
        offset_ += static_cast<uint64_t>(distance);
        return distance;
    }

  private:
    OutputFile& output_;
    uint64_t length_;
    uint64_t offset_ = 0;
};

// The compressed size a zip64 extended-information field gives, when the
// local header's own field says to look there. `present` tells whether the
// member has such a field at all (its data descriptor then has 8-byte sizes).
struct Zip64Sizes {
    bool present = false;
    std::optional<uint64_t> compressed;
};

Zip64Sizes zip64Sizes(const std::vector<uint8_t>& extra, uint32_t compressed, uint32_t uncompressed) {
    const Bytes field(extra.data(), extra.size());
    Zip64Sizes sizes;
    for (size_t at = 0; field.has(at, 4); at += 4 + field.le16(at + 2)) {
        if (field.le16(at) != kZip64ExtraTag)
            continue;
        const size_t length = field.le16(at + 2);
        const Bytes data(extra.data() + at + 4, std::min(length, extra.size() - at - 4));
        sizes.present = true;
        // The 8-byte values stand only for the header fields that are all ones,
        // in the order original size, compressed size.
        const size_t position = uncompressed == kSizeInZip64Field ? 8 : 0;
        if (compressed == kSizeInZip64Field && data.has(position, 8))
            sizes.compressed = data.le64(position);
        return sizes;
    }
    return sizes;
}

const char* officeKind(const std::string& name) {
    if (name.rfind("word", 0) == 0)
        return "docx";
    if (name.rfind("xl", 0) == 0)
        return "xlsx";
    if (name.rfind("ppt", 0) == 0)
        return "pptx";
    return nullptr;
}

enum class Step { Next, Done, Failed };

class RecordWalk {
  public:
    explicit RecordWalk(OutputCursor& cursor) : in_(cursor) {}

    // Walks until the end-of-central-directory record; true on success.
    bool run() {
        while (true) {
            noteMemberName();
            uint8_t signature[4];
            if (!in_.read(signature, 4))
                return false;
            const Step step = record(Bytes(signature, 4).le32(0));
            if (step == Step::Failed)
                return false;
            if (step == Step::Done)
                return true;
        }
    }

    // The extension the member names ask for, or null: a package that holds a
    // "[Content_Types].xml" member is named after the last member whose name
    // starts with "word", "xl" or "ppt".
    const char* officeExtension() const { return contentTypes_ ? lastKind_ : nullptr; }

  private:
    Step record(uint32_t signature) {
        switch (signature) {
            case kLocalFileHeader:
                return localHeader();
            case kCentralDirectoryHeader:
                return centralDirectoryHeader();
            case kEndOfCentralDirectory:
                return endOfCentralDirectory();
            case kDigitalSignature:
                return digitalSignature();
            case kZip64EndOfCentralDirectory:
                return zip64End();
            case kZip64EndLocator:
                return read(16);
            case kDataDescriptor:
                return dataDescriptor();
            default:
                return Step::Failed;
        }
    }

    void noteMemberName() {
        if (lastName_.rfind("[Content_Types].xml", 0) == 0)
            contentTypes_ = true;
        if (const char* kind = officeKind(lastName_))
            lastKind_ = kind;
        lastName_.clear();
    }

    static Step result(bool ok) { return ok ? Step::Next : Step::Failed; }
    Step read(size_t count) { return result(in_.read(buffer_, count)); }

    Step localHeader() {
        uint8_t header[26];
        if (!in_.read(header, sizeof header))
            return Step::Failed;
        const Bytes h(header, sizeof header);
        const uint16_t flags = h.le16(2);
        const uint16_t method = h.le16(4);
        const uint32_t compressed = h.le32(14);
        std::vector<uint8_t> name;
        std::vector<uint8_t> extra;
        if (!in_.read(name, h.le16(22)) || !in_.read(extra, h.le16(24)))
            return Step::Failed;
        lastName_.assign(name.begin(),
                         name.begin() + static_cast<ptrdiff_t>(std::min(name.size(), kNameKept)));
        const Zip64Sizes zip64 = zip64Sizes(extra, compressed, h.le32(18));
        zip64Descriptor_ = zip64.present;
        if (!in_.skip(zip64.compressed.value_or(compressed)))
            return Step::Failed;
        expectedDescriptor_ = 0;
        if (!hasSearchedDescriptor(flags, method))
            return Step::Next;
        return findDescriptor();
    }

    // Moves to the data descriptor that ends the member whose data starts
    // here. The descriptor signature may also occur inside compressed data;
    // such an occurrence is passed over when the compressed size after it is
    // not the distance measured.
    Step findDescriptor() {
        uint64_t measured = 0;
        while (true) {
            const int64_t distance = in_.find(kDescriptorSignature, sizeof kDescriptorSignature);
            if (distance < 0)
                return Step::Failed;  // the member never ends
            measured += static_cast<uint64_t>(distance);
            uint8_t fields[16];
            const size_t length = zip64Descriptor_ ? 16 : 12;
            if (!in_.peek(fields, length))
                return Step::Failed;
            const Bytes f(fields, length);
            if ((zip64Descriptor_ ? f.le64(8) : f.le32(8)) == measured)
                break;
            if (!in_.skip(1))
                return Step::Failed;
            measured += 1;
        }
        expectedDescriptor_ = measured;
        return Step::Next;
    }

    Step centralDirectoryHeader() {
        uint8_t fixed[26];
        uint8_t rest[14];
        if (!in_.skip(2) || !in_.read(fixed, sizeof fixed) || !in_.read(rest, sizeof rest))
            return Step::Failed;
        const Bytes f(fixed, sizeof fixed);
        const uint64_t variable = uint64_t{f.le16(22)} + f.le16(24) + Bytes(rest, sizeof rest).le16(0);
        return result(in_.skip(variable));
    }

    Step endOfCentralDirectory() {
        uint8_t fixed[18];
        if (!in_.read(fixed, sizeof fixed))
            return Step::Failed;
        // A comment that runs past the written data is cut where the data ends.
        const uint64_t comment = std::min<uint64_t>(Bytes(fixed, sizeof fixed).le16(16), in_.remaining());
        return in_.skip(comment) ? Step::Done : Step::Failed;
    }

    Step digitalSignature() {
        uint8_t length[2];
        if (!in_.read(length, sizeof length))
            return Step::Failed;
        return result(in_.skip(Bytes(length, sizeof length).le16(0)));
    }

    Step zip64End() {
        uint8_t fixed[52];
        if (!in_.read(fixed, sizeof fixed))
            return Step::Failed;
        const uint64_t recordSize = Bytes(fixed, sizeof fixed).le64(0);
        return result(recordSize <= kZip64EndFixedPart || in_.skip(recordSize - kZip64EndFixedPart));
    }

    Step dataDescriptor() {
        // CRC-32, then the compressed and original sizes: 8 bytes each for a
        // member with a zip64 field, 4 bytes otherwise.
        uint8_t fields[20];
        const size_t length = zip64Descriptor_ ? 20 : 12;
        if (!in_.read(fields, length))
            return Step::Failed;
        const Bytes f(fields, length);
        const uint64_t compressed = zip64Descriptor_ ? f.le64(4) : f.le32(4);
        return result(compressed == expectedDescriptor_);
    }

    OutputCursor& in_;
    uint8_t buffer_[16] = {};
    std::string lastName_;
    uint64_t expectedDescriptor_ = 0;
    bool zip64Descriptor_ = false;
    bool contentTypes_ = false;
    const char* lastKind_ = nullptr;
};

}  // namespace

void endCheckZip(CarveCandidate& candidate) {
    candidate.size = 0;
    if (!candidate.output.isOpen() || candidate.output.size() == 0)
        return;
    OutputCursor cursor(candidate.output);
    RecordWalk walk(cursor);
    if (!walk.run())
        return;
    candidate.size = cursor.offset();
    if (const char* extension = walk.officeExtension())
        candidate.extension = extension;
}

int64_t findForward(OutputFile& output, uint64_t from, const uint8_t* pattern, uint32_t length) {
    if (length == 0)
        return 0;
    // Each chunk after the first starts length - 1 bytes before the end of the
    // one before, so a pattern across two chunks is found; a chunk is never
    // shorter than the pattern, so every step moves forward.
    const size_t chunk = std::max<size_t>(kChunk, length);
    std::vector<uint8_t> buffer(chunk);
    uint64_t position = from;
    while (true) {
        const size_t got = output.readAt(position, buffer.data(), chunk);
        if (const std::optional<size_t> at = findBytes(buffer.data(), got, pattern, length))
            return static_cast<int64_t>(position + *at - from);
        if (got < chunk)
            return -1;
        position += chunk - (length - 1);
    }
}

}  // namespace salvora
