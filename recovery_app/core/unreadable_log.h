// Telling the user about unreadable parts of a medium one range at a time:
// a damaged or shrunken medium fails read after read over one stretch, and
// each failed read would otherwise give a line of its own.
#pragma once

#include <functional>
#include <optional>

#include "media/keep_going_reader.h"

namespace salvora {

class UnreadableLog {
  public:
    using Sink = std::function<void(const UnreadableRange&)>;

    // `sink` receives the merged ranges.
    explicit UnreadableLog(Sink sink) : sink_(std::move(sink)) {}

    // Takes a range as the reader reports it. A range that touches or
    // overlaps the one held is joined to it; any other range passes the one
    // held on to the sink and is held in its place.
    void add(const UnreadableRange& range);

    // Passes the range held, if any, on to the sink (at the end of a scan).
    void finish();

  private:
    Sink sink_;
    std::optional<UnreadableRange> held_;
};

}  // namespace salvora
