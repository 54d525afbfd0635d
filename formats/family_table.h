// The table of file families and the enable list built from it.
#pragma once

#include <array>
#include <cstddef>

#include "carve/family.h"

namespace salvora {

constexpr size_t kFamilyCount = 18;

// The 18 families in their fixed order (the order of registration and of the
// settings' checkboxes): bmp, jpg, indd, riff, tif, raw, orf, crw, x3f, mrw,
// raf, mp3, doc, pdf, mpg, m2ts, mov, zip.
const std::array<const FileFamily*, kFamilyCount>& familyTable();

// The family with this default extension, or null.
const FileFamily* familyByExtension(const char* extension);

// A new enable list: the 18 families with their start values (all on but
// indd, doc, mpg, m2ts, mov and zip) and the terminating pair.
EnabledFamilies defaultEnabledFamilies();

}  // namespace salvora
