#include "recovery_app/cli/image_lines.h"

#include <cstdio>
#include <string>

#include "recovery_app/cli/json_text.h"

namespace salvora::cli {

namespace {

const char* formatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::kSplitRaw:
            return "split raw";
        case ImageFormat::kExpertWitness:
            return "Expert Witness";
        case ImageFormat::kRaw:
            break;
    }
    return "raw";
}

std::string hashName(const std::string& type) {
    return type == "md5" ? "MD5" : type == "sha1" ? "SHA-1" : type;
}

}  // namespace

void printImageLines(const ImageDescription& image, const MediaReader& medium) {
    if (image.format == ImageFormat::kSplitRaw)
        std::printf("Split raw image in %zu parts.\n", image.files.size());
    if (image.format == ImageFormat::kExpertWitness) {
        std::printf("Expert Witness image in %zu segment%s, %u-byte sectors.\n", image.files.size(),
                    image.files.size() == 1 ? "" : "s", medium.sectorSize);
    }
    if (image.acquiredHashes.empty())
        return;
    std::printf("Image hash as acquired:");
    for (size_t i = 0; i < image.acquiredHashes.size(); ++i) {
        std::printf("%s %s %s", i ? "," : "", hashName(image.acquiredHashes[i].type).c_str(),
                    image.acquiredHashes[i].hex.c_str());
    }
    std::printf("\n");
}

void printJsonImage(const ImageDescription& image) {
    std::printf("  \"imageFormat\": %s,\n  \"imageFiles\": [", jsonString(formatName(image.format)).c_str());
    for (size_t i = 0; i < image.files.size(); ++i)
        std::printf("%s%s", i ? ", " : "", jsonString(image.files[i]).c_str());
    std::printf("],\n  \"acquiredHashes\": {");
    for (size_t i = 0; i < image.acquiredHashes.size(); ++i) {
        std::printf("%s%s: %s", i ? ", " : "", jsonString(image.acquiredHashes[i].type).c_str(),
                    jsonString(image.acquiredHashes[i].hex).c_str());
    }
    std::printf("},\n");
}

}  // namespace salvora::cli
