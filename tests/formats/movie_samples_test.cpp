#include "formats/movie_samples.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/test_files.h"
#include "support/written_output.h"

namespace salvora {
namespace {

using test::dataPath;
using test::Held;
using test::outputHolding;
using test::readFile;

uint64_t doubtfulIn(const std::vector<uint8_t>& movie, Held where = Held::kInMemory) {
    OutputFile output = outputHolding(movie, where);
    return firstDoubtfulVideoOffset(output, movie.size());
}

// The movie with a photo written over it at `at`.
std::vector<uint8_t> overwritten(std::vector<uint8_t> movie, size_t at) {
    const std::vector<uint8_t> photo = readFile(dataPath("jpeg/camera_320x240.jpg"));  // 16,516 bytes
    std::memcpy(movie.data() + at, photo.data(), photo.size());
    return movie;
}

TEST(MovieSamples, WholeMoviesOfEveryLayoutAndCodecHaveNothingInDoubt) {
    for (const char* path :
         {"movie/h264_faststart.mp4", "movie/h264_moov_last.mp4", "movie/clip.mp4", "movie/faststart.mp4",
          "movie/clip.mov", "movie/clip.3gp", "samples/QuickTime.mov"}) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> movie = readFile(dataPath(path));
        EXPECT_EQ(doubtfulIn(movie), 0u);
        EXPECT_EQ(doubtfulIn(movie, Held::kOnDisk), 0u);
    }
}

// The sample offsets are those ffprobe lists for the video packets
// (ffprobe -select_streams v:0 -show_entries packet=pos,size).
TEST(MovieSamples, APhotoWrittenOverAMovieIsFoundFromTheSampleItStartsIn) {
    // Faststart: the photo starts at 45,056, inside the sample at 44,912
    // (1,405 bytes); the next sample, at 46,595, lies inside the photo.
    EXPECT_EQ(doubtfulIn(overwritten(readFile(dataPath("movie/h264_faststart.mp4")), 45056)), 44912u);
    // The movie atom last: the photo starts at 57,344 inside the sample at
    // 56,030 (1,685 bytes); the next one, at 58,267, lies inside it.
    EXPECT_EQ(doubtfulIn(overwritten(readFile(dataPath("movie/h264_moov_last.mp4")), 57344), Held::kOnDisk),
              56030u);
    // The photo at 4,096 starts inside the first sample (at 3,070, where the
    // media data atom's data starts, 5,895 bytes long).
    EXPECT_EQ(doubtfulIn(overwritten(readFile(dataPath("movie/h264_faststart.mp4")), 4096)), 3070u);
}

// Motion JPEG samples start with a picture's start-of-image marker, MPEG-4
// part 2 samples with a start code.
TEST(MovieSamples, PicturesAndStartCodesShowWhereMotionJpegAndMpeg4MoviesWereWrittenOver) {
    const std::vector<uint8_t> small = readFile(dataPath("jpeg/jfif_plain_200x150.jpg"));  // 4,717 bytes
    // Frames at 24,745 (3,627 bytes) and 32,468: a photo at 28,672 covers the start of the second.
    std::vector<uint8_t> mjpeg = readFile(dataPath("movie/mjpeg.mov"));
    std::memcpy(mjpeg.data() + 28672, small.data(), small.size());
    EXPECT_EQ(doubtfulIn(mjpeg), 24745u);
    // Frames at 14,914 (1,524 bytes) and 16,786: a photo at 16,384 covers the start of the second.
    std::vector<uint8_t> mpeg4 = readFile(dataPath("movie/mpeg4.mp4"));
    std::memcpy(mpeg4.data() + 16384, small.data(), small.size());
    EXPECT_EQ(doubtfulIn(mpeg4, Held::kOnDisk), 14914u);
}

TEST(MovieSamples, ABrokenMovieAtomOrNoVideoTrackChecksNothing) {
    std::vector<uint8_t> movie = readFile(dataPath("movie/h264_faststart.mp4"));
    // The movie atom's size runs past the file: no table to check against.
    std::vector<uint8_t> cut(movie.begin(), movie.begin() + 1000);
    EXPECT_EQ(doubtfulIn(cut), 0u);
    // An audio recording made of the same boxes.
    EXPECT_EQ(doubtfulIn(readFile(dataPath("audio/tone.m4a"))), 0u);
}

// Sizes, counts and offsets in a damaged movie atom are untrusted: whatever
// they say, the check stays within the movie (the sanitiser builds catch a
// read outside it) and names an offset inside it or none.
TEST(MovieSamples, MutatedMovieAtomsNeverLeadOutsideTheMovie) {
    const std::vector<uint8_t> movie = readFile(dataPath("movie/h264_faststart.mp4"));
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> mutated = movie;
        // The movie atom lies at 32 to 3,054.
        for (int i = 0, count = 1 + static_cast<int>(next() % 8); i < count; ++i)
            mutated[32 + next() % 3022] = static_cast<uint8_t>(next());
        const uint64_t doubtful = doubtfulIn(mutated);
        EXPECT_LT(doubtful, mutated.size()) << round;
    }
}

}  // namespace
}  // namespace salvora
