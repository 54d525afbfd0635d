// Evidence images made at test time: Expert Witness images acquired with
// ewfacquire (package ewf-tools) from a raw image, damaged on purpose, and
// the digests md5sum and sha1sum give, as independent judges.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace salvora::test {

// Acquires `raw` into the segment set `target`.E01, .E02, ... with
// ewfacquire, unattended; `options` are extra ewfacquire options (for
// example "-S 1048576" for 1 MiB segments, "-c deflate:best", "-P 4096",
// "-d sha1"). Uncompressed unless `options` says otherwise. Returns the
// segment files in order; empty on failure (the tool's output is in `log`).
std::vector<std::filesystem::path> acquireEvidence(const std::filesystem::path& raw,
                                                   const std::filesystem::path& target,
                                                   const std::string& options = "",
                                                   std::string* log = nullptr);

// The first word a tool prints for `path` (the digest of md5sum or
// sha1sum); empty when the tool fails.
std::string digestBy(const std::string& tool, const std::filesystem::path& path);

// Flips one byte of `file` inside the first copy of `pattern` there (an
// uncompressed segment stores the medium's bytes as they are). Returns the
// file offset changed, nothing when the pattern is not in the file.
std::optional<uint64_t> damageCopyOf(const std::filesystem::path& file, const std::vector<uint8_t>& pattern);

// Identity of a file's content (by sha256sum) and modification time, to show
// that a run left it alone.
struct FileState {
    std::string sha256;
    int64_t mtimeNanoseconds = 0;
    uint64_t size = 0;
    bool operator==(const FileState&) const = default;
};
FileState stateOf(const std::filesystem::path& file);

}  // namespace salvora::test
