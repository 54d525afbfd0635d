// The output folder on Windows: the folder is held open without delete
// sharing for the whole scan, so it cannot be renamed, removed or swapped for
// a junction while files are created in it; files are created with CREATE_NEW
// and never through a reparse point.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "carve/output_folder.h"
#include "media/text_win.h"

namespace salvora {

namespace {

// One system call moves at most this much.
constexpr DWORD kLargestTransfer = DWORD{1} << 30;

HANDLE handleOf(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The C library's error number for a system error code.
int errorNumber(DWORD code) {
    switch (code) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        default:
            return EIO;
    }
}

int lastError() {
    return errorNumber(GetLastError());
}

OVERLAPPED at(uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

}  // namespace

int FolderFile::writeAt(const uint8_t* data, size_t length, uint64_t offset, size_t& written) {
    written = 0;
    while (written < length) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(length - written, kLargestTransfer));
        OVERLAPPED position = at(offset + written);
        DWORD done = 0;
        if (!WriteFile(handleOf(handle_), data + written, piece, &done, &position))
            return lastError();
        if (done == 0)
            return EIO;
        written += done;
    }
    return 0;
}

int64_t FolderFile::readAt(uint64_t offset, void* buffer, size_t length) {
    size_t got = 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (got < length) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(length - got, kLargestTransfer));
        OVERLAPPED position = at(offset + got);
        DWORD done = 0;
        if (!ReadFile(handleOf(handle_), bytes + got, piece, &done, &position)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return -1;
        }
        if (done == 0)
            break;
        got += done;
    }
    return static_cast<int64_t>(got);
}

int FolderFile::truncate(uint64_t length) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &end, sizeof end))
        return lastError();
    return 0;
}

int FolderFile::close() {
    if (handle_ == kNoHandle)
        return 0;
    return CloseHandle(handleOf(std::exchange(handle_, kNoHandle))) ? 0 : lastError();
}

OutputFolder::~OutputFolder() {
    if (handle_ != kNoHandle)
        CloseHandle(handleOf(handle_));
}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
    if (this != &other) {
        if (handle_ != kNoHandle)
            CloseHandle(handleOf(handle_));
        path_ = std::move(other.path_);
        handle_ = std::exchange(other.handle_, kNoHandle);
        nextNumber_ = other.nextNumber_;
        spare_ = std::move(other.spare_);
    }
    return *this;
}

int OutputFolder::open(const std::string& path) {
    // No delete sharing: while the scan holds it, the folder stays where it is.
    const HANDLE folder = CreateFileW(widen(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return lastError();
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(folder, &information) ||
        !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(folder);
        return ENOTDIR;
    }
    if (handle_ != kNoHandle)
        CloseHandle(handleOf(handle_));
    handle_ = reinterpret_cast<intptr_t>(folder);
    path_ = path;
    nextNumber_ = numberAfter(names());
    return 0;
}

FolderFile OutputFolder::create(const std::string& name, int& error) {
    const HANDLE file =
        CreateFileW(widen(path_ + name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = lastError();
        return FolderFile();
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(file);
        error = EEXIST;
        return FolderFile();
    }
    error = 0;
    return FolderFile(reinterpret_cast<intptr_t>(file));
}

int OutputFolder::rename(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING a name that is taken is never replaced.
    if (!MoveFileExW(widen(path_ + from).c_str(), widen(path_ + to).c_str(), 0))
        return lastError();
    return 0;
}

int OutputFolder::remove(const std::string& name) {
    return DeleteFileW(widen(path_ + name).c_str()) ? 0 : lastError();
}

std::vector<std::string> OutputFolder::names() const {
    std::vector<std::string> list;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(widen(path_ + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return list;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            list.push_back(narrow(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return list;
}

}  // namespace salvora
