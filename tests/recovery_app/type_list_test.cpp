// The --types list of the command line names families by their extensions.
#include <gtest/gtest.h>

#include <cctype>
#include <vector>

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

// The extensions the recognisers give their files, as the user documentation
// lists them per type; each names the type that gives it.
TEST(TypeList, EveryExtensionAFamilyGivesNamesThatFamilyInAnyCase) {
    const std::vector<std::pair<const char*, std::vector<const char*>>> given{
        {"tif", {"tif", "cr2", "dng", "nef", "pef", "dcr", "arw"}},
        {"riff", {"wav", "avi", "cda", "cdr", "cpr"}},
        {"pdf", {"pdf", "ai"}},
        {"m2ts", {"m2ts", "m2t"}},
        {"doc",
         {"doc", "xls", "ppt", "sda", "sdc", "sdd", "sdw", "mdb", "vsd", "pub", "wdb", "msg", "xlr", "wps",
          "max", "db"}},
        {"zip", {"zip", "odt", "ods", "odp", "odg", "sxw", "sxc", "sxi", "sxd", "docx", "xlsx", "pptx"}},
        {"mov", {"mp4", "mov", "3gp", "3g2", "jp2"}},
        {"raw", {"raw"}},
    };
    for (const auto& [type, extensions] : given) {
        for (const char* extension : extensions) {
            std::string upper = extension;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            for (const std::string& word : {std::string(extension), upper}) {
                const FileFamily* family = familyForTypeName(word);
                ASSERT_NE(family, nullptr) << word;
                EXPECT_STREQ(family->extension, type) << word;
            }
        }
    }
    EnabledFamilies families;
    std::string whyNot;
    ASSERT_TRUE(familiesFromList("JPG,cr2", families, whyNot)) << whyNot;
    std::vector<std::string> on;
    for (const EnabledFamily& pair : families) {
        if (pair.family && pair.enabled)
            on.push_back(pair.family->extension);
    }
    EXPECT_EQ(on, (std::vector<std::string>{"jpg", "tif"}));
    ASSERT_TRUE(familiesFromList("ALL", families, whyNot)) << whyNot;
}

TEST(TypeList, UnknownTypeIsRejectedWithTheKnownOnes) {
    EnabledFamilies families;
    std::string whyNot;
    EXPECT_FALSE(familiesFromList("mp3,flac", families, whyNot));
    EXPECT_NE(whyNot.find("\"flac\""), std::string::npos) << whyNot;
    for (const char* known : {"riff", "mp3", "pdf", "bmp", "indd", "m2ts", "mpg"}) {
        EXPECT_NE(whyNot.find(known), std::string::npos) << whyNot;
    }
}

}  // namespace
}  // namespace salvora
