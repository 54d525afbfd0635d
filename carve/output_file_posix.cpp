#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "carve/output_file.h"

namespace salvora {

std::FILE* openOutputFile(const std::string& path) {
    return std::fopen(path.c_str(), "w+b");
}

bool seekOutput(std::FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return false;
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool seekOutputBy(std::FILE* file, int64_t delta) {
    return ::fseeko(file, static_cast<off_t>(delta), SEEK_CUR) == 0;
}

int64_t tellOutput(std::FILE* file) {
    return static_cast<int64_t>(::ftello(file));
}

bool cutFile(const std::string& path, uint64_t length) {
    if (length > static_cast<uint64_t>(INT64_MAX))
        return false;
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file)
        return false;
    const bool ok = ::ftruncate(::fileno(file), static_cast<off_t>(length)) == 0;
    return std::fclose(file) == 0 && ok;
}

bool renameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

int64_t fileLength(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return -1;
    return static_cast<int64_t>(info.st_size);
}

void removeFile(const std::string& path) {
    std::remove(path.c_str());
}

}  // namespace salvora
