// Damaged archives and movies: thousands of mutations of real files go
// through recognition, the block checks and the end checks. Every call must
// return, stay inside its window (ASan watches the exact-length buffers) and
// never settle on a size beyond the written data.
#include <gtest/gtest.h>

#include <random>

#include "carve/shared_checks.h"
#include "formats/family_table.h"
#include "formats/mov.h"
#include "formats/zip.h"
#include "formats/zip_mov_support.h"
#include "support/recovery_harness.h"

namespace salvora {
namespace {

using test::dataPath;
using test::readFile;
using test::windowWith;

// Values that make lengths and offsets interesting.
const uint32_t kEdgeValues[] = {0,          1,          7,          8,          9,
                                12,         44,         45,         0xFF,       0x100,
                                0x101,      0xFFFF,     0x10000,    0x3FFFFFFF, 0x40000000,
                                0x40000001, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0xFFFFFFFF};

class Mutator {
  public:
    explicit Mutator(uint32_t seed) : random_(seed) {}

    std::vector<uint8_t> mutate(std::vector<uint8_t> bytes) {
        const int count = 1 + static_cast<int>(random_() % 4);
        for (int i = 0; i < count && !bytes.empty(); ++i) {
            const size_t at = random_() % bytes.size();
            switch (random_() % 6) {
                case 0:
                    bytes[at] = static_cast<uint8_t>(random_());
                    break;
                case 1:
                    bytes[at] ^= static_cast<uint8_t>(1u << (random_() % 8));
                    break;
                case 2:
                    putField(bytes, at, kEdgeValues[random_() % std::size(kEdgeValues)], true);
                    break;
                case 3:
                    putField(bytes, at, kEdgeValues[random_() % std::size(kEdgeValues)], false);
                    break;
                case 4:
                    bytes.resize(at);
                    break;
                case 5: {  // repeat a piece (a record or atom seen twice)
                    const size_t length = std::min<size_t>(random_() % 64, bytes.size() - at);
                    std::vector<uint8_t> piece(bytes.begin() + static_cast<ptrdiff_t>(at),
                                               bytes.begin() + static_cast<ptrdiff_t>(at + length));
                    bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(random_() % bytes.size()),
                                 piece.begin(), piece.end());
                    break;
                }
            }
        }
        return bytes;
    }
    uint32_t next() { return static_cast<uint32_t>(random_()); }

  private:
    static void putField(std::vector<uint8_t>& bytes, size_t at, uint32_t value, bool littleEndian) {
        for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i) {
            const unsigned shift = littleEndian ? 8 * i : 24 - 8 * i;
            bytes[at + i] = static_cast<uint8_t>(value >> shift);
        }
    }
    std::mt19937 random_;
};

// Recognises `file` at the start of an exact 64 KiB window, carves it with the
// block check the recogniser chose, and runs the end check over what the
// carve loop would have written. Returns the final size.
uint64_t carveMutated(const std::vector<uint8_t>& file, RecogniseFn recognise, uint32_t blockSize) {
    const std::vector<uint8_t> window = windowWith(file);
    CarveCandidate none;
    CarveCandidate fresh;
    if (recognise(window.data(), static_cast<uint32_t>(window.size()), 0, none, fresh) == 0)
        return 0;
    const size_t blocks = test::feedBlocks(file, blockSize, fresh);
    std::vector<uint8_t> written = file;
    written.resize(blocks * blockSize, 0);
    CarveCandidate& candidate = fresh;
    candidate.output = test::outputHolding(written);
    candidate.size = written.size();
    if (candidate.endCheck)
        candidate.endCheck(candidate);
    return candidate.size;
}

void mutateAll(const std::vector<std::string>& paths, RecogniseFn recognise, int perFile, uint32_t seed,
               bool sizeMayExceedWritten) {
    Mutator mutator(seed);
    for (const std::string& path : paths) {
        const std::vector<uint8_t> original = readFile(dataPath(path));
        for (int i = 0; i < perFile; ++i) {
            const std::vector<uint8_t> file = mutator.mutate(original);
            const uint32_t blockSize = (mutator.next() % 2) ? 512 : 4096;
            const uint64_t size = carveMutated(file, recognise, blockSize);
            const uint64_t written = (file.size() + blockSize - 1) / blockSize * blockSize;
            if (!sizeMayExceedWritten) {
                ASSERT_LE(size, written) << path << " mutation " << i;
            }
        }
    }
}

TEST(ZipMutations, DamagedArchivesAreWalkedSafely) {
    mutateAll({"zip/stored.zip", "zip/descriptors.zip", "zip/stdin.zip", "zip/stdin_piped.zip",
               "zip/commented.zip", "office/letter.docx", "office/letter.odt"},
              recogniseZip, 600, 20261208, false);
}

// The movie end check keeps expectedSize, which only the engine clamps to
// what was written; it must still never hang or read outside a window.
TEST(MovMutations, DamagedMoviesAreFollowedSafely) {
    mutateAll({"movie/clip.mp4", "movie/faststart.mp4", "movie/clip.3gp", "movie/clip.mov",
               "movie/picture.jp2", "samples/QuickTime.mov"},
              recogniseMov, 700, 8122026, true);
}

// A few damaged images through a whole recovery: nothing saved may be longer
// than the image, and the scan always finishes.
TEST(ZipMovMutations, DamagedImagesRecoverWithoutHarm) {
    Mutator mutator(77);
    const std::vector<std::string> paths{"zip/deflated.zip", "office/sheet.xlsx", "movie/clip.mp4",
                                         "movie/faststart.mp4"};
    for (int round = 0; round < 40; ++round) {
        test::ImageBuilder image(64 * 1024);
        size_t offset = 4096;
        for (const std::string& path : paths) {
            const std::vector<uint8_t> file = mutator.mutate(readFile(dataPath(path)));
            if (offset + file.size() > image.bytes().size())
                break;
            image.place(offset, file);
            offset += (file.size() + 4095) / 4096 * 4096;
        }
        const auto recovery = test::recoverImage(image.bytes(), test::onlyFamilies({"zip", "mov"}));
        ASSERT_EQ(recovery.result, kScanFinished) << "round " << round;
        for (const auto& [name, content] : recovery.files)
            EXPECT_LE(content.size(), image.bytes().size());
    }
}

}  // namespace
}  // namespace salvora
