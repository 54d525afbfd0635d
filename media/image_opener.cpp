// Telling an image's format by its content and opening it with the reader
// that format needs.
#include <cstdint>

#include "media/ewf_format.h"
#include "media/ewf_reader.h"
#include "media/image_names.h"
#include "media/image_reader.h"
#include "media/split_image_reader.h"

namespace salvora {

namespace {

std::string fileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

EvidenceSignature signatureOf(MediaReader& file) {
    uint8_t head[kEvidenceSignatureLength] = {};
    const int32_t got = file.readAt(head, sizeof head, 0);
    return evidenceSignature(head, got > 0 ? static_cast<size_t>(got) : 0);
}

std::string logicalEvidenceText(const std::string& path) {
    return "The file " + path +
           " is a logical evidence file (L01): it holds copies of chosen files, not the image of a disk, so "
           "there is nothing in it to recover. Please give the disk image (E01) instead.";
}

std::string misnamedText(const std::string& path) {
    return "The image " + path +
           " is named like an Expert Witness (E01) evidence image but does not begin with that format's "
           "signature: it may be a raw image that was renamed, or the segment is damaged. To read it as a "
           "raw "
           "image, give it a name such as " +
           fileNameOf(path) + ".img.";
}

// The split series `path` opens, when its name is that of a part and the
// series' first part is there (or must be: a part numbered above 1).
std::optional<SplitSeries> seriesToOpen(const std::string& path) {
    std::optional<SplitSeries> series = splitSeriesOf(path);
    if (!series)
        return std::nullopt;
    if (firstPartNumber(*series) || (series->numeric && series->given > 1))
        return series;
    return std::nullopt;
}

}  // namespace

std::unique_ptr<MediaReader> openImage(const std::string& path, std::string& whyNot,
                                       ImageDescription* description) {
    ImageDescription local;
    ImageDescription& described = description ? *description : local;
    described = ImageDescription{};
    std::unique_ptr<MediaReader> file = openRawImage(path, whyNot);
    if (!file)
        return nullptr;
    switch (signatureOf(*file)) {
        case EvidenceSignature::kEvf:
        case EvidenceSignature::kEvf2:
            file.reset();
            return openEvidenceImage(path, whyNot, described);
        case EvidenceSignature::kLvf:
        case EvidenceSignature::kLef2:
            whyNot = logicalEvidenceText(path);
            return nullptr;
        case EvidenceSignature::kNone:
            break;
    }
    if (const std::optional<SplitSeries> series = seriesToOpen(path)) {
        file.reset();
        std::unique_ptr<MediaReader> split = openSplitImage(*series, whyNot, described.files);
        if (!split)
            return nullptr;
        split->devicePath = path;
        described.format = ImageFormat::kSplitRaw;
        return split;
    }
    if (hasEvidenceExtension(path)) {
        whyNot = misnamedText(path);
        return nullptr;
    }
    described.format = ImageFormat::kRaw;
    described.files = {path};
    return file;
}

}  // namespace salvora
