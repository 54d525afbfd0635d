// What an image is made of, as "salvora partitions" shows it: the format,
// the files and the hashes stored when it was acquired.
#pragma once

#include "media/image_reader.h"

namespace salvora::cli {

// Prints, for an image of several files or one holding acquisition hashes,
// lines such as "Expert Witness image in 9 segments, 512-byte sectors." and
// "Image hash as acquired: MD5 ..., SHA-1 ...". Nothing for a plain raw image.
void printImageLines(const ImageDescription& image, const MediaReader& medium);

// Prints the JSON members "imageFormat", "imageFiles" and "acquiredHashes",
// each line indented by two spaces and ending with a comma.
void printJsonImage(const ImageDescription& image);

}  // namespace salvora::cli
