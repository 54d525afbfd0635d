#include "recovery_app/core/file_types.h"

#include <sstream>

#include "formats/family_table.h"

namespace salvora {

namespace {
constexpr size_t kDocPosition = 12;
constexpr size_t kZipPosition = 17;

// Other names of a family in a type list: extensions it gives its files.
struct Alias {
    const char* word;
    const char* extension;
};
const Alias kAliases[] = {
    {"heif", "heic"}, {"avif", "heic"}, {"cr3", "heic"}, {"webm", "mkv"}, {"opus", "ogg"}};

bool namesFamily(const std::string& word, const FileFamily& family) {
    if (word == "all" || word == family.extension)
        return true;
    for (const Alias& alias : kAliases) {
        if (word == alias.word && std::string(family.extension) == alias.extension)
            return true;
    }
    return false;
}
}  // namespace

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
        bool known = false;
        for (EnabledFamily& pair : families) {
            if (pair.family && namesFamily(word, *pair.family)) {
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
