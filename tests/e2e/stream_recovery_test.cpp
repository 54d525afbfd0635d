// Audio and video files laid on a card image come back whole, with their
// extensions, cut where their formats say they end.
#include <gtest/gtest.h>

#include "e2e/card_layout.h"

namespace salvora {
namespace {

using test::CardLayout;
using test::contentOf;
using test::expectRecovered;
using test::onlyFamilies;
using test::PlacedFile;
using test::recoverImage;
using test::savedAt;

const EnabledFamilies kEveryFamily =
    onlyFamilies({"bmp", "jpg", "indd", "riff", "tif", "raw", "orf", "crw", "x3f", "mrw", "raf", "mp3", "doc",
                  "pdf", "mpg", "m2ts", "mov", "zip"});

TEST(RiffRecovery, WaveAndAviComeBackWholeUnderTheirFormType) {
    CardLayout card(1 << 20);
    const PlacedFile wav = card.add("audio/tone.wav");
    const PlacedFile avi = card.add("video/testsrc.avi");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"riff"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.saved.size(), 2u);
    expectRecovered(recovery, wav, "wav");
    expectRecovered(recovery, avi, "avi");
}

TEST(RiffRecovery, CameraSamplesAreNamedAndCutToTheirDeclaredSize) {
    CardLayout card(1 << 20);
    const PlacedFile wav = card.add("samples/RIFF.wav");    // declares 200 + 8 bytes of its 224
    const PlacedFile avi = card.add("samples/Pentax.avi");  // stripped: declares far more than it holds
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"riff"}));
    const SavedFile* saved = savedAt(recovery, wav.offset);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->extension, "wav");
    EXPECT_EQ(contentOf(recovery, *saved), test::prefix(wav.bytes, 208));
    EXPECT_EQ(savedAt(recovery, avi.offset), nullptr) << "a truncated AVI is dropped";
    EXPECT_EQ(recovery.saved.size(), 1u);
}

// Regression: the size a video's or a recording's header announces was
// followed whatever lay inside it, so when the rest of a deleted file had
// been overwritten by photos, the photos were lost inside it and the cut file
// was kept as whole.
TEST(RiffRecovery, PhotosOverwritingTheRestOfACutVideoOrRecordingAreAllRecovered) {
    test::ImageBuilder image(1 << 20);
    const std::vector<uint8_t> avi = test::readFile(test::dataPath("video/testsrc.avi"));  // 19,628 bytes
    const std::vector<uint8_t> wav = test::readFile(test::dataPath("audio/tone.wav"));     // 4,044 bytes
    const std::vector<uint8_t> big = test::readFile(test::dataPath("jpeg/camera_320x240.jpg"));  // 16,516
    const std::vector<uint8_t> small = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
    // The video cut in its sixth frame chunk, two photos where the rest of it was.
    image.place(4096, test::prefix(avi, 10752));
    image.place(4096 + 11264, big);
    image.place(4096 + 11264 + 16896, small);
    // The recording cut inside its samples, a photo after 2,560 of its bytes.
    image.place(65536, test::prefix(wav, 2048));
    image.place(65536 + 2560, small);
    const auto recovery = recoverImage(image.bytes(), kEveryFamily);
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(savedAt(recovery, 4096), nullptr) << "the cut video is not whole";
    for (const auto& [offset, bytes] :
         {std::pair{uint64_t{4096 + 11264}, big}, std::pair{uint64_t{4096 + 11264 + 16896}, small},
          std::pair{uint64_t{65536 + 2560}, small}}) {
        const SavedFile* photo = savedAt(recovery, offset);
        ASSERT_NE(photo, nullptr) << offset;
        EXPECT_EQ(contentOf(recovery, *photo), bytes) << offset;
    }
}

