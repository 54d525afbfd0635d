// The validator's verdicts judged by djpeg (libjpeg-turbo) on the same
// files: whole files are clean for both, and every damaged copy djpeg
// refuses is flagged by the validator at or after the damage.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "formats/jpeg_entropy.h"
#include "support/disk_images.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// True when djpeg decodes `file` with neither an error nor a warning.
bool djpegClean(const fs::path& file) {
    const fs::path errors = file.string() + ".err";
    const std::string command = "djpeg -outfile /dev/null " + test::shellQuoted(file.string()) + " 2>" +
                                test::shellQuoted(errors.string());
    const int status = std::system(command.c_str());
    const bool quiet = fs::file_size(errors) == 0;
    fs::remove(errors);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && quiet;
}

struct Range {
    size_t begin = 0;
    size_t end = 0;
};

// The entropy-coded data of each scan: from the end of its SOS segment to
// the next marker (0xFF followed by neither 0x00 nor a restart code).
std::vector<Range> scanData(const std::vector<uint8_t>& bytes) {
    std::vector<Range> scans;
    size_t at = 2;
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] != 0xD9) {
        const size_t next = at + 2 + (bytes[at + 2] << 8 | bytes[at + 3]);
        if (bytes[at + 1] != 0xDA) {
            at = next;
            continue;
        }
        size_t end = next;
        while (end + 1 < bytes.size() && !(bytes[end] == 0xFF && bytes[end + 1] != 0x00 &&
                                           (bytes[end + 1] < 0xD0 || bytes[end + 1] > 0xD7)))
            ++end;
        scans.push_back({next, end});
        at = end;
    }
    return scans;
}

TEST(JpegEntropyAgainstDjpeg, WholeFilesAreCleanForBoth) {
    SKIP_WITHOUT_TOOLS("djpeg");
    int files = 0;
    for (const char* folder : {"jpeg", "jpeg/scans", "samples"}) {
        for (const auto& entry : fs::directory_iterator(test::dataPath(folder))) {
            if (entry.path().extension() != ".jpg")
                continue;
            ++files;
            const auto bytes = test::readFile(entry.path());
            EXPECT_TRUE(djpegClean(entry.path())) << entry.path();
            EXPECT_EQ(validateJpegData(bytes.data(), bytes.size()).verdict, JpegDataVerdict::kValid)
                << entry.path();
        }
    }
    EXPECT_GE(files, 35);
}

// 512 bytes inside one scan's data overwritten by random bytes, by another
// file's scan data, or by zeros (a free cluster).
TEST(JpegEntropyAgainstDjpeg, DamageDjpegRefusesIsFlaggedAtOrAfterItsStart) {
    SKIP_WITHOUT_TOOLS("djpeg");
    test::TempDir dir;
    const fs::path copyPath = dir.path() / "damaged.jpg";
    const auto other = test::readFile(test::dataPath("jpeg/camera_320x240.jpg"));
    const Range otherScan = scanData(other).front();
    std::mt19937 random(5);
    int refusedByDjpeg = 0, flagged = 0, copies = 0;
    for (const char* name : {"jpeg/scans/baseline_420.jpg", "jpeg/scans/progressive_444.jpg",
                             "jpeg/scans/restart_rows.jpg", "jpeg/camera_640x480.jpg"}) {
        const auto original = test::readFile(test::dataPath(name));
        std::vector<Range> scans = scanData(original);
        std::erase_if(scans, [](const Range& scan) { return scan.end - scan.begin < 1024; });
        ASSERT_FALSE(scans.empty()) << name;
        for (int kind = 0; kind < 3; ++kind) {
            for (int copy = 0; copy < 6; ++copy) {
                const Range& scan = scans[random() % scans.size()];
                const size_t at = scan.begin + random() % (scan.end - scan.begin - 512);
                const size_t from = otherScan.begin + random() % (otherScan.end - otherScan.begin - 512);
                auto damaged = original;
                for (size_t i = 0; i < 512; ++i)
                    damaged[at + i] = kind == 0   ? static_cast<uint8_t>(random())
                                      : kind == 1 ? other[from + i]
                                                  : 0;
                test::writeFile(copyPath, damaged);
                const bool refused = !djpegClean(copyPath);
                const JpegDataCheck check = validateJpegData(damaged.data(), damaged.size());
                const bool bad = check.verdict == JpegDataVerdict::kBadData;
                ++copies;
                refusedByDjpeg += refused;
                flagged += bad;
                if (refused) {
                    EXPECT_TRUE(bad) << name << " damaged at " << at << " (kind " << kind << ")";
                }
                if (bad) {
                    EXPECT_GE(check.offset + 1, at)
                        << name << " damaged at " << at << " (kind " << kind << ")";
                }
            }
        }
    }
    // Random bytes are always refused; another scan's data and zeros may
    // pass djpeg unnoticed (a run of zeros decodes as small coefficients).
    EXPECT_GE(refusedByDjpeg, copies * 9 / 10);
    EXPECT_GE(flagged, refusedByDjpeg);
}

}  // namespace
}  // namespace salvora
