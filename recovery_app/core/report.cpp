#include "recovery_app/core/report.h"

#include <cerrno>
#include <cstring>

#include "recovery_app/core/dfxml_report.h"
#include "recovery_app/core/sha256.h"

namespace salvora {

namespace {

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
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

// The medium offset of a file's first byte.
unsigned long long firstOffset(const ReportedFile& file) {
    return file.runs.empty() ? 0ull : static_cast<unsigned long long>(file.runs.front().mediumOffset);
}

// The byte runs as "offset+length" pieces separated by spaces.
std::string runsText(const ReportedFile& file) {
    std::string text;
    for (const ReportedRun& run : file.runs) {
        if (!text.empty())
            text += ' ';
        text += std::to_string(run.mediumOffset) + "+" + std::to_string(run.length);
    }
    return text;
}

std::string jsonRuns(const ReportedFile& file) {
    std::string text = "[";
    for (const ReportedRun& run : file.runs) {
        if (text.size() > 1)
            text += ',';
        text += "{\"offset\":" + std::to_string(run.mediumOffset) +
                ",\"length\":" + std::to_string(run.length) + "}";
    }
    return text + "]";
}

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

class CsvWriter : public ReportWriter {
  public:
    explicit CsvWriter(std::FILE* out) : out_(out) {}
    void begin(const ReportSource&) override {
        std::fputs("name,family,extension,offset,size,sha256,source_name,joined,partial,runs\n", out_);
    }
    void file(const ReportedFile& file, const std::string& sha256) override {
        std::fprintf(out_, "%s,%s,%s,%llu,%llu,%s,%s,%s,%s,%s\n", csvField(fileName(file.path)).c_str(),
                     csvField(file.family).c_str(), csvField(file.extension).c_str(), firstOffset(file),
                     static_cast<unsigned long long>(file.size), sha256.c_str(),
                     csvField(file.sourceName).c_str(), yesNo(file.joined), yesNo(file.partial),
                     csvField(runsText(file)).c_str());
    }
    void unreadable(uint64_t offset, uint64_t length) override {
        std::fprintf(out_, "\"(unreadable)\",\"\",\"\",%llu,%llu,,,,,\n",
                     static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length));
    }
    void end() override {}

  private:
    std::FILE* out_;
};

class JsonLinesWriter : public ReportWriter {
  public:
    explicit JsonLinesWriter(std::FILE* out) : out_(out) {}
    void begin(const ReportSource&) override {}
    void file(const ReportedFile& file, const std::string& sha256) override {
        std::fprintf(
            out_,
            "{\"name\":%s,\"family\":%s,\"extension\":%s,\"offset\":%llu,\"size\":%llu,\"sha256\":\"%s\","
            "\"source_name\":%s,\"joined\":%s,\"partial\":%s,\"runs\":%s}\n",
            jsonString(fileName(file.path)).c_str(), jsonString(file.family).c_str(),
            jsonString(file.extension).c_str(), firstOffset(file), static_cast<unsigned long long>(file.size),
            sha256.c_str(), jsonString(file.sourceName).c_str(), file.joined ? "true" : "false",
            file.partial ? "true" : "false", jsonRuns(file).c_str());
    }
    void unreadable(uint64_t offset, uint64_t length) override {
        std::fprintf(out_, "{\"unreadable\":true,\"offset\":%llu,\"size\":%llu}\n",
                     static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length));
    }
    void end() override {}

  private:
    std::FILE* out_;
};

std::unique_ptr<ReportWriter> writerFor(RecoveryReport::Format format, std::FILE* out) {
    switch (format) {
        case RecoveryReport::Format::Dfxml:
            return std::make_unique<DfxmlWriter>(out);
        case RecoveryReport::Format::JsonLines:
            return std::make_unique<JsonLinesWriter>(out);
        case RecoveryReport::Format::Csv:
            break;
    }
    return std::make_unique<CsvWriter>(out);
}

}  // namespace

ReportedFile reportedFile(const SavedFile& saved) {
    ReportedFile file;
    file.path = saved.path;
    file.family = saved.family ? saved.family->extension : "";
    file.extension = saved.extension;
    file.size = saved.size;
    file.sourceName = saved.sourceName;
    file.joined = saved.joined;
    file.partial = saved.partial;
    if (saved.runs.empty()) {
        file.runs.push_back({0, saved.startOffset, saved.size});
        return file;
    }
    uint64_t fileOffset = 0;
    for (const ByteRun& run : saved.runs) {
        file.runs.push_back({fileOffset, run.offset, run.length});
        fileOffset += run.length;
    }
    return file;
}

RecoveryReport::Format RecoveryReport::formatFor(const std::string& path) {
    if (endsWith(path, ".xml"))
        return Format::Dfxml;
    return endsWith(path, ".jsonl") ? Format::JsonLines : Format::Csv;
}

RecoveryReport::~RecoveryReport() {
    close();
}

bool RecoveryReport::open(const std::string& path, std::string& whyNot, const ReportSource& source) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        whyNot = "Cannot write the report " + path + ": " + std::strerror(errno) + ".";
        return false;
    }
    writer_ = writerFor(formatFor(path), file_);
    writer_->begin(source);
    std::fflush(file_);
    return true;
}

void RecoveryReport::fileSaved(const SavedFile& saved) {
    fileSaved(reportedFile(saved));
}

void RecoveryReport::fileSaved(const ReportedFile& file) {
    if (!file_)
        return;
    writer_->file(file, sha256OfFile(file.path));
    std::fflush(file_);
}

void RecoveryReport::unreadable(uint64_t offset, uint64_t length) {
    if (!file_)
        return;
    writer_->unreadable(offset, length);
    std::fflush(file_);
}

void RecoveryReport::close() {
    if (!file_)
        return;
    writer_->end();
    std::fclose(file_);
    file_ = nullptr;
    writer_.reset();
}

}  // namespace salvora