// A picture stored in a chunk of its own (cover art after the samples)
// belongs to the recording, wherever it falls.
TEST(RiffRecovery, CoverArtInAChunkAfterTheSamplesStaysInTheRecording) {
    std::vector<uint8_t> wav = test::readFile(test::dataPath("audio/tone.wav"));  // 4,044 bytes
    const std::vector<uint8_t> art = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
    // An "id3 " chunk whose picture starts at the next 512-byte boundary.
    const size_t pictureAt = (wav.size() + 8 + 511) / 512 * 512;
    const uint32_t chunk = static_cast<uint32_t>(pictureAt - wav.size() - 8 + art.size());
    const uint8_t header[] = {'i',
                              'd',
                              '3',
                              ' ',
                              static_cast<uint8_t>(chunk),
                              static_cast<uint8_t>(chunk >> 8),
                              static_cast<uint8_t>(chunk >> 16),
                              static_cast<uint8_t>(chunk >> 24)};
    wav.insert(wav.end(), header, header + sizeof header);
    wav.resize(pictureAt, 0);
    wav.insert(wav.end(), art.begin(), art.end());
    if (wav.size() % 2)
        wav.push_back(0);
    const uint32_t riffSize = static_cast<uint32_t>(wav.size() - 8);
    for (int i = 0; i < 4; ++i)
        wav[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
    test::ImageBuilder image(1 << 20);
    image.place(4096, wav);
    const auto recovery = recoverImage(image.bytes(), kEveryFamily);
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.saved.size(), 1u);
    EXPECT_EQ(contentOf(recovery, recovery.saved[0]), wav);
}

TEST(Mp3Recovery, StreamsWithAndWithoutTagsComeBackWhole) {
    CardLayout card(1 << 20);
    const PlacedFile id3v2 = card.add("audio/tone_id3v2.mp3");
    const PlacedFile id3v1 = card.add("audio/tone_id3v1.mp3");
    const PlacedFile bare = card.add("audio/tone_bare.mp3");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"mp3"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.saved.size(), 3u);
    expectRecovered(recovery, id3v2, "mp3");
    expectRecovered(recovery, id3v1, "mp3");
    expectRecovered(recovery, bare, "mp3");
}

// Without a gap the next file's bytes follow the last frame directly, so
// only the frame walk can tell where the stream ends.
TEST(Mp3Recovery, StreamEndsExactlyAfterItsLastFrameOrTrailingTagWhenDataFollowsDirectly) {
    for (const std::string name : {"audio/tone_bare.mp3", "audio/tone_id3v1.mp3", "audio/tone_id3v2.mp3"}) {
        CardLayout card(1 << 20);
        std::vector<uint8_t> stream = test::readFile(test::dataPath(name));
        const size_t length = stream.size();
        const std::vector<uint8_t> wav = test::readFile(test::dataPath("audio/tone.wav"));
        stream.insert(stream.end(), wav.begin(), wav.end());
        const PlacedFile placed = card.addBytes(name, stream);
        const auto recovery = recoverImage(card.bytes(), onlyFamilies({"mp3"}));
        const SavedFile* saved = savedAt(recovery, placed.offset);
        ASSERT_NE(saved, nullptr) << name;
        EXPECT_EQ(saved->size, length) << name;
        EXPECT_EQ(contentOf(recovery, *saved), test::prefix(stream, length)) << name;
    }
}

// The sample is stripped: an ID3v2.2 tag (263 bytes), one bare MPEG-1 frame
// header that announces a 417-byte frame, and an ID3v1 tag inside that frame.
TEST(Mp3Recovery, StrippedCameraSampleRunsToTheEndItsFrameAnnounces) {
    CardLayout card(1 << 20);
    const PlacedFile sample = card.add("samples/MP3.mp3");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"mp3"}));
    const SavedFile* saved = savedAt(recovery, sample.offset);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->extension, "mp3");
    EXPECT_EQ(saved->size, 263u + 417u);
    EXPECT_EQ(test::prefix(contentOf(recovery, *saved), sample.bytes.size()), sample.bytes);
}

