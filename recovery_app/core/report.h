// The report of a recovery: one row per saved file, written as the scan goes,
// so that an interrupted scan still leaves a valid report of what was saved.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "carve/recovered_output.h"

namespace salvora {

class RecoveryReport {
  public:
    enum class Format { Csv, JsonLines };

    // The format a report path asks for: ".jsonl" gives JSON lines, anything
    // else CSV.
    static Format formatFor(const std::string& path);

    RecoveryReport() = default;
    ~RecoveryReport();
    RecoveryReport(const RecoveryReport&) = delete;
    RecoveryReport& operator=(const RecoveryReport&) = delete;

    // Creates (or truncates) the report at `path` and writes the CSV heading.
    // Returns false with the reason in `whyNot`.
    bool open(const std::string& path, std::string& whyNot);

    // Appends the row of a saved file: output name, family, final extension,
    // offset of its first byte on the medium, size and SHA-256 of the saved
    // file. The row is flushed at once.
    void fileSaved(const SavedFile& file);

    // Appends a row for a range of the medium that could not be read.
    void unreadable(uint64_t offset, uint64_t length);

    bool isOpen() const { return file_ != nullptr; }

  private:
    std::FILE* file_ = nullptr;
    Format format_ = Format::Csv;
};

}  // namespace salvora
