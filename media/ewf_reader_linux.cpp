// Expert Witness images read through libewf's C interface.
#include <libewf.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

#include "media/error_text.h"
#include "media/ewf_format.h"
#include "media/ewf_reader.h"

namespace salvora {

namespace {

// The first line of a libewf error without the function name in front of
// it; the error is freed.
std::string errorText(libewf_error_t*& error) {
    if (!error)
        return "unknown error";
    char text[2048] = {};
    libewf_error_sprint(error, text, sizeof text);
    libewf_error_free(&error);
    std::string line(text);
    line = line.substr(0, line.find('\n'));
    const size_t colon = line.find(": ");
    if (colon != std::string::npos)
        line = line.substr(colon + 2);
    while (!line.empty() && (line.back() == '.' || line.back() == ' '))
        line.pop_back();
    return line;
}

std::string fileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The segment files of the set `path` belongs to, by libewf's naming rules;
// just `path` when its name does not follow them (a renamed segment).
std::vector<std::string> segmentFiles(const std::string& path) {
    char** names = nullptr;
    int count = 0;
    libewf_error_t* error = nullptr;
    std::vector<std::string> files;
    if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &error) == 1) {
        for (int i = 0; i < count; ++i)
            files.emplace_back(names[i]);
        libewf_glob_free(names, count, nullptr);
    } else if (error) {
        libewf_error_free(&error);
    }
    if (files.empty())
        files.push_back(path);
    return files;
}

std::string hexOf(const uint8_t* bytes, size_t length) {
    std::string hex;
    char pair[3];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        hex += pair;
    }
    return hex;
}

std::vector<AcquiredHash> acquiredHashes(libewf_handle_t* handle) {
    std::vector<AcquiredHash> hashes;
    uint8_t md5[16];
    if (libewf_handle_get_md5_hash(handle, md5, sizeof md5, nullptr) == 1)
        hashes.push_back({"md5", hexOf(md5, sizeof md5)});
    uint8_t sha1[20];
    if (libewf_handle_get_sha1_hash(handle, sha1, sizeof sha1, nullptr) == 1)
        hashes.push_back({"sha1", hexOf(sha1, sizeof sha1)});
    return hashes;
}

// Every read is served from the chunks read last: the scan reads its 512 KiB
// refills again from each file start it saves, and the recognisers look ahead
// in small reads; without the cache libewf would read and check each chunk
// again for every one of them. The cache holds at least 2 MiB.
constexpr uint64_t kCacheBytes = 2 << 20;
constexpr size_t kMinimumCachedChunks = 4;

class EwfReader : public MediaReader {
  public:
    EwfReader(libewf_handle_t* handle, std::string incomplete, uint32_t chunkSize)
        : handle_(handle),
          incomplete_(std::move(incomplete)),
          chunkSize_(chunkSize ? chunkSize : 32768),
          cache_(std::max<size_t>(kMinimumCachedChunks, (kCacheBytes + chunkSize_ - 1) / chunkSize_)) {}
    ~EwfReader() override { close(); }

    void close() override {
        if (!handle_)
            return;
        libewf_handle_close(handle_, nullptr);
        libewf_handle_free(&handle_, nullptr);
        handle_ = nullptr;
    }

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override {
        auto* bytes = static_cast<uint8_t*>(buffer);
        int32_t got = 0;
        if (handle_ && offset < size) {
            const uint64_t wanted = std::min<uint64_t>(count, size - offset);
            got = readCached(bytes, wanted, offset);
        }
        const uint32_t kept = got > 0 ? static_cast<uint32_t>(got) : 0;
        std::memset(bytes + kept, 0, count - kept);
        return got;
    }

  private:
    struct CachedChunk {
        uint64_t index = 0;
        uint64_t length = 0;  // 0: the slot is empty
        uint64_t lastUse = 0;
        std::vector<uint8_t> bytes;
    };

    // Reads [offset, offset + wanted) through libewf. Returns wanted, or 0
    // with the reason in lastErrorText.
    int32_t readThrough(uint8_t* bytes, uint64_t wanted, uint64_t offset) {
        libewf_error_t* error = nullptr;
        const ssize_t got = libewf_handle_read_random(handle_, bytes, static_cast<size_t>(wanted),
                                                      static_cast<off64_t>(offset), &error);
        if (got < 0) {
            const std::string why = incomplete_.empty() ? "" : ", " + incomplete_;
            recordReadFailure(EIO, "Cannot read offset " + std::to_string(offset) +
                                       " of the evidence image " + devicePath + why +
                                       " (libewf: " + errorText(error) + ").");
            return 0;
        }
        noteChecksumErrors();
        if (damaged(offset, wanted)) {
            recordReadFailure(EIO, damageText(offset) + ".");
            return 0;
        }
        if (static_cast<uint64_t>(got) != wanted) {
            recordReadFailure(EIO, "Cannot read offset " + std::to_string(offset) +
                                       " of the evidence image " + devicePath + ": libewf returned " +
                                       std::to_string(got) + " of " + std::to_string(wanted) + " bytes.");
            return 0;
        }
        return static_cast<int32_t>(got);
    }

    int32_t readCached(uint8_t* bytes, uint64_t wanted, uint64_t offset) {
        uint64_t done = 0;
        while (done < wanted) {
            const uint64_t at = offset + done;
            const CachedChunk* chunk = cachedChunk(at / chunkSize_);
            if (!chunk)
                return 0;
            const uint64_t inChunk = at - chunk->index * chunkSize_;
            const uint64_t piece = std::min(wanted - done, chunk->length - inChunk);
            std::memcpy(bytes + done, chunk->bytes.data() + inChunk, piece);
            done += piece;
        }
        return static_cast<int32_t>(done);
    }

