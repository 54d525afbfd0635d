// The parts of the output folder that are the same on every platform: the
// names of recovered files and their numbering.
#include "carve/output_folder.h"

#include <cerrno>
#include <cstdio>
#include <utility>

namespace salvora {

namespace {
constexpr size_t kMinimumDigits = 5;
}  // namespace

FolderFile::FolderFile(FolderFile&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}

FolderFile& FolderFile::operator=(FolderFile&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kNoHandle);
    }
    return *this;
}

FolderFile::~FolderFile() {
    close();
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, kNoHandle)),
      nextNumber_(other.nextNumber_),
      spare_(std::move(other.spare_)) {}

std::string outputName(uint32_t number, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "%c%c%05u", 'K', 'V', number);
    std::string text = name;
    if (extension && *extension) {
        text += '.';
        text += extension;
    }
    return text;
}

bool outputNumber(const std::string& name, uint32_t& number) {
    if (name.size() < 2 + kMinimumDigits || name[0] != 'K' || name[1] != 'V')
        return false;
    uint64_t value = 0;
    size_t at = 2;
    for (; at < name.size() && name[at] >= '0' && name[at] <= '9'; ++at) {
        value = value * 10 + static_cast<uint64_t>(name[at] - '0');
        if (value > UINT32_MAX)
            return false;
    }
    if (at - 2 < kMinimumDigits || (at < name.size() && name[at] != '.' && name[at] != '_'))
        return false;
    number = static_cast<uint32_t>(value);
    return true;
}

uint32_t numberAfter(const std::vector<std::string>& names) {
    bool any = false;
    uint32_t highest = 0;
    for (const std::string& name : names) {
        uint32_t number = 0;
        if (outputNumber(name, number) && (!any || number > highest)) {
            highest = number;
            any = true;
        }
    }
    if (!any)
        return 0;
    return highest == UINT32_MAX ? highest : highest + 1;
}

FolderFile OutputFolder::createNumbered(const char* extension, std::string& name, uint32_t& number,
                                        int& error) {
    for (uint64_t candidate = nextNumber_; candidate <= UINT32_MAX; ++candidate) {
        name = outputName(static_cast<uint32_t>(candidate), extension);
        if (path_.size() + name.size() > kMaxOutputPath) {
            error = ENAMETOOLONG;
            return FolderFile();
        }
        FolderFile file = create(name, error);
        if (file.isOpen()) {
            number = static_cast<uint32_t>(candidate);
            return file;
        }
        if (error != EEXIST)
            return file;
    }
    error = EEXIST;
    return FolderFile();
}

PageAlignedBytes OutputFolder::takeBuffer() {
    PageAlignedBytes buffer = std::move(spare_);
    spare_ = PageAlignedBytes();
    buffer.clear();
    return buffer;
}

void OutputFolder::giveBack(PageAlignedBytes&& buffer) {
    if (buffer.capacity() > spare_.capacity())
        spare_ = std::move(buffer);
}

void OutputFolder::numberKept(uint32_t number) {
    if (number != UINT32_MAX)
        nextNumber_ = number + 1;
}

}  // namespace salvora
