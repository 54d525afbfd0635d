#include "support/disk_images.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace salvora::test {

namespace fs = std::filesystem;

namespace {

constexpr const char* kToolPath = "PATH=/usr/sbin:/sbin:/usr/bin:/bin:$PATH ";

bool executable(const fs::path& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> missingTools(const std::vector<std::string>& tools) {
    std::vector<std::string> folders{"/usr/sbin", "/sbin"};
    const char* path = std::getenv("PATH");
    std::istringstream entries(path ? path : "");
    for (std::string folder; std::getline(entries, folder, ':');)
        folders.push_back(folder);
    std::vector<std::string> missing;
    for (const std::string& tool : tools) {
        bool found = false;
        for (const std::string& folder : folders)
            found = found || executable(fs::path(folder) / tool);
        if (!found)
            missing.push_back(tool);
    }
    return missing;
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool runTool(const std::string& command, std::string* log) {
    const fs::path output =
        fs::temp_directory_path() / ("salvora-tool-" + std::to_string(::getpid()) + ".log");
    const std::string line = kToolPath + command + " >" + output.string() + " 2>&1";
    const int status = std::system(line.c_str());
    if (log) {
        std::ifstream in(output);
        *log += command + "\n" + std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::error_code ignored;
    fs::remove(output, ignored);
    return status == 0;
}

bool toolOutput(const std::string& command, std::string& output) {
    const fs::path file = fs::temp_directory_path() / ("salvora-tool-" + std::to_string(::getpid()) + ".out");
    const std::string line = kToolPath + command + " >" + shellQuoted(file.string()) + " 2>/dev/null";
    const bool ok = std::system(line.c_str()) == 0;
    std::ifstream in(file);
    output.assign(std::istreambuf_iterator<char>(in), {});
    std::error_code ignored;
    fs::remove(file, ignored);
    return ok;
}

bool makeBlankImage(const fs::path& image, uint64_t bytes) {
    return runTool("truncate -s " + std::to_string(bytes) + " " + shellQuoted(image.string()));
}

bool writeTable(const fs::path& image, const std::vector<TableEntry>& entries) {
    const fs::path script = image.string() + ".sfdisk";
    {
        std::ofstream out(script);
        out << "label: dos\nunit: sectors\n";
        for (const TableEntry& entry : entries) {
            out << "start=" << entry.start << ", size=" << entry.sectors << ", type=" << entry.type
                << (entry.bootable ? ", bootable" : "") << "\n";
        }
    }
    const bool ok =
        runTool("sfdisk -q " + shellQuoted(image.string()) + " < " + shellQuoted(script.string()));
    fs::remove(script);
    return ok;
}

bool writeGptTable(const fs::path& image, const std::vector<GptEntry>& entries) {
    const fs::path script = image.string() + ".sfdisk";
    {
        std::ofstream out(script);
        out << "label: gpt\nunit: sectors\n";
        for (const GptEntry& entry : entries) {
            out << "start=" << entry.start << ", size=" << entry.sectors << ", type=" << entry.type;
            if (!entry.name.empty())
                out << ", name=\"" << entry.name << "\"";
            out << "\n";
        }
    }
    const bool ok =
        runTool("sfdisk -q " + shellQuoted(image.string()) + " < " + shellQuoted(script.string()));
    fs::remove(script);
    return ok;
}

bool makeFat(const fs::path& image, uint64_t start, uint64_t sectors, int fatBits, const std::string& label) {
    // One sector per cluster keeps FAT32 volumes small; mkfs.vfat counts 1 KiB blocks.
    std::string command = "mkfs.vfat -F " + std::to_string(fatBits) + (fatBits == 32 ? " -s 1" : "") +
                          " --offset=" + std::to_string(start) + " -h " + std::to_string(start);
    if (!label.empty())
        command += " -n " + shellQuoted(label);
    return runTool(command + " " + shellQuoted(image.string()) + " " + std::to_string(sectors / 2));
}

bool makeNtfs(const fs::path& image, uint64_t start, uint64_t sectors, const std::string& label,
              const std::vector<fs::path>& files) {
    const fs::path volume = image.string() + ".ntfs";
    const std::string quotedVolume = shellQuoted(volume.string());
    bool ok = makeBlankImage(volume, sectors * 512) &&
              runTool("mkntfs -q -F -Q -s 512 -p " + std::to_string(start) + " -L " + shellQuoted(label) +
                      " " + quotedVolume);
    for (const fs::path& file : files) {
        ok = ok && runTool("ntfscp -f " + quotedVolume + " " + shellQuoted(file.string()) + " " +
                           shellQuoted(file.filename().string()));
    }
    ok = ok && runTool("dd if=" + quotedVolume + " of=" + shellQuoted(image.string()) +
                       " bs=512 seek=" + std::to_string(start) + " conv=notrunc,sparse status=none");
    std::error_code ignored;
    fs::remove(volume, ignored);
    return ok;
}

bool copyIntoFat(const fs::path& image, uint64_t start, const fs::path& file) {
    return runTool("MTOOLS_SKIP_CHECK=1 mcopy -i " +
                   shellQuoted(image.string() + "@@" + std::to_string(start * 512)) + " " +
                   shellQuoted(file.string()) + " ::/" + shellQuoted(file.filename().string()));
}

}  // namespace salvora::test
