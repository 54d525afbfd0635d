#include "support/test_files.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

namespace salvora::test {

namespace fs = std::filesystem;

std::string dataPath(const std::string& relative) {
    return std::string(SALVORA_TEST_DATA_DIR) + "/" + relative;
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
    static std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("salvora-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::folder() const {
    // UTF-8, as the engine takes paths (a user name outside ASCII on Windows).
    const std::u8string text = path_.u8string();
    return std::string(text.begin(), text.end()) + static_cast<char>(fs::path::preferred_separator);
}

std::vector<std::string> TempDir::fileNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ImageBuilder& ImageBuilder::noise(size_t from, size_t to, uint32_t seed) {
    std::mt19937 random(seed);
    to = std::min(to, bytes_.size());
    for (size_t i = from; i < to; ++i)
        bytes_[i] = static_cast<uint8_t>(random());
    // Keep block starts free of anything that could look like a header: a
    // zero byte starts no signature of any family but MPEG (00 00 01), which
    // the second byte rules out.
    for (size_t block = (from + 511) / 512 * 512; block + 1 < to; block += 512) {
        bytes_[block] = 0x5A;
        bytes_[block + 1] = 0x5A;
    }
    return *this;
}

ImageBuilder& ImageBuilder::place(size_t offset, const std::vector<uint8_t>& data) {
    if (offset + data.size() > bytes_.size())
        throw std::runtime_error("placed data does not fit the image");
    std::memcpy(bytes_.data() + offset, data.data(), data.size());
    return *this;
}

}  // namespace salvora::test
