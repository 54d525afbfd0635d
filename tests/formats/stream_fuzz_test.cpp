// Thousands of mutations of real headers and streams through every recogniser
// of the audio, video, PDF, bitmap and InDesign families, their block checks
// over exact-length windows and their end checks over temporary files. Run
// under the address sanitizer, any read outside a window fails; the
// assertions catch sizes that wrap and walks that move backwards; a walk that
// never ends would hang the test.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>

#include "carve/run_carve.h"
#include "formats/bmp.h"
#include "formats/candidate_driver.h"
#include "formats/indd.h"
#include "formats/m2ts.h"
#include "formats/mp3.h"
#include "formats/mpg.h"
#include "formats/pdf.h"
#include "formats/riff.h"
#include "support/test_files.h"

namespace salvora {
namespace {

struct Recogniser {
    const char* name;
    RecogniseFn recognise;
    uint64_t largestExpected;  // the most a header can declare
};

const Recogniser kRecognisers[] = {
    {"riff", recogniseRiff, 0xFFFFFFFFull + 12},
    {"id3", recogniseId3, (1ull << 28) + 20},
    {"mpeg audio", recogniseMpegAudio, 2048 + 2881},
    {"pdf", recognisePdf, 1ull << 62},
    {"bmp", recogniseBmp, 0xFFFFFFFFull},
    {"indd", recogniseIndd, 1ull << 44},
    {"hdmv", recogniseM2tsHdmv, 192},
    {"tshv", recogniseM2tTshv, 188},
    {"mpg", recogniseMpg, 0},
};

const char* const kSeeds[] = {
    "audio/tone.wav",      "audio/tone_id3v2.mp3",     "audio/tone_id3v1.mp3",    "audio/tone_bare.mp3",
    "video/testsrc.avi",   "video/testsrc.mpg",        "video/testsrc.m1v",       "video/avchd_style.m2ts",
    "video/hdv_style.m2t", "pdf/libreoffice_note.pdf", "pdf/linearized_note.pdf", "bmp/gradient_24bit.bmp",
    "bmp/circle_v5.bmp",   "samples/BMP.bmp",          "samples/InDesign.indd",   "samples/M2TS.mts",
    "samples/MP3.mp3",     "samples/PDF.pdf",          "samples/PDF2.pdf",        "samples/RIFF.wav",
    "samples/Pentax.avi",
};

// Markers whose handling has its own arithmetic, planted at random places.
const std::string kMarkers[] = {
    "LYRICSBEGIN",
    "LYRICS200",
    "LYRICSEND",
    "APETAGEX",
    "TAG",
    std::string("18273645\0\0", 10),
    "jpg ",
    "bmp ",
    "    ",
    std::string("\0\0\0\0"
                "18273645"
                "\0\0",
                14),
    "Brava Software Inc.",
    "\xFF\xFB\x90\x64",
    "\xFF\xE3\x20",
    "\xFF\xFF",
    "Linearized",
    "/L ",
    "/L",
    "%EOF",
    ">",
    "G",
    "HDMV",
    "TSHV",
    "ID3\x04\x00\x10",
    std::string("\0\0\x01\xBA", 4),
    std::string("\0\0\x01\xB3", 4),
};

const uint32_t kExtremes[] = {0, 1, 0x7F7F7F7F, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF7, 0xFFFFFFF8, 0xFFFFFFFF};

class Mutator {
  public:
    explicit Mutator(uint32_t seed) : random_(seed) {}

    std::vector<uint8_t> mutate(std::vector<uint8_t> bytes) {
        const int edits = 1 + static_cast<int>(below(6));
        for (int i = 0; i < edits && !bytes.empty(); ++i)
            edit(bytes);
        return bytes;
    }

    uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(random_() % n); }

  private:
    // Most edits go to the header, where the recognisers look.
    size_t place(size_t size) { return below(4) != 0 ? below(std::min<uint32_t>(600, size)) : below(size); }

    void edit(std::vector<uint8_t>& bytes) {
        switch (below(5)) {
            case 0:
                bytes[place(bytes.size())] = static_cast<uint8_t>(random_());
                break;
            case 1: {
                const uint32_t value = kExtremes[below(std::size(kExtremes))];
                const size_t at = place(bytes.size());
                for (size_t k = 0; k < 4 && at + k < bytes.size(); ++k) {
                    bytes[at + k] = static_cast<uint8_t>(value >> (8 * (below(2) ? k : 3 - k)));
                }
                break;
            }
            case 2: {
                const std::string& marker = kMarkers[below(std::size(kMarkers))];
                const size_t at = below(static_cast<uint32_t>(bytes.size()));
                for (size_t k = 0; k < marker.size() && at + k < bytes.size(); ++k)
                    bytes[at + k] = marker[k];
                break;
            }
            case 3:
                bytes.resize(below(static_cast<uint32_t>(bytes.size())) + 1);
                break;
            default:
                for (size_t k = 0, at = place(bytes.size()); k < 16 && at + k < bytes.size(); ++k) {
                    bytes[at + k] = static_cast<uint8_t>(random_());
                }
                break;
        }
    }

