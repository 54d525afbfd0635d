// Helpers for tests: test data, temporary folders, whole-file reads and
// disk images assembled in memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace salvora::test {

// Absolute path of a file under tests/data.
std::string dataPath(const std::string& relative);

std::vector<uint8_t> readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A fresh, empty folder removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as text ending with a separator, as the engine wants it.
    std::string folder() const;
    // Names of the regular files in the folder, sorted.
    std::vector<std::string> fileNames() const;

  private:
    std::filesystem::path path_;
};

// A disk image under construction: a byte vector of a fixed size, filled with
// zeros or pseudo-random bytes, with files placed at chosen offsets.
class ImageBuilder {
  public:
    explicit ImageBuilder(size_t size) : bytes_(size, 0) {}
    // Fills [from, to) with deterministic pseudo-random bytes that carry no signature at block starts.
    ImageBuilder& noise(size_t from, size_t to, uint32_t seed);
    ImageBuilder& place(size_t offset, const std::vector<uint8_t>& data);
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace salvora::test
