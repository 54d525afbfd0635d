// Telling an image's format by its content: what is refused, and why.
#include <gtest/gtest.h>

#include "media/ewf_reader.h"
#include "media/image_reader.h"
#include "support/test_files.h"

namespace salvora {
namespace {

class ImageOpener : public ::testing::Test {
  protected:
    std::string write(const std::string& name, std::vector<uint8_t> bytes) {
        const auto path = dir.path() / name;
        test::writeFile(path, bytes);
        return path.string();
    }
    test::TempDir dir;
};

TEST_F(ImageOpener, RawImageNamedLikeEvidenceIsRefusedWithAWayOut) {
    const std::string path = write("card.E01", std::vector<uint8_t>(4096, 0));
    std::string why;
    EXPECT_FALSE(openImage(path, why));
    EXPECT_EQ(why,
              "The image " + path +
                  " is named like an Expert Witness (E01) evidence image but does not begin with that "
                  "format's signature: it may be a raw image that was renamed, or the segment is damaged. "
                  "To read it as a raw image, give it a name such as card.E01.img.");
}

TEST_F(ImageOpener, LogicalEvidenceHoldsNoDiskToCarve) {
    std::vector<uint8_t> bytes(4096, 0);
    const uint8_t lvf[] = {'L', 'V', 'F', 0x09, 0x0d, 0x0a, 0xff, 0x00};
    std::copy(std::begin(lvf), std::end(lvf), bytes.begin());
    const std::string path = write("files.img", bytes);
    std::string why;
    EXPECT_FALSE(openImage(path, why));
    EXPECT_NE(why.find("is a logical evidence file (L01)"), std::string::npos) << why;
}

TEST_F(ImageOpener, EvidenceSignatureWithoutAnImageBehindIt) {
    std::vector<uint8_t> bytes(4096, 0);
    const uint8_t evf[] = {'E', 'V', 'F', 0x09, 0x0d, 0x0a, 0xff, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00};
    std::copy(std::begin(evf), std::end(evf), bytes.begin());
    const std::string path = write("broken.E01", bytes);
    std::string why;
    EXPECT_FALSE(openImage(path, why));
    // libewf either refuses the file or finds no medium in it.
    EXPECT_NE(why.find(path), std::string::npos) << why;
    EXPECT_NE(why.find("evidence image"), std::string::npos) << why;
}

TEST_F(ImageOpener, AnythingElseIsARawImage) {
    const std::string path = write("card.bin", std::vector<uint8_t>(3 * 512, 0x41));
    std::string why;
    ImageDescription described;
    described.acquiredHashes.push_back({"md5", "left over"});
    auto reader = openImage(path, why, &described);
    ASSERT_TRUE(reader) << why;
    EXPECT_EQ(described.format, ImageFormat::kRaw);
    EXPECT_EQ(described.files, std::vector<std::string>{path});
    EXPECT_TRUE(described.acquiredHashes.empty());
    EXPECT_EQ(reader->size, 1536u);
}

}  // namespace
}  // namespace salvora
