// Evidence images through the command line: a memory-card image made with
// mkfs.vfat and mcopy, acquired with ewfacquire (in one and in several
// segments) and cut with split, gives the same files and report rows as the
// raw image; damaged images stop with the problem named and leave no partial
// file; the DFXML report is valid by the schema and tells where each file
// lay; the images themselves are never changed.
#include "support/evidence_images.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

#include "media/ewf_reader.h"
#include "run_salvora.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::runSalvora;

using Files = std::map<std::string, std::vector<uint8_t>>;

Files filesIn(const fs::path& folder) {
    Files files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = test::readFile(entry.path());
    return files;
}

std::string textOf(const fs::path& path) {
    const auto bytes = test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::map<fs::path, test::FileState> statesOf(const std::vector<fs::path>& files) {
    std::map<fs::path, test::FileState> states;
    for (const fs::path& file : files)
        states[file] = test::stateOf(file);
    return states;
}

// The files of one recovery and its report.
struct Recovery {
    test::Run run;
    Files files;
    std::string report;
};

class EvidenceCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_TOOLS("ewfacquire", "mkfs.vfat", "mcopy", "split", "xmllint", "md5sum", "sha1sum",
                           "sha256sum", "truncate");
        if (!canReadEvidenceImages())
            GTEST_SKIP() << "this build has no libewf";
    }

    // A 16 MiB memory card with a FAT16 volume and real files copied in.
    fs::path card() {
        const fs::path image = dir.path() / "card.img";
        EXPECT_TRUE(test::makeBlankImage(image, 16 << 20));
        EXPECT_TRUE(test::makeFat(image, 0, 32768, 16, "CARD"));
        for (const std::string& name : kOriginals)
            EXPECT_TRUE(test::copyIntoFat(image, 0, test::dataPath(name)));
        return image;
    }

    std::vector<fs::path> acquire(const fs::path& raw, const std::string& name,
                                  const std::string& options = "") {
        std::string log;
        const auto segments = test::acquireEvidence(raw, dir.path() / name, options, &log);
        EXPECT_FALSE(segments.empty()) << log;
        return segments;
    }

    // Cuts `raw` with split(1); returns the parts in order.
    std::vector<fs::path> split(const fs::path& raw, const std::string& prefix, const std::string& options) {
        EXPECT_TRUE(test::runTool("cd " + test::shellQuoted(dir.path().string()) + " && split -b 1048576 " +
                                  options + " " + test::shellQuoted(raw.string()) + " " + prefix));
        std::vector<fs::path> parts;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            if (entry.path().filename().string().rfind(prefix, 0) == 0)
                parts.push_back(entry.path());
        }
        std::sort(parts.begin(), parts.end());
        return parts;
    }

    Recovery recover(const fs::path& image, const std::string& name,
                     const std::string& reportName = "found.csv", const std::vector<std::string>& more = {}) {
        const fs::path out = dir.path() / ("out-" + name);
        const fs::path report = dir.path() / (name + "-" + reportName);
        std::vector<std::string> arguments{"recover",    "--image",  image.string(),  "--out",
                                           out.string(), "--report", report.string(), "--quiet"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        Recovery recovery;
        recovery.run = runSalvora(arguments);
        recovery.files = filesIn(out);
        recovery.report = fs::exists(report) ? textOf(report) : "";
        return recovery;
    }

    // Every saved file is one of the originals, byte for byte.
    void expectOnlyWholeOriginals(const Files& files) {
        for (const auto& [name, bytes] : files) {
            bool whole = false;
            for (const std::string& original : kOriginals)
                whole = whole || bytes == test::readFile(test::dataPath(original));
            EXPECT_TRUE(whole) << name << " (" << bytes.size() << " bytes) is not a whole original";
        }
    }

    const std::vector<std::string> kOriginals{"jpeg/camera_640x480.jpg", "pdf/libreoffice_note.pdf",
                                              "bmp/circle_v5.bmp", "jpeg/camera_320x240.jpg",
                                              "jpeg/jfif_exif_160x120.jpg"};
    test::TempDir dir;
};