TEST(Mp3Recovery, AStrayFrameHeaderAtABlockStartStartsNoFile) {
    test::ImageBuilder image(1 << 20);
    image.noise(0, 1 << 20, 7);
    // A WAV at an odd multiple of 512 makes the scan work in 512-byte blocks.
    const std::vector<uint8_t> wav = test::readFile(test::dataPath("audio/tone.wav"));
    const size_t wavAt = 5 * 512;
    image.place(wavAt, wav);
    // Valid MPEG-1 Layer III headers (128 kbit/s, 44.1 kHz: 417-byte frames)
    // at block starts, followed by noise, by an FF without frame sync, or by
    // a single second frame that the noise does not continue.
    const uint8_t header[] = {0xFF, 0xFB, 0x90, 0x64};
    std::vector<uint8_t>& bytes = image.bytes();
    for (size_t block : {40 * 512, 60 * 512, 80 * 512}) {
        std::copy(std::begin(header), std::end(header), bytes.begin() + static_cast<std::ptrdiff_t>(block));
    }
    bytes[40 * 512 + 417] = 0x12;
    // FF 1A 90 reads as a 417-byte frame, but 1A lacks the frame sync bits.
    for (size_t frame = 1; frame * 417 < 2048; ++frame) {
        const uint8_t noSync[] = {0xFF, 0x1A, 0x90, 0x00};
        std::copy(std::begin(noSync), std::end(noSync),
                  bytes.begin() + static_cast<std::ptrdiff_t>(60 * 512 + frame * 417));
    }
    std::copy(std::begin(header), std::end(header), bytes.begin() + 80 * 512 + 417);
    bytes[80 * 512 + 834] = 0x00;
    const auto recovery = recoverImage(image.bytes(), onlyFamilies({"mp3", "riff"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    ASSERT_EQ(recovery.saved.size(), 1u);
    EXPECT_EQ(recovery.saved[0].startOffset, wavAt);
    EXPECT_EQ(recovery.saved[0].extension, "wav");
}

TEST(TransportStreamRecovery, CamcorderStreamsComeBackWholeAsM2tsAndM2t) {
    CardLayout card(1 << 20);
    const PlacedFile sample = card.add("samples/M2TS.mts");
    const PlacedFile avchd = card.add("video/avchd_style.m2ts");
    const PlacedFile hdv = card.add("video/hdv_style.m2t");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"m2ts"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    EXPECT_EQ(recovery.saved.size(), 3u);
    expectRecovered(recovery, sample, "m2ts");
    expectRecovered(recovery, avchd, "m2ts");
    expectRecovered(recovery, hdv, "m2t");
}

TEST(TransportStreamRecovery, StreamEndsAtTheFirstUnitWithoutSyncByte) {
    // The camcorder sample's units run on into the units of another stream:
    // one file of both, cut where the 192-byte rhythm breaks.
    CardLayout card(1 << 20);
    std::vector<uint8_t> stream = test::readFile(test::dataPath("samples/M2TS.mts"));
    const std::vector<uint8_t> more = test::readFile(test::dataPath("video/testsrc.m2ts"));
    stream.insert(stream.end(), more.begin(), more.end());
    const size_t length = stream.size();
    stream.insert(stream.end(), 400, 0x11);  // no sync byte at offset 4 of the next unit
    const PlacedFile placed = card.addBytes("joined", stream);
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"m2ts"}));
    const SavedFile* saved = savedAt(recovery, placed.offset);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(contentOf(recovery, *saved), test::prefix(stream, length));
}

// Streams of encoders and editing software (no camcorder marks) are found by
// their sync bytes and the program association table near their start, and
// end after their last packet, whatever follows.
TEST(TransportStreamRecovery, FfmpegStreamsComeBackWholeAsTsAndM2ts) {
    CardLayout card(1 << 20);
    const PlacedFile m2ts = card.add("video/testsrc.m2ts");
    card.noise(2, 31);
    const PlacedFile ts = card.add("video/testsrc.ts");
    card.add("audio/tone.wav");
    const PlacedFile again = card.add("video/testsrc.ts");
    card.noise(2, 32);
    for (const auto& families : {onlyFamilies({"m2ts"}), kEveryFamily}) {
        const auto recovery = recoverImage(card.bytes(), families);
        ASSERT_EQ(recovery.result, kScanFinished);
        expectRecovered(recovery, m2ts, "m2ts");
        expectRecovered(recovery, ts, "ts");
        expectRecovered(recovery, again, "ts");
    }
}

// A program stream ends after its last whole pack (FFmpeg writes no program
// end code), whatever follows.
TEST(MpegRecovery, ProgramStreamsEndAfterTheirLastPack) {
    CardLayout card(1 << 20);
    const PlacedFile mpeg1 = card.add("video/testsrc.mpg");
    card.noise(2, 41);
    const PlacedFile mpeg2 = card.add("video/testsrc_mpeg2.mpg");
    card.add("jpeg/camera_320x240.jpg");
    card.noise(3, 42);
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"mpg"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    expectRecovered(recovery, mpeg1, "mpg");
    expectRecovered(recovery, mpeg2, "mpg");
    EXPECT_EQ(recovery.saved.size(), 2u);
}

