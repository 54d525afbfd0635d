// Choosing which families take part in a recovery by their extensions.
#pragma once

#include <string>

#include "carve/family.h"

namespace salvora {

// The families a recovery looks for when the user chose nothing: the start
// values of the enable list with the office documents (doc and zip) turned on,
// as the main window does when it opens.
EnabledFamilies standardFamilies();

// Builds an enable list from a comma-separated list of family extensions
// ("jpg,pdf,zip"); "all" turns every family on, and "heif", "avif" and "cr3"
// name the heic family, "webm" the mkv family, "opus" the ogg family. Returns false and names the
// offending word in `whyNot` when a word is not a family's extension or the
// list chooses nothing.
bool familiesFromList(const std::string& list, EnabledFamilies& families, std::string& whyNot);

// The extensions of all families, comma-separated, in table order.
std::string familyExtensionList();

// True when at least one family of the list is on.
bool anyFamilyEnabled(const EnabledFamilies& families);

}  // namespace salvora