TEST_F(EvidenceCommands, EvidenceAndSplitImagesGiveTheRawImagesFilesAndRows) {
    const fs::path raw = card();
    const Recovery fromRaw = recover(raw, "raw");
    ASSERT_EQ(fromRaw.run.status, 0) << fromRaw.run.err;
    ASSERT_EQ(fromRaw.files.size(), kOriginals.size()) << fromRaw.report;
    expectOnlyWholeOriginals(fromRaw.files);

    const std::map<std::string, std::vector<fs::path>> images{
        {"one-segment", acquire(raw, "card")},
        {"segments", acquire(raw, "multi", "-S 1048576")},
        {"split-numbers", split(raw, "card.img.", "-d -a 3 --numeric-suffixes=1")},
        {"split-letters", split(raw, "part.", "")},
    };
    EXPECT_GE(images.at("segments").size(), 10u);
    EXPECT_EQ(images.at("split-numbers").size(), 16u);
    EXPECT_EQ(images.at("split-numbers").front().filename(), "card.img.001");
    EXPECT_EQ(images.at("split-letters").front().filename(), "part.aa");
    for (const auto& [name, files] : images) {
        const auto before = statesOf(files);
        const Recovery recovery = recover(files.front(), name);
        ASSERT_EQ(recovery.run.status, 0) << name << "\n" << recovery.run.err;
        EXPECT_EQ(recovery.report, fromRaw.report) << name;
        EXPECT_TRUE(recovery.files == fromRaw.files) << name;
        EXPECT_TRUE(statesOf(files) == before) << name << ": the image's files were changed";
    }
}

struct Placed {
    std::string data;  // file under tests/data
    uint64_t offset;
};

