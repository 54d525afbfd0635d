#include "media/split_image_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "media/error_text.h"

namespace salvora {

namespace {

// Parts kept open at once: a scan moves forward through the parts, and a
// look-ahead may reach into the next one.
constexpr size_t kOpenParts = 4;

std::string fileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Paths are UTF-8 text on every system.
std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool isFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(pathOf(path), error);
}

// The highest part number of `series` present in its folder, or nothing.
std::optional<uint64_t> lastPartPresent(const SplitSeries& series) {
    std::filesystem::path folder = pathOf(series.stem).parent_path();
    if (folder.empty())
        folder = ".";
    SplitSeries byName = series;
    byName.stem = fileNameOf(series.stem);
    std::optional<uint64_t> last;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::optional<uint64_t> number = splitPartNumber(byName, utf8Of(entry.path().filename()));
        if (number && (!last || *number > *last))
            last = number;
    }
    return last;
}

}  // namespace

SplitImageReader::SplitImageReader(std::vector<ImagePart> parts) : parts_(std::move(parts)) {
    open_.resize(parts_.size());
    size = parts_.empty() ? 0 : parts_.back().offset + parts_.back().size;
    devicePath = parts_.empty() ? std::string() : parts_.front().path;
    sectorSize = 512;
    openFlags = kDefaultOpenFlags;
    setFlatGeometry(*this);
}

void SplitImageReader::close() {
    for (auto& reader : open_)
        reader.reset();
    openOrder_.clear();
    closed_ = true;
}

MediaReader* SplitImageReader::partReader(size_t index) {
    if (!open_[index]) {
        std::string whyNot;
        open_[index] = openRawImage(parts_[index].path, whyNot);
        if (!open_[index]) {
            recordReadFailure(ENOENT, whyNot);
            return nullptr;
        }
        if (openOrder_.size() >= kOpenParts) {
            open_[openOrder_.front()].reset();
            openOrder_.erase(openOrder_.begin());
        }
    } else {
        openOrder_.erase(std::find(openOrder_.begin(), openOrder_.end(), index));
    }
    openOrder_.push_back(index);
    return open_[index].get();
}

int32_t SplitImageReader::deviceRead(void* buffer, uint32_t count, uint64_t offset) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::memset(bytes, 0, count);
    if (closed_ || offset >= size)
        return 0;
    const uint64_t wanted = std::min<uint64_t>(count, size - offset);
    // The part holding `offset`: the last one starting at or before it.
    auto part = std::upper_bound(parts_.begin(), parts_.end(), offset,
                                 [](uint64_t at, const ImagePart& p) { return at < p.offset; });
    size_t index = static_cast<size_t>(part - parts_.begin()) - 1;
    uint64_t done = 0;
    while (done < wanted) {
        const ImagePart& piece = parts_[index];
        const uint64_t inPart = offset + done - piece.offset;
        const auto length = static_cast<uint32_t>(std::min<uint64_t>(wanted - done, piece.size - inPart));
        MediaReader* reader = partReader(index);
        if (!reader)
            return 0;
        const int32_t got = reader->readAt(bytes + done, length, inPart);
        if (got != static_cast<int32_t>(length)) {
            std::memset(bytes, 0, count);
            if (got > 0 || lastErrorText().empty()) {
                recordReadFailure(EIO, "The part " + fileNameOf(piece.path) +
                                           " of the split image is shorter than " +
                                           std::to_string(piece.size) + " bytes now.");
            }
            return 0;
        }
        done += length;
        ++index;
    }
    return static_cast<int32_t>(done);
}

std::optional<uint64_t> firstPartNumber(const SplitSeries& series) {
    if (isFile(splitPartName(series, 0)))
        return 0;
    if (series.numeric && isFile(splitPartName(series, 1)))
        return 1;
    return std::nullopt;
}

std::unique_ptr<MediaReader> openSplitImage(const SplitSeries& series, std::string& whyNot,
                                            std::vector<std::string>& files) {
    const std::optional<uint64_t> first = firstPartNumber(series);
    if (!first) {
        whyNot = "The first part " + fileNameOf(splitPartName(series, series.numeric ? 1 : 0)) +
                 " of the split image is missing.";
        return nullptr;
    }
    std::vector<ImagePart> parts;
    uint64_t number = *first;
    for (std::string name = splitPartName(series, number); !name.empty() && isFile(name);
         name = splitPartName(series, ++number)) {
        std::error_code error;
        const uint64_t length = std::filesystem::file_size(pathOf(name), error);
        const uint64_t offset = parts.empty() ? 0 : parts.back().offset + parts.back().size;
        parts.push_back({name, offset, error ? 0 : length});
    }
    const std::optional<uint64_t> last = lastPartPresent(series);
    if (last && *last >= number) {
        whyNot = "The part " + fileNameOf(splitPartName(series, number)) +
                 " of the split image is missing (" + fileNameOf(splitPartName(series, *last)) +
                 " is there).";
        return nullptr;
    }
    const uint64_t partSize = parts.front().size;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool lastPart = i + 1 == parts.size();
        if (parts[i].size == partSize || (lastPart && parts[i].size > 0 && parts[i].size < partSize))
            continue;
        whyNot = "The part " + fileNameOf(parts[i].path) + " of the split image has " +
                 std::to_string(parts[i].size) + " bytes, but " + fileNameOf(parts.front().path) + " has " +
                 std::to_string(partSize) +
                 (lastPart ? ": the last part cannot be longer than the others."
                           : ": every part but the last must be as long as the first.");
        return nullptr;
    }
    if (partSize == 0) {
        whyNot = "The image " + parts.front().path + " is empty: there is nothing to recover from it.";
        return nullptr;
    }
    for (const ImagePart& part : parts)
        files.push_back(part.path);
    return std::make_unique<SplitImageReader>(std::move(parts));
}

}  // namespace salvora
