#include "support/evidence_images.h"

#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "support/disk_images.h"
#include "support/test_files.h"

namespace salvora::test {

namespace fs = std::filesystem;

std::vector<fs::path> acquireEvidence(const fs::path& raw, const fs::path& target, const std::string& options,
                                      std::string* log) {
    const bool compressed = options.find("-c ") != std::string::npos;
    const std::string command = "ewfacquire -u -q " + std::string(compressed ? "" : "-c none ") + options +
                                " -t " + shellQuoted(target.string()) + " " + shellQuoted(raw.string());
    if (!runTool(command, log))
        return {};
    std::vector<fs::path> segments;
    for (const auto& entry : fs::directory_iterator(target.parent_path())) {
        const std::string name = entry.path().filename().string();
        const std::string stem = target.filename().string() + ".E";
        if (name.size() == stem.size() + 2 && name.rfind(stem, 0) == 0)
            segments.push_back(entry.path());
    }
    std::sort(segments.begin(), segments.end());
    return segments;
}

std::string digestBy(const std::string& tool, const fs::path& path) {
    std::string log;
    if (!runTool(tool + " " + shellQuoted(path.string()), &log))
        return {};
    std::istringstream lines(log);
    std::string commandLine, digest;
    std::getline(lines, commandLine);
    lines >> digest;
    return digest;
}

std::optional<uint64_t> damageCopyOf(const fs::path& file, const std::vector<uint8_t>& pattern) {
    std::vector<uint8_t> bytes = readFile(file);
    const auto found = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
    if (found == bytes.end())
        return std::nullopt;
    const auto at = static_cast<uint64_t>(found - bytes.begin()) + pattern.size() / 2;
    bytes[at] ^= 0xff;
    writeFile(file, bytes);
    return at;
}

FileState stateOf(const fs::path& file) {
    struct stat info {};
    FileState state;
    if (::stat(file.c_str(), &info) != 0)
        return state;
    state.sha256 = digestBy("sha256sum", file);
    state.mtimeNanoseconds = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    state.size = static_cast<uint64_t>(info.st_size);
    return state;
}

}  // namespace salvora::test
