#include "carve/recovered_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "carve/output_file.h"
#include "media/media_reader.h"

namespace salvora {

namespace {

// Position of the dot that starts the extension of the final name component,
// or npos when that component has none.
size_t extensionDot(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string::npos;
    return dot;
}

// Gives the file the name its final extension asks for. When the rename
// fails the file keeps its old name, so name and data stay together.
void correctExtension(CarveCandidate& file) {
    const std::string wanted = file.extension ? file.extension : "";
    const size_t dot = extensionDot(file.path);
    const std::string current = dot == std::string::npos ? "" : file.path.substr(dot + 1);
    if (current == wanted)
        return;
    std::string renamed = dot == std::string::npos ? file.path : file.path.substr(0, dot);
    if (!wanted.empty())
        renamed += "." + wanted;
    if (renamed.size() > kMaxOutputPath)
        return;
    if (renameReplacing(file.path, renamed))
        file.path = renamed;
}

std::string extensionOf(const std::string& path) {
    const size_t dot = extensionDot(path);
    return dot == std::string::npos ? "" : path.substr(dot + 1);
}

}  // namespace

bool outputPath(const std::string& folder, uint32_t number, const char* extension, std::string& path) {
    char name[32];
    if (extension && *extension) {
        std::snprintf(name, sizeof name, "%c%c%05u.", 'K', 'V', number);
    } else {
        std::snprintf(name, sizeof name, "%c%c%05u", 'K', 'V', number);
    }
    std::string full = folder + name + (extension ? extension : "");
    if (full.size() > kMaxOutputPath) {
        path.clear();
        return false;
    }
    path = std::move(full);
    return true;
}

std::optional<RangeRef> closeCandidate(CarveCandidate& file, uint32_t& savedCounter, uint32_t blockSize,
                                       SearchSpace& space, const MediaReader& medium, SavedFile* saved,
                                       int* writeError) {
    if (file.output) {
        // Everything must be on disk before the end check judges the file.
        errno = 0;
        if (std::fflush(file.output) != 0) {
            const int error = errno ? errno : EIO;
            if (writeError)
                *writeError = error;
            if (error != EFBIG) {
                abandonCandidate(file);
                file.size = 0;
                return std::nullopt;
            }
            std::clearerr(file.output);
        }
        if (file.tally && file.endCheck)
            file.endCheck(file);
        // A file holds at most the bytes from its start to the end of the
        // medium; the rest of a last block that runs past the end is padding.
        const uint64_t available = file.startOffset < medium.size ? medium.size - file.startOffset : 0;
        if (file.size > available)
            file.size = available;
        if (file.tally && file.size > 0 && file.size < file.minSize)
            file.size = 0;
        std::fclose(file.output);
        file.output = nullptr;
        // An end check never makes a file longer than what was written:
        // cutting would otherwise pad it with zeros.
        const int64_t written = fileLength(file.path);
        if (written < 0 || file.size > static_cast<uint64_t>(written)) {
            file.size = written < 0 ? 0 : static_cast<uint64_t>(written);
        }
        if (file.size > 0)
            correctExtension(file);
        if (file.size > 0 && !cutFile(file.path, file.size))
            file.size = 0;
        if (file.size > 0) {
            if (file.afterSave)
                file.afterSave(file.path.c_str());
            ++savedCounter;
            if (saved) {
                saved->path = file.path;
                saved->family = file.tally ? file.tally->family : nullptr;
                saved->extension = extensionOf(file.path);
                saved->startOffset = file.startOffset;
                saved->size = file.size;
            }
        } else {
            removeFile(file.path);
        }
    }
    if (file.tally && file.size > 0)
        return consumeFile(space, file, blockSize);
    return std::nullopt;
}

void abandonCandidate(CarveCandidate& file) {
    if (!file.output)
        return;
    std::fclose(file.output);
    file.output = nullptr;
    removeFile(file.path);
}

}  // namespace salvora
