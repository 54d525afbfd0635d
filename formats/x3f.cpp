#include "formats/register.h"

namespace salvora {

// Registers nothing yet: the recogniser of this family is still to come.
void registerX3f(FamilyTally&) {}

}  // namespace salvora
