#include "recovery_app/core/destination.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace salvora {

namespace fs = std::filesystem;

namespace {

bool endsWithSeparator(const std::string& text) {
    return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

// Creates and removes a probe file: the only sure test that files can be made here.
bool canCreateFiles(const fs::path& folder) {
    const fs::path probe = folder / ".salvora-write-test";
    std::FILE* file = std::fopen(probe.string().c_str(), "wb");
    if (!file) return false;
    std::fclose(file);
    std::error_code ignored;
    fs::remove(probe, ignored);
    return true;
}

}  // namespace

bool prepareDestination(const std::string& folder, std::string& prepared, std::string& whyNot) {
    if (folder.empty()) {
        whyNot = "No destination folder was given.";
        return false;
    }
    const fs::path path(folder);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status) && !fs::is_directory(status)) {
        whyNot = "The destination " + folder + " exists and is not a folder.";
        return false;
    }
    if (!fs::exists(status)) {
        fs::create_directories(path, error);
        if (error) {
            whyNot = "Cannot create the destination folder " + folder + ": " + error.message() + ".";
            return false;
        }
    }
    if (!canCreateFiles(path)) {
        whyNot = "Cannot write into the destination folder " + folder + ". Please choose another folder.";
        return false;
    }
    prepared = endsWithSeparator(folder) ? folder : folder + static_cast<char>(fs::path::preferred_separator);
    return true;
}

}  // namespace salvora
