// The names of images that come in several files: the parts of a split raw
// image (disk.001, disk.002, ... or disk.aa, disk.ab, ...) and the segments
// of an Expert Witness image (case.E01, case.E02, ..., case.E99, case.EAA, ...).
// Only names are worked out here; nothing is looked up on disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace salvora {

// The numbered parts a file name belongs to: the text after the last dot of
// the file name is the part suffix, two or three decimal digits (".00",
// ".001") or two or three lower-case letters (".aa", ".aaa").
struct SplitSeries {
    std::string stem;     // everything before the suffix, the dot included
    bool numeric = true;  // digits rather than letters
    size_t width = 0;     // characters in the suffix
    uint64_t given = 0;   // the number of the part that was named (".001" is 1, ".ab" is 1)
};

// The series `path` would belong to by its name, or nothing when its file
// name has no part suffix.
std::optional<SplitSeries> splitSeriesOf(const std::string& path);

// The name of part `number` of `series` (".aa" is 0, ".ab" 1, ".ba" 26);
// empty when the suffix has too few characters for the number.
std::string splitPartName(const SplitSeries& series, uint64_t number);

// The number of the part named `path` in `series`; nothing when the name is
// not a part of that series.
std::optional<uint64_t> splitPartNumber(const SplitSeries& series, const std::string& path);

// True when the extension of `path` is that of an Expert Witness segment:
// E01 (or e01, s01, L01, Ex01, Lx01) with any two digits.
bool hasEvidenceExtension(const std::string& path);

// The name of the segment that follows `path` in an Expert Witness set:
// ".E01" to ".E99", then ".EAA" to ".EZZ", then ".FAA" ...; ".Ex01" to
// ".Ex99", then ".ExAA" ...; lower-case names stay lower-case. Empty when the
// extension is not a segment extension or the last one.
std::string nextSegmentName(const std::string& path);

}  // namespace salvora
