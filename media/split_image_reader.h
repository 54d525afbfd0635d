// A raw image cut into numbered parts (as split, dd or an imaging tool write
// them), read in order as one medium.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/image_names.h"
#include "media/image_reader.h"

namespace salvora {

// One file of a split image and the bytes of the medium it holds.
struct ImagePart {
    std::string path;
    uint64_t offset = 0;  // medium offset of the part's first byte
    uint64_t size = 0;
};

class SplitImageReader : public MediaReader {
  public:
    // Reads the medium made of `parts`, which must be in order and adjacent.
    // Each part is opened read-only when first read; a few stay open.
    explicit SplitImageReader(std::vector<ImagePart> parts);

    void close() override;
    const std::vector<ImagePart>& parts() const { return parts_; }

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override;

  private:
    MediaReader* partReader(size_t index);

    std::vector<ImagePart> parts_;
    std::vector<std::unique_ptr<MediaReader>> open_;  // by part index; null when closed
    std::vector<size_t> openOrder_;                   // most recently used last
    bool closed_ = false;
};

// Opens the parts of `series`, starting with its first part (number 0 or 1),
// and every following one that exists. Every part but the last must be as
// long as the first, and no part may be missing between the first and the
// last one found beside it. On failure returns nothing with a sentence
// naming the part in `whyNot`. `files` receives the part paths in order.
std::unique_ptr<MediaReader> openSplitImage(const SplitSeries& series, std::string& whyNot,
                                            std::vector<std::string>& files);

// The part number a series starts with: 0 when a part numbered 0 exists
// (".000", ".aa"), else 1 for numbered parts. Nothing when neither exists.
std::optional<uint64_t> firstPartNumber(const SplitSeries& series);

}  // namespace salvora