// The DFXML report passes the schema and tells, for each file, where the
// test put it, its size and the SHA-256 of the original. Noise lies before
// the first photo and after the document and the bitmap, which end by their
// own structure; a photo is followed by zeros up to the next file, since a
// JPEG is followed up to the next file start and ends at its last
// end-of-image marker.
TEST_F(EvidenceCommands, DfxmlReportIsValidAndMatchesTheKnownLayout) {
    const std::vector<Placed> placed{{"jpeg/camera_640x480.jpg", 8192},
                                     {"pdf/libreoffice_note.pdf", 1048576 + 81920},
                                     {"jpeg/jfif_plain_200x150.jpg", 2097152 + 4096},
                                     {"bmp/circle_v5.bmp", 3145728 + 262144}};
    test::ImageBuilder image(4 << 20);
    image.noise(0, 8192, 19);
    for (const Placed& file : placed)
        image.place(file.offset, test::readFile(test::dataPath(file.data)));
    const uint64_t afterPdf = placed[1].offset + fs::file_size(test::dataPath(placed[1].data));
    const uint64_t afterBmp = placed[3].offset + fs::file_size(test::dataPath(placed[3].data));
    image.noise(afterPdf, 2097152, 20);
    image.noise(afterBmp, 4 << 20, 21);
    const fs::path raw = dir.path() / "layout.img";
    test::writeFile(raw, image.bytes());
    const auto segments = acquire(raw, "layout", "-S 1048576 -d sha1");
    const Recovery recovery = recover(segments.at(0), "layout", "found.xml");
    ASSERT_EQ(recovery.run.status, 0) << recovery.run.err;
    ASSERT_EQ(recovery.files.size(), placed.size());

    std::string log;
    EXPECT_TRUE(test::runTool("xmllint --noout --schema " +
                                  test::shellQuoted(test::dataPath("dfxml/dfxml.xsd")) + " " +
                                  test::shellQuoted((dir.path() / "layout-found.xml").string()),
                              &log))
        << log << recovery.report;
    const std::string& xml = recovery.report;
    for (const fs::path& segment : segments)
        EXPECT_NE(xml.find("<image_filename>" + segment.string() + "</image_filename>"), std::string::npos);
    EXPECT_NE(xml.find("<byte_run img_offset='0' len='4194304'>\n"
                       "        <hashdigest type='md5'>" +
                       test::digestBy("md5sum", raw) +
                       "</hashdigest>\n"
                       "        <hashdigest type='sha1'>" +
                       test::digestBy("sha1sum", raw) + "</hashdigest>"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<command_line>"), std::string::npos);
    const std::vector<std::string> names{"KV00000.jpg", "KV00001.pdf", "KV00002.jpg", "KV00003.bmp"};
    for (size_t i = 0; i < placed.size(); ++i) {
        const std::string original = test::dataPath(placed[i].data);
        const std::string size = std::to_string(fs::file_size(original));
        EXPECT_NE(xml.find("<filename>" + names[i] + "</filename>\n    <filesize>" + size +
                           "</filesize>\n    <byte_runs>\n      <byte_run file_offset='0' img_offset='" +
                           std::to_string(placed[i].offset) + "' len='" + size +
                           "'/>\n    </byte_runs>\n    <hashdigest type='sha256'>" +
                           test::digestBy("sha256sum", original) + "</hashdigest>"),
                  std::string::npos)
            << names[i] << "\n"
            << xml;
    }
}

// A recovery stopped by Ctrl-C or by a termination request still leaves a
// complete DFXML document listing exactly the files saved.
TEST_F(EvidenceCommands, InterruptedRecoveryClosesItsDfxmlReport) {
    test::ImageBuilder head(2 << 20);
    const auto photo = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
    for (size_t i = 0; i < 12; ++i)
        head.place(65536 * i, photo);
    // An ID3 tag announcing 256 MiB: the file is still being followed when the signal comes.
    head.place(65536 * 12, {'I', 'D', '3', 3, 0, 0, 0x01, 0x00, 0x00, 0x00});
    const fs::path image = dir.path() / "big.img";
    test::writeFile(image, head.bytes());
    fs::resize_file(image, 8ull << 30);
    for (const int signal : {SIGINT, SIGTERM}) {
        const fs::path out = dir.path() / ("out" + std::to_string(signal));
        const fs::path report = dir.path() / ("found" + std::to_string(signal) + ".xml");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            execl(SALVORA_EXE, SALVORA_EXE, "recover", "--image", image.c_str(), "--out", out.c_str(),
                  "--types", "jpg,mp3", "--report", report.c_str(), "--quiet", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 400 && !fs::exists(out / "KV00012.mp3"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << signal;
        EXPECT_EQ(WEXITSTATUS(status), 130) << signal;
        std::string log;
        EXPECT_TRUE(test::runTool("xmllint --noout --schema " +
                                      test::shellQuoted(test::dataPath("dfxml/dfxml.xsd")) + " " +
                                      report.string(),
                                  &log))
            << log;
        const std::string xml = textOf(report);
        const Files saved = filesIn(out);
        ASSERT_EQ(saved.size(), 12u) << signal;
        size_t objects = 0;
        for (size_t at = xml.find("<fileobject>"); at != std::string::npos;
             at = xml.find("<fileobject>", at + 1))
            ++objects;
        EXPECT_EQ(objects, saved.size()) << xml;
        for (const auto& [name, bytes] : saved)
            EXPECT_NE(xml.find("<filename>" + name + "</filename>"), std::string::npos) << name;
        EXPECT_EQ(xml.substr(xml.size() - 9), "</dfxml>\n");
    }
}

// Twelve photos on 64 KiB clusters, a bitmap and noise after it, a photo
// at 2 MiB + 320 KiB and one at 3 MiB + 64 KiB; 4 MiB in 1 MiB segments.
// The scan first looks for ten file starts (the photos in the first
// megabyte), then carves; a read failure stops it where it happens.
class DamagedEvidence : public EvidenceCommands {
  protected:
    void SetUp() override {
        EvidenceCommands::SetUp();
        if (IsSkipped())
            return;
        test::ImageBuilder image(4 << 20);
        const auto photo = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
        for (size_t i = 0; i < 12; ++i)
            image.place(65536 * (i + 1), photo);
        const auto bitmap = test::readFile(test::dataPath("bmp/circle_v5.bmp"));
        image.place(65536 * 13, bitmap);
        image.noise(65536 * 13 + bitmap.size(), 2 << 20, 23);
        image.place(kDamagedPhoto, test::readFile(test::dataPath("jpeg/camera_320x240.jpg")));
        image.place(3145728 + 65536, photo);
        medium = image.bytes();
        raw = dir.path() / "card.img";
        test::writeFile(raw, medium);
        segments = acquire(raw, "card", "-S 1048576");
        ASSERT_GE(segments.size(), 5u);
    }

    // Every saved file is a whole original.
    void expectWholeFiles(const Files& files) {
        const auto photo = test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg"));
        const auto bitmap = test::readFile(test::dataPath("bmp/circle_v5.bmp"));
        const auto other = test::readFile(test::dataPath("jpeg/camera_320x240.jpg"));
        for (const auto& [name, bytes] : files) {
            EXPECT_TRUE(bytes == photo || bytes == bitmap || bytes == other)
                << name << " (" << bytes.size() << " bytes) is not whole";
        }
    }

    static constexpr uint64_t kDamagedPhoto = 2424832;  // 2 MiB + 320 KiB, a chunk boundary
    std::vector<uint8_t> medium;
    fs::path raw;
    std::vector<fs::path> segments;
};

TEST_F(DamagedEvidence, CorruptChunkStopsTheRecoveryWithTheChunkNamed) {
    const std::vector<uint8_t> pattern(medium.begin() + kDamagedPhoto + 4096,
                                       medium.begin() + kDamagedPhoto + 4160);
    int damaged = 0;
    for (const fs::path& segment : segments)
        damaged += test::damageCopyOf(segment, pattern) ? 1 : 0;
    ASSERT_EQ(damaged, 1);
    const Recovery recovery = recover(segments[0], "corrupt");
    EXPECT_EQ(recovery.run.status, 1) << recovery.run.err;
    EXPECT_NE(recovery.run.err.find(
                  ": the chunk holding bytes 2424832 to 2457599 is damaged (its checksum does not "
                  "match its data)."),
              std::string::npos)
        << recovery.run.err;
    expectWholeFiles(recovery.files);
    EXPECT_EQ(recovery.files.size(), 13u) << "the photos and the bitmap before the damage";

    // With --keep-going the damaged chunk is read around like a bad sector: the scan reaches the
    // end, and the exit status says that part of the medium could not be read.
    Recovery around = recover(segments[0], "around", "found.csv", {"--keep-going"});
    EXPECT_EQ(around.run.status, 7) << around.run.err;
    EXPECT_NE(around.run.out.find("32768 bytes (32.0 KB) could not be read and were taken as zeros."),
              std::string::npos)
        << around.run.out;
    EXPECT_NE(around.report.find("\"(unreadable)\",\"\",\"\",2424832,32768,"), std::string::npos)
        << around.report;
    // The damaged chunk held the start of the photo there: that photo is lost,
    // the one after it is found.
    expectWholeFiles(around.files);
    EXPECT_EQ(around.files.size(), 14u);
    EXPECT_TRUE(around.files["KV00013.jpg"] == test::readFile(test::dataPath("jpeg/jfif_plain_200x150.jpg")));
}

TEST_F(DamagedEvidence, MissingSegmentIsNamed) {
    fs::remove(segments[2]);
    const Recovery recovery = recover(segments[0], "missing");
    EXPECT_EQ(recovery.run.status, 1) << recovery.run.err;
    EXPECT_NE(recovery.run.err.find("salvora: the image " + segments[0].string() +
                                    " is incomplete: the segment card.E03 is missing."),
              std::string::npos)
        << recovery.run.err;
    EXPECT_NE(recovery.run.err.find("is not in the image, the segment card.E03 is missing."),
              std::string::npos)
        << recovery.run.err;
    expectWholeFiles(recovery.files);
    EXPECT_EQ(recovery.files.size(), 13u) << "what lies before the gap is recovered";
}

TEST_F(DamagedEvidence, TruncatedImageIsNamed) {
    fs::resize_file(segments.back(), fs::file_size(segments.back()) / 2);
    const std::string last = segments.back().filename().string();
    const Recovery recovery = recover(segments[0], "truncated");
    EXPECT_EQ(recovery.run.status, 1) << recovery.run.err;
    EXPECT_NE(recovery.run.err.find("is incomplete: the segment " + last + " is truncated: it has "),
              std::string::npos)
        << recovery.run.err;
    expectWholeFiles(recovery.files);
}

TEST_F(EvidenceCommands, RawImageNamedE01IsRefusedAndRenamedEvidenceIsRead) {
    const fs::path raw = card();
    const fs::path misnamed = dir.path() / "copy.E01";
    fs::copy_file(raw, misnamed);
    const auto refused = runSalvora({"partitions", "--image", misnamed.string()});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(
        refused.err.find("is named like an Expert Witness (E01) evidence image but does not begin with"),
        std::string::npos)
        << refused.err;

    const auto segments = acquire(raw, "card", "-d sha1");
    const fs::path renamed = dir.path() / "evidence.img";
    fs::rename(segments.at(0), renamed);
    const auto listing = runSalvora({"partitions", "--image", renamed.string()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(
        listing.out.find("Expert Witness image in 1 segment, 512-byte sectors.\n"
                         "Image hash as acquired: MD5 " +
                         test::digestBy("md5sum", raw) + ", SHA-1 " + test::digestBy("sha1sum", raw) + "\n"),
        std::string::npos)
        << listing.out;
    EXPECT_NE(listing.out.find("  1  CARD                      FAT16"), std::string::npos) << listing.out;
}

// ewfacquire -P records the medium's sector size; the medium here is blank.
TEST_F(EvidenceCommands, SectorSizeAndHashesComeFromTheImage) {
    const fs::path raw = dir.path() / "blank.img";
    ASSERT_TRUE(test::makeBlankImage(raw, 16 << 20));
    const auto segments = acquire(raw, "card", "-P 4096");
    const auto listing = runSalvora({"partitions", "--image", segments.at(0).string(), "--json"});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(listing.out.find("\"size\": 16777216,"), std::string::npos) << listing.out;
    EXPECT_NE(listing.out.find("\"sectorSize\": 4096,"), std::string::npos) << listing.out;
    EXPECT_NE(listing.out.find("\"imageFormat\": \"Expert Witness\",\n  \"imageFiles\": [\"" +
                               segments[0].string() + "\"],\n  \"acquiredHashes\": {\"md5\": \"" +
                               test::digestBy("md5sum", raw) + "\"},"),
              std::string::npos)
        << listing.out;
}

TEST_F(EvidenceCommands, SplitImageWithAMissingOrShortPartIsRefusedNamingIt) {
    const auto parts = split(card(), "piece.", "-d -a 3 --numeric-suffixes=1");
    ASSERT_EQ(parts.size(), 16u);
    const auto listing = runSalvora({"partitions", "--image", parts[0].string()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(listing.out.find("Split raw image in 16 parts.\n"), std::string::npos) << listing.out;

    fs::resize_file(parts[6], 1000000);
    const auto shortPart =
        runSalvora({"recover", "--image", parts[0].string(), "--out", (dir.path() / "a").string()});
    EXPECT_EQ(shortPart.status, 3);
    EXPECT_NE(shortPart.err.find(
                  "The part piece.007 of the split image has 1000000 bytes, but piece.001 has 1048576"),
              std::string::npos)
        << shortPart.err;
    fs::remove(parts[6]);
    const auto missing =
        runSalvora({"recover", "--image", parts[0].string(), "--out", (dir.path() / "b").string()});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("The part piece.007 of the split image is missing (piece.016 is there)."),
              std::string::npos)
        << missing.err;
    EXPECT_FALSE(fs::exists(dir.path() / "b")) << "nothing is made before the image opens";
}

}  // namespace
}  // namespace salvora
