#include "formats/family_table.h"

#include <cstring>

#include "formats/register.h"

namespace salvora {

namespace {

constexpr uint64_t kDefaultLimit = 4294967295ull;
constexpr OutputMode kWrite = OutputMode::kWrite;

// clang-format off
const FileFamily kBmp  {"bmp",  "Uncompressed bitmap image files", 0, kDefaultLimit, kWrite, 1, registerBmp};
const FileFamily kJpeg {"jpg",  "JPG/JPEG compressed image files", 0, 52428800ull, kWrite, 1, registerJpeg};
const FileFamily kIndd {"indd", "InDesign File", 8192, kDefaultLimit, kWrite, 1, registerIndd};
const FileFamily kRiff {"riff", "WAV audio files and AVI video files", 0, kDefaultLimit, kWrite, 1, registerRiff};
const FileFamily kTiff {"tif",  "Tagged Image File Format image files,CR2/DNG/PEF/NEF/DCR/ARW Images", 0, 209715200ull, kWrite, 1, registerTiff};
const FileFamily kRaw  {"raw",  "Panasonic/Leica RAW image files", 0, kDefaultLimit, kWrite, 1, registerPanasonicRaw};
const FileFamily kOrf  {"orf",  "Olympus RAW image files", 0, kDefaultLimit, kWrite, 1, registerOrf};
const FileFamily kCrw  {"crw",  "Canon RAW image files", 0, kDefaultLimit, kWrite, 1, registerCrw};
const FileFamily kX3f  {"x3f",  "Sigma/Foveon X3 RAW image files", 0, kDefaultLimit, kWrite, 1, registerX3f};
const FileFamily kMrw  {"mrw",  "Minolta RAW image files", 0, kDefaultLimit, kWrite, 1, registerMrw};
const FileFamily kRaf  {"raf",  "Fujifilm RAW image files", 0, kDefaultLimit, kWrite, 1, registerRaf};
const FileFamily kMp3  {"mp3",  "MP3 compressed audio files", 0, kDefaultLimit, kWrite, 1, registerMp3};
const FileFamily kDoc  {"doc",  "Microsoft Word/Excel/PowerPoint documents", 0, kDefaultLimit, kWrite, 1, registerOle};
const FileFamily kPdf  {"pdf",  "Portable Document Format files", 0, kDefaultLimit, kWrite, 1, registerPdf};
const FileFamily kMpg  {"mpg",  "Moving Picture Experts Group video", 0, kDefaultLimit, kWrite, 1, registerMpg};
const FileFamily kM2ts {"m2ts", "Blu-ray MPEG-2", 0, kDefaultLimit, kWrite, 1, registerM2ts};
const FileFamily kMov  {"mov",  "mov/mp4/3gp/3g2/jp2", 0, kDefaultLimit, kWrite, 1, registerMov};
const FileFamily kZip  {"zip",  "zip archive including OpenOffice and MSOffice 2007", 0, kDefaultLimit, kWrite, 1, registerZip};
// clang-format on

const std::array<const FileFamily*, kFamilyCount> kTable{&kBmp, &kJpeg, &kIndd, &kRiff, &kTiff, &kRaw,
                                                         &kOrf, &kCrw,  &kX3f,  &kMrw,  &kRaf,  &kMp3,
                                                         &kDoc, &kPdf,  &kMpg,  &kM2ts, &kMov,  &kZip};

// Enabled at start; the Windows main window turns doc and zip on when it opens.
constexpr std::array<uint32_t, kFamilyCount> kEnabledAtStart{1, 1, 0, 1, 1, 1, 1, 1, 1,
                                                             1, 1, 1, 0, 1, 0, 0, 0, 0};

}  // namespace

const std::array<const FileFamily*, kFamilyCount>& familyTable() {
    return kTable;
}

const FileFamily* familyByExtension(const char* extension) {
    for (const FileFamily* family : kTable) {
        if (std::strcmp(family->extension, extension) == 0)
            return family;
    }
    return nullptr;
}

EnabledFamilies defaultEnabledFamilies() {
    EnabledFamilies families;
    for (size_t i = 0; i < kFamilyCount; ++i)
        families.push_back({kEnabledAtStart[i], kTable[i]});
    families.push_back({0, nullptr});
    return families;
}

}  // namespace salvora
