// Files of the newer formats made at test time by the programs that write
// them (ImageMagick, cwebp, ffmpeg, sqlite3, 7z; the packages are in
// scripts/packages/build.txt), larger than the committed ones, laid on a card
// between older files and random data: every one comes back byte for byte
// under its own extension.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/card_layout.h"
#include "formats/family_table.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

struct Made {
    std::string name;
    std::string extension;
    std::string command;  // makes `name` in the current folder
};

const std::vector<Made> kMade{
    {"photo.png", "png", "convert -size 320x240 plasma:fractal -seed 9 photo.png"},
    {"animated.gif", "gif",
     "convert -delay 10 -size 120x90 plasma: plasma: plasma: plasma: -loop 0 animated.gif"},
    {"photo.webp", "webp", "cwebp -quiet -q 80 photo.png -o photo.webp"},
    {"photo.heic", "heic", "convert photo.png -quality 70 photo.heic"},
    {"photo.avif", "avif", "convert photo.png -quality 70 photo.avif"},
    {"clip.mkv", "mkv",
     "ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=15 -f lavfi -i sine=frequency=500 -t 2 "
     "-c:v libx264 -pix_fmt yuv420p -c:a aac clip.mkv"},
    {"clip.webm", "webm",
     "ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=15 -f lavfi -i sine=frequency=700 -t 2 "
     "-c:v libvpx -b:v 200k -c:a libvorbis clip.webm"},
    {"song.flac", "flac",
     "ffmpeg -v error -f lavfi -i sine=frequency=440:sample_rate=48000 -f lavfi -i "
     "anoisesrc=amplitude=0.1:seed=5 "
     "-filter_complex amerge -t 3 -c:a flac song.flac"},
    {"song.ogg", "ogg", "ffmpeg -v error -f lavfi -i sine=frequency=440 -t 3 -c:a libvorbis song.ogg"},
    {"voice.opus", "opus",
     "ffmpeg -v error -f lavfi -i anoisesrc=amplitude=0.2:seed=6 -t 3 -c:a libopus voice.opus"},
    {"song.m4a", "m4a", "ffmpeg -v error -f lavfi -i sine=frequency=330 -t 3 -c:a aac song.m4a"},
    {"contacts.sqlite", "sqlite",
     "sqlite3 contacts.sqlite \"create table people(name, phone); with recursive n(i) as (select 1 union all "
     "select i + 1 from n where i < 500) insert into people select 'person ' || i, '+41 79 ' || i from n;\""},
    {"photos.7z", "7z", "7z a -bd -bso0 photos.7z photo.png animated.gif"},
};

TEST(MadeByTools, NewerFilesFromTheirOwnProgramsComeBackByteIdentical) {
    test::TempDir work;
    for (const Made& made : kMade) {
        const std::string command =
            "cd '" + work.path().string() + "' && " + made.command + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << made.command;
        ASSERT_TRUE(fs::exists(work.path() / made.name)) << made.name;
    }
    test::CardLayout card(6 << 20, 32768);
    std::vector<std::pair<test::PlacedFile, std::string>> placed;
    const std::vector<std::pair<std::string, std::string>> older{
        {"jpeg/camera_640x480.jpg", "jpg"},  {"audio/tone_id3v2.mp3", "mp3"},
        {"pdf/libreoffice_note.pdf", "pdf"}, {"office/letter.docx", "docx"},
        {"video/testsrc.avi", "avi"},        {"bmp/circle_v5.bmp", "bmp"}};
    uint32_t seed = 31;
    for (size_t i = 0; i < kMade.size(); ++i) {
        placed.emplace_back(card.addBytes(kMade[i].name, test::readFile(work.path() / kMade[i].name)),
                            kMade[i].extension);
        card.noise(1, seed++);
        if (i < older.size()) {
            placed.emplace_back(card.add(older[i].first), older[i].second);
            card.noise(1, seed++);
        }
    }
    EnabledFamilies families = defaultEnabledFamilies();
    for (EnabledFamily& pair : families)
        pair.enabled = pair.family ? 1 : 0;
    const auto recovery = test::recoverImage(card.bytes(), families);
    ASSERT_EQ(recovery.result, kScanFinished);
    for (const auto& [file, extension] : placed)
        test::expectRecovered(recovery, file, extension);
    EXPECT_EQ(recovery.saved.size(), placed.size());
}

// Regression: the last frame of a noisy FLAC stream was cut where its CRC-16
// first matched by chance, 920 bytes short. The last frame has no frame after
// it: its end is found by reading its subframes. Noisy streams of every
// channel coding, both kinds of predictor, 16 and 24 bits, each placed
// before random data.
TEST(MadeByTools, FlacStreamsOfEveryCodingEndAfterTheirLastFrame) {
    test::TempDir work;
    const std::vector<std::string> options{
        "-compression_level 0 -ch_mode indep",      "-compression_level 5 -ch_mode left_side",
        "-compression_level 8 -ch_mode right_side", "-compression_level 12 -ch_mode mid_side",
        "-compression_level 5 -sample_fmt s32",     "-compression_level 2 -lpc_type none",
        "-compression_level 8 -frame_size 1152",    "-compression_level 5 -ac 1"};
    test::CardLayout card(8 << 20, 4096);
    std::vector<test::PlacedFile> placed;
    for (size_t i = 0; i < options.size(); ++i) {
        const std::string name = "noise" + std::to_string(i) + ".flac";
        const std::string command = "cd '" + work.path().string() +
                                    "' && ffmpeg -v error -f lavfi -i sine=frequency=300:sample_rate=44100 "
                                    "-f lavfi -i anoisesrc=amplitude=0.2:seed=" +
                                    std::to_string(11 + i) + " -filter_complex amerge -t 1.7 -c:a flac " +
                                    options[i] + " " + name + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << options[i];
        placed.push_back(card.addBytes(options[i], test::readFile(work.path() / name)));
        card.noise(2, static_cast<uint32_t>(50 + i));
    }
    const auto recovery = test::recoverImage(card.bytes(), test::onlyFamilies({"flac"}));
    ASSERT_EQ(recovery.result, kScanFinished);
    for (const test::PlacedFile& file : placed)
        test::expectRecovered(recovery, file, "flac");
}

}  // namespace
}  // namespace salvora
