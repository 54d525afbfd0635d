#include "media/handle_reader_win.h"

#include <algorithm>
#include <cstring>

#include "media/text_win.h"

namespace salvora {

void HandleReader::close() {
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

int32_t HandleReader::deviceRead(void* buffer, uint32_t count, uint64_t offset) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    if (handle_ == INVALID_HANDLE_VALUE || offset >= size) {
        std::memset(bytes, 0, count);
        return 0;
    }
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return -1;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN))
        return -1;

    const DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(count, size - offset));
    DWORD done = 0;
    while (done < wanted) {
        DWORD got = 0;
        if (!ReadFile(handle_, bytes + done, wanted - done, &got, nullptr)) {
            const DWORD error = GetLastError();
            if (done == 0)
                recordReadFailure(static_cast<int>(error), systemErrorText(error));
            break;
        }
        if (got == 0) {
            // The medium ends before the size it reported when opened: it was
            // removed or shrunk under us.
            if (done == 0)
                recordReadFailure(ERROR_HANDLE_EOF, systemErrorText(ERROR_HANDLE_EOF));
            break;
        }
        done += got;
    }
    std::memset(bytes + done, 0, count - done);
    return static_cast<int32_t>(done);
}

}  // namespace salvora
