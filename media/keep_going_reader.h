// Reading a damaged medium to its end: a reader that, when a read fails,
// retries sector by sector, keeps every sector that can be read, zero-fills
// the others and reports them, so a scan carries on past bad areas.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "media/media_reader.h"

namespace salvora {

struct UnreadableRange {
    uint64_t offset = 0;
    uint64_t length = 0;
};

class KeepGoingReader : public MediaReader {
  public:
    // Called for each run of unreadable sectors not reported before (a
    // sector read again, as overlapping reads do, is reported once).
    using UnreadableHandler = std::function<void(const UnreadableRange&)>;

    // Reads through `inner` (not owned; it must outlive this reader) and
    // takes over its size, sector size, geometry and identity.
    KeepGoingReader(MediaReader& inner, UnreadableHandler onUnreadable = nullptr);

    void close() override { inner_.close(); }

    // Every unreadable range met so far, adjacent ones merged, by offset.
    std::vector<UnreadableRange> unreadable() const;
    // Total bytes that could not be read.
    uint64_t unreadableBytes() const;

  protected:
    int32_t deviceRead(void* buffer, uint32_t count, uint64_t offset) override;

  private:
    void noteUnreadable(uint64_t offset, uint64_t length);

    MediaReader& inner_;
    UnreadableHandler onUnreadable_;
    std::map<uint64_t, uint64_t> unreadable_;  // start -> end (exclusive), disjoint
    std::vector<uint8_t> sector_;
};

}  // namespace salvora
