// Choosing which families take part in a recovery by their extensions.
#pragma once

#include <string>

#include "carve/family.h"

namespace salvora {

// The families a recovery looks for when the user chose nothing: the start
// values of the enable list with the office documents (doc and zip) turned on,
// as the main window does when it opens.
EnabledFamilies standardFamilies();

// The family that `name` names, in any letter case: its own extension
// ("tif") or any other extension its files are given ("cr2", "nef", "docx",
// "mp4", ...). Null when no family gives files that extension.
const FileFamily* familyForTypeName(const std::string& name);

// Builds an enable list from a comma-separated list of type names
// ("jpg,pdf,zip", "JPG,cr2"; see familyForTypeName); "all" turns every family
// on. Returns false and names the offending word in `whyNot` when a word
// names no family or the list chooses nothing.
bool familiesFromList(const std::string& list, EnabledFamilies& families, std::string& whyNot);

// The extensions of all families, comma-separated, in table order.
std::string familyExtensionList();

// True when at least one family of the list is on.
bool anyFamilyEnabled(const EnabledFamilies& families);

}  // namespace salvora
