#include "recovery_app/core/file_types.h"

#include <cctype>
#include <sstream>
#include <vector>

#include "formats/family_table.h"

namespace salvora {

namespace {
constexpr size_t kDocPosition = 12;
constexpr size_t kZipPosition = 17;

// The extensions each family gives its files besides its own, as its
// recogniser names them (camera makers, document kinds, movie brands), and
// the usual longer spellings of a few.
struct FamilyExtensions {
    const char* family;
    std::vector<const char*> extensions;
};

const std::vector<FamilyExtensions>& otherExtensions() {
    static const std::vector<FamilyExtensions> table{
        {"jpg", {"jpeg"}},
        {"riff", {"avi", "cda", "cdr", "cpr", "wav"}},
        {"tif", {"tiff", "cr2", "dng", "nef", "pef", "dcr", "arw"}},
        {"doc",
         {"xls", "ppt", "sda", "sdc", "sdd", "sdw", "mdb", "vsd", "fla", "pub", "wdb", "mws", "max", "xlr",
          "albm", "wps", "msg", "amb", "db"}},
        {"pdf", {"ai"}},
        {"m2ts", {"m2t"}},
        {"mov", {"mp4", "3gp", "3g2", "jp2"}},
        {"zip", {"docx", "xlsx", "pptx", "odt", "ods", "odp", "odg", "sxw", "sxc", "sxi", "sxd"}},
    };
    return table;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

const FileFamily* familyForTypeName(const std::string& name) {
    const std::string word = lowerCase(name);
    if (const FileFamily* family = familyByExtension(word.c_str()))
        return family;
    for (const FamilyExtensions& row : otherExtensions()) {
        for (const char* extension : row.extensions) {
            if (word == extension)
                return familyByExtension(row.family);
        }
    }
    return nullptr;
}

EnabledFamilies standardFamilies() {
    EnabledFamilies families = defaultEnabledFamilies();
    families[kDocPosition].enabled = 1;
    families[kZipPosition].enabled = 1;
    return families;
}

bool familiesFromList(const std::string& list, EnabledFamilies& families, std::string& whyNot) {
    families = defaultEnabledFamilies();
    for (EnabledFamily& pair : families)
        pair.enabled = 0;
    std::stringstream words(list);
    std::string word;
    while (std::getline(words, word, ',')) {
        if (word.empty())
            continue;
        const bool all = lowerCase(word) == "all";
        const FileFamily* named = familyForTypeName(word);
        bool known = false;
        for (EnabledFamily& pair : families) {
            if (pair.family && (all || pair.family == named)) {
                pair.enabled = 1;
                known = true;
            }
        }
        if (!known) {
            whyNot =
                "Unknown file type \"" + word + "\". Known types: " + familyExtensionList() + " (or all).";
            return false;
        }
    }
    if (!anyFamilyEnabled(families)) {
        whyNot = "Please select at least one file type.";
        return false;
    }
    return true;
}

std::string familyExtensionList() {
    std::string text;
    for (const FileFamily* family : familyTable()) {
        if (!text.empty())
            text += ",";
        text += family->extension;
    }
    return text;
}

bool anyFamilyEnabled(const EnabledFamilies& families) {
    for (const EnabledFamily& pair : families) {
        if (pair.family && pair.enabled)
            return true;
    }
    return false;
}

}  // namespace salvora