    // Chunk `index`, read through libewf unless it was read last; nullptr
    // when it cannot be read.
    const CachedChunk* cachedChunk(uint64_t index) {
        for (CachedChunk& slot : cache_) {
            if (slot.length != 0 && slot.index == index) {
                slot.lastUse = ++uses_;
                return &slot;
            }
        }
        CachedChunk& slot = *std::min_element(
            cache_.begin(), cache_.end(), [](const auto& a, const auto& b) { return a.lastUse < b.lastUse; });
        const uint64_t start = index * chunkSize_;
        const uint64_t length = std::min<uint64_t>(chunkSize_, size - start);
        slot.length = 0;
        slot.bytes.resize(chunkSize_);
        if (readThrough(slot.bytes.data(), length, start) == 0)
            return nullptr;
        slot.index = index;
        slot.length = length;
        slot.lastUse = ++uses_;
        return &slot;
    }

    // Adds the chunks that libewf found damaged since the last read to damage_.
    void noteChecksumErrors() {
        uint32_t errors = 0;
        if (libewf_handle_get_number_of_checksum_errors(handle_, &errors, nullptr) != 1)
            return;
        for (; knownErrors_ < errors; ++knownErrors_) {
            uint64_t firstSector = 0;
            uint64_t sectors = 0;
            if (libewf_handle_get_checksum_error(handle_, knownErrors_, &firstSector, &sectors, nullptr) != 1)
                continue;
            const uint64_t start = firstSector * sectorSize;
            const uint64_t end = start + sectors * sectorSize;
            uint64_t& known = damage_[start];
            known = std::max(known, end);
        }
    }

    // True when [offset, offset + length) touches a damaged chunk. Chunks do
    // not overlap, so only the last one starting before the end can reach in.
    bool damaged(uint64_t offset, uint64_t length) {
        const auto after = damage_.lower_bound(offset + length);
        if (after == damage_.begin())
            return false;
        const auto last = std::prev(after);
        if (last->second <= offset)
            return false;
        lastDamage_ = *last;
        return true;
    }

    std::string damageText(uint64_t offset) const {
        const std::string text =
            "Cannot read offset " + std::to_string(offset) + " of the evidence image " + devicePath + ": ";
        const std::string chunk = "the chunk holding bytes " + std::to_string(lastDamage_.first) + " to " +
                                  std::to_string(lastDamage_.second - 1);
        if (!incomplete_.empty())
            return text + chunk + " is not in the image, " + incomplete_;
        return text + chunk + " is damaged (its checksum does not match its data)";
    }

    libewf_handle_t* handle_;
    std::string incomplete_;
    uint64_t chunkSize_;
    std::vector<CachedChunk> cache_;
    uint64_t uses_ = 0;
    std::map<uint64_t, uint64_t> damage_;  // damaged byte ranges: start -> end
    std::pair<uint64_t, uint64_t> lastDamage_{};
    uint32_t knownErrors_ = 0;
};

bool openHandle(const std::vector<std::string>& files, libewf_handle_t*& handle, std::string& whyNot) {
    libewf_error_t* error = nullptr;
    if (libewf_handle_initialize(&handle, &error) != 1) {
        whyNot = errorText(error);
        return false;
    }
    std::vector<char*> names;
    for (const std::string& file : files)
        names.push_back(const_cast<char*>(file.c_str()));
    if (libewf_handle_open(handle, names.data(), static_cast<int>(names.size()), LIBEWF_OPEN_READ, &error) !=
        1) {
        whyNot = errorText(error);
        libewf_handle_free(&handle, nullptr);
        return false;
    }
    return true;
}

}  // namespace

bool canReadEvidenceImages() {
    return true;
}

std::unique_ptr<MediaReader> openEvidenceImage(const std::string& path, std::string& whyNot,
                                               ImageDescription& description) {
    const std::vector<std::string> files = segmentFiles(path);
    libewf_handle_t* handle = nullptr;
    if (!openHandle(files, handle, whyNot)) {
        whyNot = "Cannot open the evidence image " + path + ": " + whyNot + ".";
        return nullptr;
    }
    size64_t mediaSize = 0;
    uint32_t bytesPerSector = 0;
    libewf_handle_get_media_size(handle, &mediaSize, nullptr);
    libewf_handle_get_bytes_per_sector(handle, &bytesPerSector, nullptr);
    std::string incomplete;
    if (libewf_handle_segment_files_corrupted(handle, nullptr) == 1) {
        incomplete = segmentSetProblem(files);
        if (incomplete.empty())
            incomplete = "a segment of " + fileNameOf(path) + " is missing or truncated";
    }
    size32_t chunkSize = 0;
    libewf_handle_get_chunk_size(handle, &chunkSize, nullptr);
    auto reader = std::make_unique<EwfReader>(handle, incomplete, chunkSize);
    if (mediaSize == 0) {
        whyNot =
            "The evidence image " + path + " holds a medium of 0 bytes: there is nothing to recover from it.";
        return nullptr;
    }
    reader->devicePath = path;
    reader->size = mediaSize;
    reader->sectorSize = bytesPerSector ? bytesPerSector : 512;
    reader->openFlags = kDefaultOpenFlags;
    setFlatGeometry(*reader);
    description.format = ImageFormat::kExpertWitness;
    description.files = files;
    description.acquiredHashes = acquiredHashes(handle);
    description.incomplete = incomplete;
    return reader;
}

}  // namespace salvora
