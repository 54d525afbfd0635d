// The --types list of the command line names families by their extensions.
#include <gtest/gtest.h>

#include "formats/family_table.h"
#include "recovery_app/core/file_types.h"

namespace salvora {
namespace {

TEST(TypeList, EveryFamilyExtensionTurnsOnExactlyThatFamily) {
    for (const FileFamily* family : familyTable()) {
        EnabledFamilies families;
        std::string whyNot;
        ASSERT_TRUE(familiesFromList(family->extension, families, whyNot))
            << family->extension << ": " << whyNot;
        for (const EnabledFamily& pair : families) {
            if (!pair.family)
                continue;
            EXPECT_EQ(pair.enabled, pair.family == family ? 1u : 0u) << family->extension;
        }
    }
}

// The extensions that a family gives its files name that family too.
TEST(TypeList, OtherExtensionsOfAFamilyNameIt) {
    const struct {
        const char* word;
        const char* family;
    } aliases[] = {{"heif", "heic"}, {"avif", "heic"}, {"cr3", "heic"}, {"webm", "mkv"}, {"opus", "ogg"}};
    for (const auto& alias : aliases) {
        EnabledFamilies families;
        std::string whyNot;
        ASSERT_TRUE(familiesFromList(alias.word, families, whyNot)) << alias.word << ": " << whyNot;
        for (const EnabledFamily& pair : families) {
            if (!pair.family)
                continue;
            EXPECT_EQ(pair.enabled, std::string(pair.family->extension) == alias.family ? 1u : 0u)
                << alias.word << " / " << pair.family->extension;
        }
    }
}

// The default set is every family but the slow video streams and InDesign.
TEST(TypeList, NewerTypesAreOnByDefault) {
    const EnabledFamilies families = standardFamilies();
    for (const EnabledFamily& pair : families) {
        if (!pair.family)
            continue;
        const std::string extension = pair.family->extension;
        const bool off =
            extension == "indd" || extension == "mpg" || extension == "m2ts" || extension == "mov";
        EXPECT_EQ(pair.enabled, off ? 0u : 1u) << extension;
    }
    EXPECT_EQ(families.size(), 30u) << "29 families and the terminating entry";
}

TEST(TypeList, UnknownTypeIsRejectedWithTheKnownOnes) {
    EnabledFamilies families;
    std::string whyNot;
    EXPECT_FALSE(familiesFromList("mp3,wav", families, whyNot));
    EXPECT_NE(whyNot.find("\"wav\""), std::string::npos) << whyNot;
    for (const char* known : {"riff", "mp3", "pdf", "bmp", "indd", "m2ts", "mpg", "png", "gif", "webp",
                              "heic", "mkv", "flac", "ogg", "m4a", "sqlite", "7z", "rar"}) {
        EXPECT_NE(whyNot.find(known), std::string::npos) << whyNot;
    }
}

}  // namespace
}  // namespace salvora
