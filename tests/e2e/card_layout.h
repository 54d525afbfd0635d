// Lays real files out on an in-memory card image the way a camera or a
// computer fills a freshly formatted card (each file on a cluster boundary),
// and finds what a recovery saved for each of them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/recovery_harness.h"

namespace salvora::test {

struct PlacedFile {
    std::string name;  // test data path, or a name given by the test
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
};

class CardLayout {
  public:
    explicit CardLayout(size_t imageSize, size_t cluster = 4096) : image_(imageSize), cluster_(cluster) {}

    // Places the test data file at the next free cluster.
    const PlacedFile& add(const std::string& dataFile) {
        return addBytes(dataFile, readFile(dataPath(dataFile)));
    }
    const PlacedFile& addBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        image_.place(next_, bytes);
        files_.push_back({name, next_, bytes});
        next_ += (bytes.size() + cluster_ - 1) / cluster_ * cluster_;
        return files_.back();
    }
    // Leaves `clusters` free clusters (zeros, or noise when asked) before the next file.
    void skip(size_t clusters) { next_ += clusters * cluster_; }
    void noise(size_t clusters, uint32_t seed) {
        image_.noise(next_, next_ + clusters * cluster_, seed);
        next_ += clusters * cluster_;
    }

    uint64_t nextOffset() const { return next_; }
    const std::vector<PlacedFile>& files() const { return files_; }
    const std::vector<uint8_t>& bytes() const { return image_.bytes(); }
    std::vector<uint8_t>& bytes() { return image_.bytes(); }

  private:
    ImageBuilder image_;
    size_t cluster_;
    uint64_t next_ = 3 * 4096;  // leave room for a boot sector and tables
    std::vector<PlacedFile> files_;
};

// The file the recovery saved starting at `offset`, or null.
inline const SavedFile* savedAt(const Recovery& recovery, uint64_t offset) {
    for (const SavedFile& file : recovery.saved) {
        if (file.startOffset == offset)
            return &file;
    }
    return nullptr;
}

// Content of a saved file as it lies in the destination folder afterwards.
inline std::vector<uint8_t> contentOf(const Recovery& recovery, const SavedFile& file) {
    const std::string name = std::filesystem::path(file.path).filename().string();
    const auto found = recovery.files.find(name);
    return found == recovery.files.end() ? std::vector<uint8_t>{} : found->second;
}

inline std::vector<uint8_t> prefix(const std::vector<uint8_t>& bytes, size_t length) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(length, bytes.size()))};
}

// Expects the file placed at `placed` back byte for byte under `extension`.
inline void expectRecovered(const Recovery& recovery, const PlacedFile& placed,
                            const std::string& extension) {
    const SavedFile* saved = savedAt(recovery, placed.offset);
    ASSERT_NE(saved, nullptr) << placed.name << " was not recovered";
    EXPECT_EQ(saved->extension, extension) << placed.name;
    EXPECT_EQ(saved->size, placed.bytes.size()) << placed.name;
    EXPECT_EQ(contentOf(recovery, *saved), placed.bytes) << placed.name;
}

}  // namespace salvora::test
