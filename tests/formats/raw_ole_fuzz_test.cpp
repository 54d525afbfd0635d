// Feeds thousands of damaged copies of real file headers through the
// recognisers and end checks of the TIFF, camera raw and compound document
// families. Each must come back (no endless walk), stay inside its buffers
// (checked by the sanitizer build) and settle on a size no larger than what
// was written.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>

#include "formats/candidate_file.h"
#include "formats/crw.h"
#include "formats/mrw.h"
#include "formats/ole.h"
#include "formats/orf.h"
#include "formats/panasonic_raw.h"
#include "formats/raf.h"
#include "formats/tiff.h"
#include "formats/x3f.h"
#include "media/bytes.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::CandidateFile;
using test::dataPath;
using test::readFile;
using test::windowOf;

constexpr int kMutantsPerFile = 1500;

const uint32_t kInteresting[] = {
    0,      1,       2,          7,          8,          9,          12,         24,        25,   109,
    110,    127,     128,        255,        256,        511,        512,        4095,      4096, 0x7FFF,
    0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFC, 0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFF};
const uint16_t kTiffTags[] = {271, 273, 279, 324, 325, 330, 513, 514, 33424, 34665, 50706};

struct Range {
    size_t from;
    size_t to;
};

// Where the structures the end checks read sit in a file: header, first
// directory (TIFF) or first FAT and directory sectors (compound document).
std::vector<Range> hotRanges(const std::vector<uint8_t>& file) {
    const Bytes bytes(file.data(), file.size());
    std::vector<Range> ranges{{0, std::min<size_t>(file.size(), 512)}};
    if (bytes.equalsText(0, "II") || bytes.equalsText(0, "MM")) {
        const bool bigEndian = bytes.u8(0) == 'M';
        const size_t ifd = bytes.u32(4, bigEndian);
        const size_t end = ifd + 2 + size_t{bytes.u16(ifd, bigEndian)} * 12 + 4;
        if (ifd < file.size())
            ranges.push_back({ifd, std::min(end, file.size())});
    }
    if (bytes.u8(0) == 0xD0 && file.size() >= 1024) {
        const size_t fat = 512 + size_t{bytes.le32(76)} * 512;
        const size_t directory = 512 + size_t{bytes.le32(48)} * 512;
        if (fat + 512 <= file.size())
            ranges.push_back({fat, fat + 512});
        if (directory + 512 <= file.size())
            ranges.push_back({directory, directory + 512});
    }
    return ranges;
}

class Mutator {
  public:
    explicit Mutator(uint32_t seed) : random_(seed) {}

    std::vector<uint8_t> mutate(const std::vector<uint8_t>& original, const std::vector<Range>& hot) {
        std::vector<uint8_t> file = original;
        const uint32_t changes = 1 + below(6);
        for (uint32_t i = 0; i < changes && !file.empty(); ++i)
            change(file, hot);
        if (below(12) == 0 && !file.empty())
            file.resize(below(static_cast<uint32_t>(file.size())));
        return file;
    }

  private:
    uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(random_() % n); }

    size_t hotPosition(const std::vector<Range>& hot, size_t size) {
        const Range& range = hot[below(static_cast<uint32_t>(hot.size()))];
        const size_t at = range.from + below(static_cast<uint32_t>(range.to - range.from));
        return std::min(at, size - 1);
    }

    uint32_t interesting(size_t fileSize) {
        switch (below(4)) {
            case 0:
                return static_cast<uint32_t>(fileSize) + below(3) - 1;
            case 1:
                return below(static_cast<uint32_t>(fileSize) + 1);
            default:
                return kInteresting[below(sizeof kInteresting / sizeof kInteresting[0])];
        }
    }

    void put(std::vector<uint8_t>& file, size_t at, uint32_t value, int width, bool bigEndian) {
        for (int i = 0; i < width && at + i < file.size(); ++i) {
            const int shift = bigEndian ? 8 * (width - 1 - i) : 8 * i;
            file[at + i] = static_cast<uint8_t>(value >> shift);
        }
    }

    void change(std::vector<uint8_t>& file, const std::vector<Range>& hot) {
        const bool bigEndian = !file.empty() && file[0] == 'M';
        size_t at = hotPosition(hot, file.size());
        switch (below(6)) {
            case 0:
                file[at] = static_cast<uint8_t>(random_());
                break;
            case 1:
                put(file, at & ~size_t{1}, interesting(file.size()), 2, bigEndian);
                break;
            case 2:
                put(file, at & ~size_t{3}, interesting(file.size()), 4, bigEndian);
                break;
            case 3:
                file[below(static_cast<uint32_t>(file.size()))] ^= static_cast<uint8_t>(1 + below(255));
                break;
            default: {
                // A TIFF directory entry with a pointer tag, an odd type, a huge count or a wild value.
                if (hot.size() < 2) {
                    file[at] = static_cast<uint8_t>(random_());
                    break;
                }
                at = hot[1].from + 2 + 12 * below(static_cast<uint32_t>((hot[1].to - hot[1].from) / 12 + 1));
                const uint32_t part = below(4);
                if (part == 0) {
                    put(file, at, kTiffTags[below(sizeof kTiffTags / sizeof kTiffTags[0])], 2, bigEndian);
                }
                if (part == 1)
                    put(file, at + 2, below(20), 2, bigEndian);
                if (part == 2)
                    put(file, at + 4, interesting(file.size()), 4, bigEndian);
                if (part == 3)
                    put(file, at + 8, interesting(file.size()), 4, bigEndian);
                break;
            }
        }
    }

    std::mt19937 random_;
};

