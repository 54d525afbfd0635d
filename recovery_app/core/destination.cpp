#include "recovery_app/core/destination.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace salvora {

namespace fs = std::filesystem;

namespace {

// The engine's paths are UTF-8 on every platform; a path built from plain
// text would be read in the system's code page on Windows.
fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

bool endsWithSeparator(const std::string& text) {
    return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

// Creates and removes a probe file: the only sure test that files can be made here.
bool canCreateFiles(const fs::path& folder) {
    const fs::path probe = folder / ".salvora-write-test";
    std::ofstream file(probe, std::ios::binary);
    if (!file)
        return false;
    file.close();
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
    const fs::path path = pathOf(folder);
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
