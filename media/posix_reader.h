// A MediaReader over a POSIX file descriptor (image files and Linux block
// devices). Reads are positioned reads, so the descriptor has no position.
#pragma once

#include <sys/types.h>

#include "media/image_kind.h"
#include "media/media_reader.h"

namespace salvora {

class PosixReader : public MediaReader {
  public:
    // Takes ownership of `fd`, which must be open for reading.
    explicit PosixReader(int fd) : fd_(fd) {}
    ~PosixReader() override { close(); }

    void close() override;
    int fd() const { return fd_; }

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override;

  private:
    int fd_;
};

// The kind of file a stat() mode describes.
ImageKind imageKindOf(mode_t mode);

}  // namespace salvora
