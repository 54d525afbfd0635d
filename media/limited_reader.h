// The first bytes of another medium as a medium of its own: what lies beyond
// the limit reads as the end of the medium. A scan that could read only part
// of a medium carves that part through it.
#pragma once

#include <cstdint>

#include "media/media_reader.h"

namespace salvora {

class LimitedReader : public MediaReader {
  public:
    // The first `limit` bytes of `inner` (not owned; it must outlive this
    // reader), with its sector size, geometry and identity.
    LimitedReader(MediaReader& inner, uint64_t limit);

    void close() override { inner_.close(); }

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override;

  private:
    MediaReader& inner_;
};

}  // namespace salvora
