// The size of a disk or partition as the listings show it.
#pragma once

#include <cstdint>
#include <string>

namespace salvora {

// MB = whole MiB of `bytes`, GB = MB / 1024, both single precision. Above one
// MB and below one GB: "%.2f  MB" of MB; otherwise up to one GB: "%u  Byte"
// of the byte count; above: "%.2f  GB" of GB. So a size below 2 MiB, or from
// 1 GiB to just below 1 GiB + 1 MiB, is shown in bytes.
std::string sizeText(uint64_t bytes);

}  // namespace salvora
