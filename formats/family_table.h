// The table of file families and the enable list built from it.
#pragma once

#include <array>
#include <cstddef>

#include "carve/family.h"

namespace salvora {

// Every family, and the first ones, which have a checkbox in the settings.
constexpr size_t kFamilyCount = 29;
constexpr size_t kCheckboxFamilyCount = 18;

// The families in their fixed order (the order of registration): first the
// 18 of the settings' checkboxes, bmp, jpg, indd, riff, tif, raw, orf, crw,
// x3f, mrw, raf, mp3, doc, pdf, mpg, m2ts, mov, zip; then the newer ones,
// png, gif, webp, heic, mkv, flac, ogg, m4a, sqlite, 7z, rar.
const std::array<const FileFamily*, kFamilyCount>& familyTable();

// The family with this default extension, or null.
const FileFamily* familyByExtension(const char* extension);

// A new enable list: every family with its start value (all on but indd,
// doc, mpg, m2ts, mov and zip) and the terminating pair.
EnabledFamilies defaultEnabledFamilies();

}  // namespace salvora
