// The video samples of a carved movie, checked against its sample table.
//
// A movie's "moov" atom lists where each sample lies ("stco"/"co64" chunk
// offsets, "stsc" samples per chunk, "stsz" sizes), and each video sample
// starts the way its codec starts one: an H.264 or H.265 sample is a chain of
// NAL units, each behind its length, that fills the sample exactly; a motion
// JPEG sample starts with a JPEG start-of-image marker; an MPEG-4 part 2
// sample with a start code. When the movie was deleted and other files were
// written over part of its data, the samples there no longer do: the first
// one that does not shows where the other data begins.
#pragma once

#include <cstdint>

namespace salvora {

class OutputFile;

// Checks every H.264 ("avc1", "avc3"), H.265 ("hvc1", "hev1"), motion JPEG
// ("jpeg", "mjpa") and MPEG-4 part 2 ("mp4v") sample that lies within the
// first `size` bytes of the movie in `output`. Returns 0 when each one holds
// what it should, or when the movie has no such track or no readable "moov".
// Otherwise returns where other data may begin: the start of the sample
// before the first broken one in its track (a file written over the movie
// may start inside that sample and leave it looking whole), or where the
// media data starts when the broken sample is the track's first.
uint64_t firstDoubtfulVideoOffset(OutputFile& output, uint64_t size);

}  // namespace salvora
