#include "recovery_app/core/report.h"

#include <cerrno>
#include <cstring>

#include "recovery_app/core/sha256.h"

namespace salvora {

namespace {

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Names, families and extensions are our own plain texts, but quote them all
// the same so that no file name can break a row.
std::string csvField(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            quoted += escaped;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

}  // namespace

RecoveryReport::Format RecoveryReport::formatFor(const std::string& path) {
    const std::string suffix = ".jsonl";
    const bool jsonl =
        path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
    return jsonl ? Format::JsonLines : Format::Csv;
}

RecoveryReport::~RecoveryReport() {
    if (file_)
        std::fclose(file_);
}

bool RecoveryReport::open(const std::string& path, std::string& whyNot) {
    format_ = formatFor(path);
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        whyNot = "Cannot write the report " + path + ": " + std::strerror(errno) + ".";
        return false;
    }
    if (format_ == Format::Csv)
        std::fputs("name,family,extension,offset,size,sha256\n", file_);
    std::fflush(file_);
    return true;
}

void RecoveryReport::fileSaved(const SavedFile& saved) {
    if (!file_)
        return;
    const std::string name = fileName(saved.path);
    const std::string family = saved.family ? saved.family->extension : "";
    const std::string digest = sha256OfFile(saved.path);
    const auto offset = static_cast<unsigned long long>(saved.startOffset);
    const auto size = static_cast<unsigned long long>(saved.size);
    if (format_ == Format::Csv) {
        std::fprintf(file_, "%s,%s,%s,%llu,%llu,%s\n", csvField(name).c_str(), csvField(family).c_str(),
                     csvField(saved.extension).c_str(), offset, size, digest.c_str());
    } else {
        std::fprintf(
            file_,
            "{\"name\":%s,\"family\":%s,\"extension\":%s,\"offset\":%llu,\"size\":%llu,\"sha256\":\"%s\"}\n",
            jsonString(name).c_str(), jsonString(family).c_str(), jsonString(saved.extension).c_str(), offset,
            size, digest.c_str());
    }
    std::fflush(file_);
}

void RecoveryReport::unreadable(uint64_t offset, uint64_t length) {
    if (!file_)
        return;
    const auto at = static_cast<unsigned long long>(offset);
    const auto bytes = static_cast<unsigned long long>(length);
    if (format_ == Format::Csv) {
        std::fprintf(file_, "\"(unreadable)\",\"\",\"\",%llu,%llu,\n", at, bytes);
    } else {
        std::fprintf(file_, "{\"unreadable\":true,\"offset\":%llu,\"size\":%llu}\n", at, bytes);
    }
    std::fflush(file_);
}

}  // namespace salvora
