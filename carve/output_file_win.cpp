#include <windows.h>
#include <io.h>

#include <cstdio>

#include "carve/output_file.h"
#include "media/text_win.h"

namespace salvora {

std::FILE* openOutputFile(const std::string& path) {
    return _wfopen(widen(path).c_str(), L"w+b");
}

bool seekOutput(std::FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return false;
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool seekOutputBy(std::FILE* file, int64_t delta) {
    return _fseeki64(file, delta, SEEK_CUR) == 0;
}

int64_t tellOutput(std::FILE* file) {
    return _ftelli64(file);
}

bool cutFile(const std::string& path, uint64_t length) {
    if (length > static_cast<uint64_t>(INT64_MAX))
        return false;
    std::FILE* file = _wfopen(widen(path).c_str(), L"r+b");
    if (!file)
        return false;
    const bool ok = _chsize_s(_fileno(file), static_cast<__int64>(length)) == 0;
    return std::fclose(file) == 0 && ok;
}

bool renameReplacing(const std::string& from, const std::string& to) {
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

int64_t fileLength(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data))
        return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return -1;
    return static_cast<int64_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

void removeFile(const std::string& path) {
    DeleteFileW(widen(path).c_str());
}

}  // namespace salvora
