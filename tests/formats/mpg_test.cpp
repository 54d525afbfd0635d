#include "formats/mpg.h"

#include <gtest/gtest.h>

#include "formats/candidate_driver.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::recogniseWindow;

uint32_t recognised(std::vector<uint8_t> start, const CarveCandidate& current = CarveCandidate{}) {
    CarveCandidate fresh;
    const uint32_t result = recogniseWindow(recogniseMpg, start, fresh, current);
    if (result) {
        EXPECT_STREQ(fresh.extension, "mpg");
        // A program stream (pack header first) is followed pack by pack; any
        // other stream runs until the engine ends it.
        if (start.size() > 3 && start[3] == 0xBA) {
            EXPECT_EQ(fresh.blockCheck, blockCheckProgramStream);
        } else {
            EXPECT_EQ(fresh.blockCheck, nullptr) << "the stream runs until the engine ends it";
        }
        EXPECT_EQ(fresh.endCheck, nullptr);
        EXPECT_EQ(fresh.expectedSize, 0u);
    }
    return result;
}

TEST(RecogniseMpg, StartCodesThatBeginAStream) {
    EXPECT_EQ(recognised({0, 0, 1, 0xBA, 0x44}), 1u);
    EXPECT_EQ(recognised({0, 0, 1, 0xBA, 0x00}), 1u) << "a pack header is always taken";
    EXPECT_EQ(recognised({0, 0, 1, 0xB0, 0x01}), 1u);
    EXPECT_EQ(recognised({0, 0, 1, 0xB5, 0x09}), 1u);
    EXPECT_EQ(recognised({0, 0, 1, 0xB8, 0x00}), 0u) << "group of pictures";
    EXPECT_EQ(recognised({0, 0, 1, 0xE0, 0x00}), 0u) << "a video packet";
    EXPECT_EQ(recognised({0, 0, 2, 0xBA}), 0u);
}

TEST(RecogniseMpg, SequenceAndSystemHeadersNeedPlausibleFields) {
    EXPECT_EQ(recognised({0, 0, 1, 0xB3, 0x04, 0x00, 0x30}), 1u);
    EXPECT_EQ(recognised({0, 0, 1, 0xB3, 0x00, 0x00, 0x30}), 0u) << "byte 4 zero";
    EXPECT_EQ(recognised({0, 0, 1, 0xB3, 0x04, 0x00, 0x00}), 0u) << "bytes 5 and 6 zero";
    EXPECT_EQ(recognised({0, 0, 1, 0xBB, 0x01, 0x00, 0x80}), 1u);
    EXPECT_EQ(recognised({0, 0, 1, 0xBB, 0x01, 0x00, 0x7F}), 0u) << "no marker bit";
    EXPECT_EQ(recognised({0, 0, 1, 0xBB, 0x00, 0x0C, 0x80}), 0u) << "byte 4 zero";
}

// Regression: with only MPEG streams chosen, a sequence header in the
// payload of a transport stream's packet, at a block start, was taken for
// the start of a stream, and half of the transport stream came back as one.
TEST(RecogniseMpg, StartCodesInsideTransportStreamPacketsStartNoStream) {
    // A sequence header (00 00 01 B3) and an extension (B5) of the MPEG-2
    // video in each of ffmpeg's streams.
    const std::pair<const char*, size_t> inside[] = {{"video/testsrc.ts", 595},
                                                     {"video/testsrc.ts", 2288},
                                                     {"video/testsrc.m2ts", 611},
                                                     {"video/testsrc.m2ts", 2340}};
    for (const auto& [path, at] : inside) {
        const std::vector<uint8_t> stream = test::readFile(test::dataPath(path));
        ASSERT_TRUE(stream.at(at + 3) == 0xB3 || stream.at(at + 3) == 0xB5) << path << " at " << at;
        const std::vector<uint8_t> from(stream.begin() + static_cast<std::ptrdiff_t>(at), stream.end());
        EXPECT_EQ(recognised(from), 0u) << path << " at " << at;
    }
    // An elementary stream with a transport stream after it is still one.
    std::vector<uint8_t> both = test::readFile(test::dataPath("video/testsrc.m1v"));
    const std::vector<uint8_t> ts = test::readFile(test::dataPath("video/testsrc.ts"));
    both.insert(both.end(), ts.begin(), ts.end());
    EXPECT_EQ(recognised(both), 1u);
}

TEST(RecogniseMpg, RealStreamsAreTakenButNotWhileAnMpegFileIsInProgress) {
    const std::vector<uint8_t> program = test::readFile(test::dataPath("video/testsrc.mpg"));
    const std::vector<uint8_t> elementary = test::readFile(test::dataPath("video/testsrc.m1v"));
    EXPECT_EQ(recognised(program), 1u);
    EXPECT_EQ(recognised(elementary), 1u);
    FileFamily mpg{"mpg", "", 0, 0, OutputMode::kWrite, 1, nullptr};
    FamilyTally tally{&mpg};
    CarveCandidate current;
    current.tally = &tally;
    current.blockCheck = blockCheckProgramStream;  // a program stream being walked
    EXPECT_EQ(recognised(program, current), 0u);
    EXPECT_EQ(recognised(elementary, current), 0u);
    // Packs repeat inside the stream, here at byte 6144.
    const std::vector<uint8_t> secondPack(program.begin() + 6144, program.end());
    EXPECT_EQ(recognised(secondPack), 1u);
    EXPECT_EQ(recognised(secondPack, current), 0u);
    // After an elementary stream (no walk) only a pack header starts a file.
    current.blockCheck = nullptr;
    EXPECT_EQ(recognised(elementary, current), 0u);
    EXPECT_EQ(recognised(program, current), 1u);
}

}  // namespace
}  // namespace salvora
