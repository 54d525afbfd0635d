// A MediaReader over a Windows file handle (image files and physical drives).
#pragma once

#include <windows.h>

#include "media/media_reader.h"

namespace salvora {

class HandleReader : public MediaReader {
  public:
    // Takes ownership of `handle`, which must be open for reading.
    explicit HandleReader(HANDLE handle) : handle_(handle) {}
    ~HandleReader() override { close(); }

    void close() override;
    // The open handle, or INVALID_HANDLE_VALUE after close().
    HANDLE handle() const { return handle_; }

  protected:
    // Positions the handle at `offset` and reads. Requests that cross the
    // reported size are cut to it (a drive refuses reads past its last
    // sector) and the rest of `buffer` is zero-filled.
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override;

  private:
    HANDLE handle_;
};

}  // namespace salvora
