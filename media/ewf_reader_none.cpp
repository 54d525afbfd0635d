// Builds without libewf (the Windows programs, and Linux builds where
// libewf-dev is not installed) refuse evidence images with a clear message.
#include "media/ewf_reader.h"

namespace salvora {

bool canReadEvidenceImages() {
    return false;
}

std::unique_ptr<MediaReader> openEvidenceImage(const std::string& path, std::string& whyNot,
                                               ImageDescription&) {
    whyNot = "The image " + path +
             " is an Expert Witness (E01) evidence image, which this salvora cannot read: it was built "
             "without libewf. The salvora command line for Linux reads these images when it is built "
             "with libewf (Debian package libewf-dev).";
    return nullptr;
}

}  // namespace salvora
