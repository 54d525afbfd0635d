// The destination folder of recovered files.
#pragma once

#include <string>

namespace salvora {

// Makes `folder` usable as a destination: creates it (with its parents) when
// missing, checks that files can be created in it, and returns the folder
// text ending with a path separator in `prepared`. On failure returns false
// with a sentence a user can act on in `whyNot`; nothing is left behind.
bool prepareDestination(const std::string& folder, std::string& prepared, std::string& whyNot);

}  // namespace salvora
