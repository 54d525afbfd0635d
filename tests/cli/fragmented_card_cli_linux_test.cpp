// salvora recover on a FAT32 card with fragmented and deleted files, made by
// mkfs.vfat and mtools: --names, and the byte runs in the CSV and DFXML reports.
#include <gtest/gtest.h>

#include <fstream>

#include "run_salvora.h"
#include "support/fragmented_card.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::CardFile;

std::string text(const fs::path& path) {
    const auto bytes = test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// The runs as the CSV report writes them ("offset+length offset+length").
std::string csvRuns(const CardFile& file) {
    std::string runs;
    for (const test::TruthRun& run : file.runs)
        runs += (runs.empty() ? "" : " ") + std::to_string(run.offset) + "+" + std::to_string(run.length);
    return runs;
}

// The saved file named "KVnnnnn_" + `name` in `folder`; empty when none.
fs::path namedFile(const fs::path& folder, const std::string& name) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string found = entry.path().filename().string();
        if (found.size() == 8 + name.size() && found.rfind("KV", 0) == 0 && found.substr(7) == "_" + name)
            return entry.path();
    }
    return {};
}

class FragmentedCardCli : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!test::missingTools({"mkfs.vfat", "mcopy", "mshowfat", "mdel", "mmd", "sha256sum"}).empty())
            return;
        dir_ = new test::TempDir;
        test::CardSources sources;
        sources.jpeg = test::dataPath("jpeg/camera_640x480.jpg");
        sources.mp3 = test::dataPath("audio/tone_id3v2.mp3");
        sources.wav = test::dataPath("audio/tone.wav");
        sources.deletedAroundLive = test::dataPath("jpeg/camera_320x240.jpg");
        sources.deletedTwoFragmentJpeg = test::dataPath("jpeg/scans/baseline_444.jpg");
        sources.gap = test::dataPath("pdf/libreoffice_note.pdf");
        sources.overwrittenEntry = test::dataPath("jpeg/scans/progressive_444.jpg");
        card_ = new test::FragmentedCard;
        built_ = test::buildFragmentedCard(dir_->path() / "card.img", sources, *card_, log_);
    }
    static void TearDownTestSuite() {
        delete card_;
        delete dir_;
        card_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override {
        SKIP_WITHOUT_TOOLS("mkfs.vfat", "mcopy", "mshowfat", "mdel", "mmd", "sha256sum");
        ASSERT_TRUE(built_) << log_;
    }

    static inline test::TempDir* dir_ = nullptr;
    static inline test::FragmentedCard* card_ = nullptr;
    static inline bool built_ = false;
    static inline std::string log_;
};

TEST_F(FragmentedCardCli, NamesAndRunsOfFragmentedFilesInTheCsvReport) {
    test::TempDir work;
    const fs::path out = work.path() / "out";
    const fs::path report = work.path() / "report.csv";
    const test::Run run = test::runSalvora({"recover", "--image", card_->image.string(), "--out",
                                            out.string(), "--names", "--report", report.string(), "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string rows = text(report);
    for (const char* role : {test::kRoleLiveJpeg, test::kRoleLiveMp3, test::kRoleLiveWav,
                             test::kRoleDeletedAroundLive, test::kRoleDeletedTwoFragmentJpeg}) {
        const CardFile& file = card_->file(role);
        const fs::path saved = namedFile(out, file.name);
        ASSERT_FALSE(saved.empty()) << role;
        EXPECT_EQ(test::readFile(saved), file.bytes) << role;
        // ...,sha256,source_name,joined,partial,runs
        const std::string tail =
            "," + file.sha256 + ",\"" + file.name + "\",yes,no,\"" + csvRuns(file) + "\"\n";
        EXPECT_NE(rows.find("\"" + saved.filename().string() + "\","), std::string::npos) << role;
        EXPECT_NE(rows.find(tail), std::string::npos) << role << ": " << tail << "\n" << rows;
    }
}

TEST_F(FragmentedCardCli, DefaultNamesStayNumbersAndDfxmlHoldsEveryRun) {
    test::TempDir work;
    const fs::path out = work.path() / "out";
    const fs::path report = work.path() / "report.xml";
    const test::Run run = test::runSalvora({"recover", "--image", card_->image.string(), "--out",
                                            out.string(), "--report", report.string(), "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const auto& entry : fs::directory_iterator(out)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find('_'), std::string::npos) << name;
    }
    const std::string xml = text(report);
    const CardFile& live = card_->file(test::kRoleLiveJpeg);
    ASSERT_EQ(live.runs.size(), 2u);
    const std::string runs = "<byte_run file_offset='0' img_offset='" + std::to_string(live.runs[0].offset) +
                             "' len='" + std::to_string(live.runs[0].length) + "'/>\n" +
                             "      <byte_run file_offset='" + std::to_string(live.runs[0].length) +
                             "' img_offset='" + std::to_string(live.runs[1].offset) + "' len='" +
                             std::to_string(live.runs[1].length) + "'/>";
    EXPECT_NE(xml.find(runs), std::string::npos) << xml;
    EXPECT_NE(xml.find("<salvora:source_name>Holiday photo 2024.jpg</salvora:source_name>"),
              std::string::npos);
    EXPECT_NE(xml.find("<salvora:joined>true</salvora:joined>"), std::string::npos);
}

}  // namespace
}  // namespace salvora