const std::set<std::string> kExtensions{"tif", "cr2",  "dng", "pef", "nef", "dcr", "arw", "crw", "orf",
                                        "mrw", "raf",  "raw", "x3f", "doc", "sda", "sdc", "sdd", "xls",
                                        "ppt", "mdb",  "vsd", "sdw", "fla", "pub", "wdb", "mws", "max",
                                        "xlr", "albm", "wps", "msg", "amb", "db"};

const RecogniseFn kRecognisers[] = {recogniseTiff, recogniseCrw,          recogniseOrf, recogniseMrw,
                                    recogniseRaf,  recognisePanasonicRaw, recogniseX3f, recogniseOle};

// Runs every recogniser on the mutant and, where one accepts, its end check.
void recogniseAndEnd(const std::vector<uint8_t>& mutant, const std::string& label) {
    const std::vector<uint8_t> window = windowOf(mutant);
    for (RecogniseFn recognise : kRecognisers) {
        CarveCandidate current;
        CarveCandidate fresh;
        if (!recognise(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh))
            continue;
        ASSERT_TRUE(fresh.extension && kExtensions.count(fresh.extension)) << label;
        if (!fresh.endCheck)
            continue;
        CandidateFile file(mutant, fresh.extension);
        file.candidate().endCheck = fresh.endCheck;
        fresh.endCheck(file.candidate());
        const CarveCandidate& settled = file.candidate();
        ASSERT_TRUE(settled.extension && kExtensions.count(settled.extension)) << label;
        if (fresh.endCheck == endCheckTiff || fresh.endCheck == endCheckOle) {
            ASSERT_LE(settled.size, mutant.size()) << label;
        }
        if (fresh.endCheck == endCheckCrw && settled.size != 0) {
            ASSERT_LE(settled.size, mutant.size() + 12) << label;
        }
    }
}

// Calls the walks directly, whatever the header says.
void walkDirectly(const std::vector<uint8_t>& mutant, uint32_t salt) {
    CandidateFile file(mutant);
    const Bytes bytes(mutant.data(), mutant.size());
    tiffDataEnd(file.file(), bytes.le32(4), false, 0, 0);
    tiffDataEnd(file.file(), bytes.be32(4), true, salt % 5, salt % 17);
    const uint64_t size = oleFileSize(file.file());
    EXPECT_TRUE(size == 0 || size >= 512);
    const char* extension = oleDirectoryExtension(file.file(), salt % 2 ? mutant.size() : size);
    if (extension) {
        EXPECT_TRUE(kExtensions.count(extension));
    }
}

void fuzz(const std::string& path, uint32_t seed) {
    const std::vector<uint8_t> original = readFile(dataPath(path));
    const std::vector<Range> hot = hotRanges(original);
    Mutator mutator(seed);
    for (int i = 0; i < kMutantsPerFile; ++i) {
        const std::vector<uint8_t> mutant = mutator.mutate(original, hot);
        const std::string label = path + " mutant " + std::to_string(i);
        recogniseAndEnd(mutant, label);
        if (::testing::Test::HasFatalFailure())
            return;
        walkDirectly(mutant, static_cast<uint32_t>(i));
    }
}

TEST(RawOleFuzz, DamagedTiffHeadersAndDirectories) {
    uint32_t seed = 1;
    for (const char* path : {"tiff/gradient_le.tif", "tiff/strips_be.tif", "tiff/tiles_le.tif",
                             "tiff/pages_be.tif", "tiff/exif_be.tif", "samples/DNG.dng", "samples/Nikon.nef",
                             "samples/CanonRaw.cr2", "samples/ExifTool.tif"}) {
        fuzz(path, seed++);
    }
}

TEST(RawOleFuzz, DamagedCompoundDocumentHeadersFatsAndDirectories) {
    uint32_t seed = 100;
    for (const char* path : {"office/letter.doc", "office/sheet.xls", "samples/FlashPix.ppt"}) {
        fuzz(path, seed++);
    }
}

TEST(RawOleFuzz, DamagedCameraRawHeaders) {
    uint32_t seed = 200;
    for (const char* path : {"samples/CanonRaw.crw", "samples/Minolta.mrw", "samples/FujiFilm.raf",
                             "samples/Panasonic.rw2", "samples/KyoceraRaw.raw", "samples/Sigma.x3f"}) {
        fuzz(path, seed++);
    }
}

}  // namespace
}  // namespace salvora