    std::mt19937 random_;
};

// Follows an accepted candidate through `media` and settles its size.
void followAndEnd(const CarveCandidate& recognised, const std::vector<uint8_t>& media, uint32_t blockSize,
                  const std::string& what) {
    CarveCandidate candidate = recognisedCopy(recognised);
    const test::Followed followed = test::follow(candidate, media, blockSize, 96);
    EXPECT_FALSE(followed.expectedWrapped) << what;
    std::vector<uint8_t> written(uint64_t{followed.blocks} * blockSize, 0);
    std::copy(media.begin(),
              media.begin() + static_cast<std::ptrdiff_t>(std::min(written.size(), media.size())),
              written.begin());
    const uint64_t before = candidate.size;
    test::runEndCheck(candidate, written);
    EXPECT_LE(candidate.size, before) << what << ": an end check never grows a file";
}

// Acceptances per recogniser, so the test can tell that every walk was exercised.
std::map<std::string, int> accepted;

void exercise(const std::vector<uint8_t>& bytes, Mutator& random, const std::string& what) {
    // After the file: what a medium may hold next.
    std::vector<uint8_t> media = bytes;
    const size_t tail = random.below(12000);
    for (size_t i = 0; i < tail; ++i)
        media.push_back(static_cast<uint8_t>(random.below(3) ? random.below(256) : 0));
    // A window of exactly the contract's length, and one of the file's own length.
    for (const bool exact : {false, true}) {
        const std::vector<uint8_t> window = exact ? bytes : test::windowOf(media);
        for (const Recogniser& recogniser : kRecognisers) {
            CarveCandidate fresh;
            if (!recogniser.recognise(window.data(), static_cast<uint32_t>(window.size()), 0,
                                      CarveCandidate{}, fresh)) {
                continue;
            }
            const std::string context = what + " / " + recogniser.name;
            ++accepted[recogniser.name];
            EXPECT_LE(fresh.expectedSize, recogniser.largestExpected + 1) << context;
            if (exact)
                continue;
            for (const uint32_t blockSize : {512u, 4096u})
                followAndEnd(fresh, media, blockSize, context);
        }
    }
}

TEST(StreamFuzz, MutatedRealFilesNeverReadOutsideTheirWindowsNorWrapSizes) {
    uint32_t seed = 1;
    for (const char* name : kSeeds) {
        const std::vector<uint8_t> original = test::readFile(test::dataPath(name));
        for (int round = 0; round < 160; ++round, ++seed) {
            Mutator mutator(seed);
            exercise(mutator.mutate(original), mutator, std::string(name) + " #" + std::to_string(round));
        }
    }
    for (const Recogniser& recogniser : kRecognisers) {
        EXPECT_GE(accepted[recogniser.name], 100) << recogniser.name << " was hardly exercised";
    }
}

// Streams built from nothing but frame headers and tags: the MP3 walk meets
// every rule in every order, at every place of a block.
TEST(StreamFuzz, RandomFrameAndTagSequencesEndTheMp3WalkCleanly) {
    for (uint32_t seed = 1; seed <= 1500; ++seed) {
        Mutator random(seed);
        std::vector<uint8_t> stream;
        const uint8_t b1s[] = {0xFB, 0xF3, 0xE3, 0xFD, 0xFF, 0xE5, 0xF7};
        for (int part = 0; part < 30; ++part) {
            const uint32_t pick = random.below(10);
            if (pick < 7) {
                const uint8_t b1 = b1s[random.below(std::size(b1s))];
                const uint8_t b2 = static_cast<uint8_t>(random.below(256));
                const uint32_t length = std::max<uint32_t>(mpegFrameLength(b1, b2), 4);
                const size_t at = stream.size();
                stream.resize(at + length, static_cast<uint8_t>(random.below(256)));
                stream[at] = 0xFF;
                stream[at + 1] = b1;
                stream[at + 2] = b2;
            } else {
                const std::string& marker = kMarkers[random.below(std::size(kMarkers))];
                stream.insert(stream.end(), marker.begin(), marker.end());
                stream.resize(stream.size() + random.below(300), static_cast<uint8_t>(random.below(256)));
            }
        }
        CarveCandidate candidate;
        candidate.expectedSize = 0;
        candidate.blockCheck = blockCheckMpegAudio;
        candidate.endCheck = [](CarveCandidate& c) { c.size = c.size < c.expectedSize ? 0 : c.expectedSize; };
        for (const uint32_t blockSize : {512u, 2048u, 8192u}) {
            followAndEnd(candidate, stream, blockSize, "mp3 sequence " + std::to_string(seed));
        }
    }
}

}  // namespace
}  // namespace salvora
