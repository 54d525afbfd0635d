// Real disk images made by Debian tools at test time: partition tables by
// sfdisk, FAT volumes by mkfs.vfat, NTFS volumes by mkntfs, files put in by
// mcopy and ntfscp. Tests that need a tool that is missing skip.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace salvora::test {

// The tools of `tools` that are not installed (looked for in PATH and in
// /usr/sbin and /sbin, where mkfs tools live).
std::vector<std::string> missingTools(const std::vector<std::string>& tools);

// Skips the running test when a tool is missing, naming it and the package list.
#define SKIP_WITHOUT_TOOLS(...)                                                    \
    do {                                                                           \
        const auto missing_ = ::salvora::test::missingTools({__VA_ARGS__});        \
        if (!missing_.empty()) {                                                   \
            GTEST_SKIP() << "missing tool " << missing_.front()                    \
                         << " (install the packages listed in scripts/packages/)"; \
        }                                                                          \
    } while (0)

// Runs a shell command with /usr/sbin and /sbin on the PATH; true when it
// exits with 0. Its output is appended to `log` when given.
bool runTool(const std::string& command, std::string* log = nullptr);

// Runs a shell command like runTool and puts what it printed on its standard
// output into `output`; true when it exits with 0.
bool toolOutput(const std::string& command, std::string& output);

// A text quoted for the shell.
std::string shellQuoted(const std::string& text);

// One partition of an MBR table, in 512-byte sectors.
struct TableEntry {
    uint64_t start;
    uint64_t sectors;
    std::string type;  // sfdisk type, for example "c", "7", "5"
    bool bootable = false;
};

// One partition of a GUID partition table, in 512-byte sectors.
struct GptEntry {
    uint64_t start;
    uint64_t sectors;
    std::string type;  // sfdisk type GUID or alias, for example "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"
    std::string name;  // partition name (UTF-8); none when empty
};

// Each step below returns true on success; a failed step leaves the reason
// in the log of runTool.

// A sparse file of `bytes` zero bytes.
bool makeBlankImage(const std::filesystem::path& image, uint64_t bytes);
// Writes an MBR table (primary and logical entries in sfdisk's order) to `image`.
bool writeTable(const std::filesystem::path& image, const std::vector<TableEntry>& entries);
// Writes a GUID partition table (protective MBR, primary and backup headers
// and entry arrays) to `image` with sfdisk.
bool writeGptTable(const std::filesystem::path& image, const std::vector<GptEntry>& entries);
// Makes a FAT volume of `fatBits` (12, 16 or 32) with `label` (none when
// empty) in `sectors` sectors at sector `start` of `image`.
bool makeFat(const std::filesystem::path& image, uint64_t start, uint64_t sectors, int fatBits,
             const std::string& label);
// Makes an NTFS volume with `label` in `sectors` sectors at sector `start` of
// `image` (built in a file of its own, then copied in), with `files` copied
// into its root folder.
bool makeNtfs(const std::filesystem::path& image, uint64_t start, uint64_t sectors, const std::string& label,
              const std::vector<std::filesystem::path>& files = {});
// Copies `file` into the root folder of the FAT volume at sector `start`.
bool copyIntoFat(const std::filesystem::path& image, uint64_t start, const std::filesystem::path& file);

}  // namespace salvora::test
