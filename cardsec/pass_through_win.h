// The pass-through layout of the SCSI_PASS_THROUGH structure this Windows
// program is compiled with (32-bit or 64-bit).
#pragma once

#include "cardsec/pass_through.h"

namespace salvora::cardsec {

// Offsets taken with offsetof and sizeof from the Windows headers; equal to
// kPassThrough64 in a 64-bit build and to kPassThrough32 in a 32-bit one
// (checked when this is compiled).
const PassThroughLayout& systemPassThroughLayout();

}  // namespace salvora::cardsec
