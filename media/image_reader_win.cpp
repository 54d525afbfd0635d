#include <windows.h>

#include "media/handle_reader_win.h"
#include "media/image_kind.h"
#include "media/image_reader.h"
#include "media/text_win.h"

namespace salvora {

namespace {

std::string cannotOpen(const std::string& path, DWORD error) {
    return "Cannot open the image " + path + ": " + systemErrorText(error) + ".";
}

}  // namespace

std::unique_ptr<MediaReader> openRawImage(const std::string& path, std::string& whyNot) {
    const std::wstring widePath = widen(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        whyNot = cannotOpen(path, GetLastError());
        return nullptr;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        whyNot = "The image " + path + " is a folder, not a disk image file.";
        return nullptr;
    }
    // Read access only; other programs may go on using the file meanwhile.
    const HANDLE handle =
        CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        whyNot = cannotOpen(path, GetLastError());
        return nullptr;
    }
    // Named pipes and consoles open like files but hold no disk.
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR) {
        CloseHandle(handle);
        whyNot =
            notAnImageText(path, type == FILE_TYPE_PIPE ? ImageKind::kPipe : ImageKind::kCharacterDevice);
        return nullptr;
    }
    auto reader = std::make_unique<HandleReader>(handle);
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(handle, &length) || length.QuadPart <= 0) {
        whyNot = "The image " + path + " is empty: there is nothing to recover from it.";
        return nullptr;
    }
    reader->devicePath = path;
    reader->sectorSize = 512;
    reader->size = static_cast<uint64_t>(length.QuadPart);
    reader->openFlags = kDefaultOpenFlags;
    setFlatGeometry(*reader);
    return reader;
}

}  // namespace salvora