// With the program end code (00 00 01 B9) after its last pack, a stream ends
// after the code, even when another stream follows at once.
TEST(MpegRecovery, ProgramStreamEndsAfterItsEndCode) {
    std::vector<uint8_t> stream = test::readFile(test::dataPath("video/testsrc_mpeg2.mpg"));
    const std::vector<uint8_t> endCode{0x00, 0x00, 0x01, 0xB9};
    stream.insert(stream.end(), endCode.begin(), endCode.end());
    std::vector<uint8_t> joined = stream;
    const std::vector<uint8_t> next = test::readFile(test::dataPath("video/testsrc.mpg"));
    joined.insert(joined.end(), next.begin(), next.end());
    CardLayout card(1 << 20);
    const PlacedFile placed = card.addBytes("two streams", joined);
    card.noise(3, 43);
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"mpg"}));
    const SavedFile* saved = savedAt(recovery, placed.offset);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(contentOf(recovery, *saved), stream);
}

// An elementary stream has no end of its own: it runs up to the next file's start.
TEST(MpegRecovery, ElementaryStreamRunsUpToTheNextFile) {
    CardLayout card(1 << 20);
    const PlacedFile elementary = card.add("video/testsrc.m1v");
    card.skip(1);
    const PlacedFile next = card.add("audio/tone.wav");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"mpg", "riff"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    const SavedFile* saved = savedAt(recovery, elementary.offset);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->extension, "mpg");
    EXPECT_EQ(saved->size, next.offset - elementary.offset);
    EXPECT_EQ(test::prefix(contentOf(recovery, *saved), elementary.bytes.size()), elementary.bytes);
    expectRecovered(recovery, next, "wav");
}

// Regression: the frames of a Motion JPEG AVI are whole JPEG files; one that
// began on a block start cut the AVI there and came back as a photo of its own.
TEST(RiffRecovery, MotionJpegAviStaysWholeAndItsFramesAreNotSavedAgain) {
    const std::vector<uint8_t> avi = test::readFile(test::dataPath("video/testsrc_mjpeg.avi"));
    // Where the frames start (FF D8 FF): one of them on a block start.
    std::vector<size_t> frames;
    for (size_t i = 0; i + 2 < avi.size(); ++i) {
        if (avi[i] == 0xFF && avi[i + 1] == 0xD8 && avi[i + 2] == 0xFF && i % 512 == 0)
            frames.push_back(i);
    }
    ASSERT_FALSE(frames.empty());
    const auto photo = test::readFile(test::dataPath("jpeg/camera_320x240.jpg"));
    test::ImageBuilder image(1 << 20);
    image.place(4096, photo);
    // Starts at 4096 and 16 * 4096 + 512: the scan works in 512-byte blocks.
    const size_t at = 16 * 4096 + 512;
    image.place(at, avi);
    image.noise(at + avi.size() + 4096, at + avi.size() + 8 * 4096, 51);
    const auto recovery = recoverImage(image.bytes(), kEveryFamily);
    ASSERT_EQ(recovery.result, kScanFinished);
    const SavedFile* first = savedAt(recovery, 4096);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(contentOf(recovery, *first), photo);
    const SavedFile* saved = savedAt(recovery, at);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->extension, "avi");
    EXPECT_EQ(contentOf(recovery, *saved), avi);
    EXPECT_EQ(recovery.saved.size(), 2u) << "a frame was saved again";
}

// Packs repeat inside a program stream, so no MPEG start is taken while one
// is followed; a stream right behind one that ended by its end code is a file of its own.
TEST(MpegRecovery, StreamDirectlyBehindAnEndedOneIsAFileOfItsOwn) {
    CardLayout card(1 << 20);
    const PlacedFile program = card.add("video/testsrc.mpg");
    const PlacedFile elementary = card.add("video/testsrc.m1v");
    const PlacedFile next = card.add("audio/tone.wav");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"mpg", "riff"}));
    expectRecovered(recovery, program, "mpg");
    const SavedFile* second = savedAt(recovery, elementary.offset);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->size, next.offset - elementary.offset);
}

TEST(MpegRecovery, ElementaryStreamAtTheEndOfTheMediumRunsToItsEnd) {
    CardLayout card(64 * 4096);
    const PlacedFile elementary = card.add("video/testsrc.m1v");
    const auto recovery = recoverImage(card.bytes(), onlyFamilies({"mpg"}));
    const SavedFile* saved = savedAt(recovery, elementary.offset);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->size, card.bytes().size() - elementary.offset);
    EXPECT_EQ(test::prefix(contentOf(recovery, *saved), elementary.bytes.size()), elementary.bytes);
}

}  // namespace
}  // namespace salvora
