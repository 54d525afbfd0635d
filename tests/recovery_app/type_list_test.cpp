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

TEST(TypeList, UnknownTypeIsRejectedWithTheKnownOnes) {
    EnabledFamilies families;
    std::string whyNot;
    EXPECT_FALSE(familiesFromList("mp3,wav", families, whyNot));
    EXPECT_NE(whyNot.find("\"wav\""), std::string::npos) << whyNot;
    for (const char* known : {"riff", "mp3", "pdf", "bmp", "indd", "m2ts", "mpg"}) {
        EXPECT_NE(whyNot.find(known), std::string::npos) << whyNot;
    }
}

}  // namespace
}  // namespace salvora
