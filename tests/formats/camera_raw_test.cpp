#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/candidate_file.h"
#include "formats/crw.h"
#include "formats/mrw.h"
#include "formats/orf.h"
#include "formats/panasonic_raw.h"
#include "formats/raf.h"
#include "formats/tiff.h"
#include "formats/x3f.h"
#include "support/recovery_harness.h"
#include "support/test_files.h"

namespace salvora {
namespace {

using test::dataPath;
using test::endCheckOn;
using test::readFile;
using test::windowOf;

std::vector<uint8_t> sample(const std::string& path) {
    return readFile(dataPath(path));
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Runs `recognise` on a window starting with `bytes`; returns fresh, with
// extension "refused" when it refused.
CarveCandidate recognised(RecogniseFn recognise, const std::vector<uint8_t>& bytes) {
    const std::vector<uint8_t> window = windowOf(bytes);
    CarveCandidate current;
    CarveCandidate fresh;
    fresh.extension = "refused";
    recognise(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh);
    return fresh;
}

std::string extensionOf(RecogniseFn recognise, const std::vector<uint8_t>& bytes) {
    return recognised(recognise, bytes).extension;
}

TEST(CameraRawRecognition, EachFamilyAcceptsRealFilesOfItsCameras) {
    EXPECT_EQ(extensionOf(recogniseCrw, sample("samples/CanonRaw.crw")), "crw");
    EXPECT_EQ(extensionOf(recogniseMrw, sample("samples/Minolta.mrw")), "mrw");
    EXPECT_EQ(extensionOf(recogniseRaf, sample("samples/FujiFilm.raf")), "raf");
    EXPECT_EQ(extensionOf(recognisePanasonicRaw, sample("samples/Panasonic.rw2")), "raw");
    EXPECT_EQ(extensionOf(recognisePanasonicRaw, sample("samples/KyoceraRaw.raw")), "raw");
    EXPECT_EQ(extensionOf(recogniseX3f, sample("samples/Sigma.x3f")), "x3f");
    EXPECT_EQ(extensionOf(recogniseX3f, sample("samples/SigmaDP2.x3f")), "x3f");
    EXPECT_EQ(extensionOf(recogniseOrf, bytesOf("IIRO\x08\0\0\0")), "orf");
    EXPECT_EQ(extensionOf(recogniseOrf, bytesOf("IIRS\x08\0\0\0")), "orf");
}

TEST(CameraRawRecognition, EachFamilyRefusesTheOthersFiles) {
    const std::vector<std::string> files{
        "samples/CanonRaw.crw",  "samples/Minolta.mrw",  "samples/FujiFilm.raf",
        "samples/Panasonic.rw2", "samples/Sigma.x3f",    "samples/CanonRaw.cr2",
        "samples/DNG.dng",       "tiff/gradient_be.tif", "office/letter.doc"};
    const std::vector<std::pair<RecogniseFn, std::string>> families{
        {recogniseCrw, "CanonRaw.crw"}, {recogniseMrw, "Minolta.mrw"},
        {recogniseRaf, "FujiFilm.raf"}, {recognisePanasonicRaw, "Panasonic.rw2"},
        {recogniseX3f, "Sigma.x3f"},    {recogniseOrf, "none"}};
    for (const auto& [recognise, own] : families) {
        for (const std::string& file : files) {
            if (file.find(own) != std::string::npos)
                continue;
            EXPECT_EQ(extensionOf(recognise, sample(file)), "refused") << own << " on " << file;
        }
    }
}

TEST(CameraRawRecognition, CrwNeedsTheHeapHeaderInEitherByteOrder) {
    std::vector<uint8_t> crw = sample("samples/CanonRaw.crw");
    const CarveCandidate fresh = recognised(recogniseCrw, crw);
    EXPECT_EQ(fresh.endCheck, &endCheckCrw);
    EXPECT_EQ(fresh.blockCheck, nullptr);
    crw[0] = crw[1] = 'M';
    EXPECT_EQ(extensionOf(recogniseCrw, crw), "crw");
    crw[0] = 'I';  // "IM"
    EXPECT_EQ(extensionOf(recogniseCrw, crw), "refused");
    EXPECT_EQ(extensionOf(recogniseCrw, bytesOf("II\x1a\0\0\0HEAPCCDX")), "refused");
}

TEST(CameraRawRecognition, PanasonicAcceptsEitherSignatureAlone) {
    std::vector<uint8_t> maker(64, 0);
    std::memcpy(maker.data() + 25, "ARECOYK", 7);
    EXPECT_EQ(extensionOf(recognisePanasonicRaw, maker), "raw");
    maker[31] = 'X';
    EXPECT_EQ(extensionOf(recognisePanasonicRaw, maker), "refused");
    EXPECT_EQ(extensionOf(recognisePanasonicRaw, bytesOf(std::string("IIU\0", 4))), "raw");
    EXPECT_EQ(extensionOf(recognisePanasonicRaw, bytesOf("IIU\x01")), "refused");
}

TEST(MrwSize, ComesFromDataOffsetSensorSizeAndBitDepth) {
    // 3000 x 2000 pixels of 12 bits after a data offset of 1000.
    std::vector<uint8_t> header(64, 0);
    const uint8_t start[] = {0x00, 0x4D, 0x52, 0x4D, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x50, 0x52, 0x44};
    std::memcpy(header.data(), start, sizeof start);
    header[24] = 2000 >> 8;
    header[25] = 2000 & 0xFF;
    header[26] = 3000 >> 8;
    header[27] = 3000 & 0xFF;
    header[32] = 12;
    const CarveCandidate fresh = recognised(recogniseMrw, header);
    EXPECT_EQ(fresh.expectedSize, 9001008u);
    EXPECT_EQ(fresh.blockCheck, &blockCheckUntilExpected);
    EXPECT_EQ(fresh.endCheck, &endCheckTruncateToExpected);
    // Odd bit counts round up to whole bytes, in 64 bits.
    header[24] = header[25] = header[26] = header[27] = 0xFF;
    header[32] = 0xFF;
    header[4] = header[5] = header[6] = header[7] = 0xFF;
    EXPECT_EQ(recognised(recogniseMrw, header).expectedSize,
              0xFFFFFFFFull + 8 + (65535ull * 65535ull * 255ull + 7) / 8);
}

TEST(MrwSize, RealHeaderAndItsPictureBlockMarker) {
    std::vector<uint8_t> mrw = sample("samples/Minolta.mrw");
    // This camera: data at 2572 + 8, 3272 x 2456 sensor, 12 bits.
    EXPECT_EQ(recognised(recogniseMrw, mrw).expectedSize, 2572u + 8u + (3272ull * 2456ull * 12ull + 7) / 8);
    mrw[9] = 'Q';
    EXPECT_EQ(extensionOf(recogniseMrw, mrw), "refused");
}

TEST(CrwEndCheck, CutsTwelveBytesAfterTheLastHeapRecordTag) {
    const std::vector<uint8_t> crw = sample("samples/CanonRaw.crw");
    // The camera's heap ends at 6256; the rest is a trailer another program appended.
    const CarveCandidate settled = endCheckOn(crw, endCheckCrw);
    EXPECT_EQ(settled.size, 6256u);
    EXPECT_EQ(std::memcmp(crw.data() + 6256 - 14, "\x0a\x30", 2), 0);
}

TEST(CrwEndCheck, FindsTheLastFooterAcrossChunkBoundariesAndDropsFilesWithout) {
    for (size_t at : {4094u, 4095u, 4096u, 8190u, 100u}) {
        std::vector<uint8_t> file(12288, 0x11);
        file[50] = 0x0A;
        file[51] = 0x30;
        file[at] = 0x0A;
        file[at + 1] = 0x30;
        EXPECT_EQ(endCheckOn(file, endCheckCrw).size, at + 2 + 12) << at;
    }
    EXPECT_EQ(endCheckOn(std::vector<uint8_t>(9000, 0x11), endCheckCrw).size, 0u);
}

// The signatures reach the right recogniser through the registry, with every
// raw family enabled at once (crw's "II" and "MM" match TIFF headers too).
TEST(CameraRawRegistration, HeadersReachTheirOwnFamily) {
    SignatureRegistry registry;
    registry.build(test::onlyFamilies({"tif", "raw", "orf", "crw", "x3f", "mrw", "raf"}));
    const std::vector<std::pair<std::string, std::string>> cases{
        {"samples/CanonRaw.crw", "crw"},  {"samples/CanonRaw.cr2", "tif"},   {"samples/Nikon.nef", "tif"},
        {"samples/Panasonic.rw2", "raw"}, {"samples/KyoceraRaw.raw", "raw"}, {"samples/FujiFilm.raf", "raf"},
        {"samples/Minolta.mrw", "mrw"},   {"samples/Sigma.x3f", "x3f"},      {"tiff/gradient_be.tif", "tif"},
    };
    for (const auto& [file, family] : cases) {
        const std::vector<uint8_t> window = windowOf(sample(file));
        CarveCandidate current;
        CarveCandidate fresh;
        FamilyTally* tally =
            registry.findHeader(window.data(), static_cast<uint32_t>(window.size()), 0, current, fresh);
        ASSERT_NE(tally, nullptr) << file;
        EXPECT_STREQ(tally->family->extension, family.c_str()) << file;
    }
    const std::vector<uint8_t> orf = windowOf(bytesOf("IIRO\x08\0\0\0"));
    CarveCandidate current;
    CarveCandidate fresh;
    FamilyTally* tally =
        registry.findHeader(orf.data(), static_cast<uint32_t>(orf.size()), 0, current, fresh);
    ASSERT_NE(tally, nullptr);
    EXPECT_STREQ(tally->family->extension, "orf");
    registry.release();
}

}  // namespace
}  // namespace salvora
