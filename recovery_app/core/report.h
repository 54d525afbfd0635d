// The report of a recovery: one record per saved file, written as the scan
// goes, so that an interrupted scan still leaves a valid report of what was
// saved. CSV, JSON lines or DFXML, chosen by the report's file name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "carve/recovered_output.h"
#include "media/image_reader.h"

namespace salvora {

// A piece of a saved file and where it lies on the medium.
struct ReportedRun {
    uint64_t fileOffset = 0;    // offset of the run's first byte in the saved file
    uint64_t mediumOffset = 0;  // offset of that byte on the medium
    uint64_t length = 0;
};

// A saved file as the report records it.
struct ReportedFile {
    std::string path;
    std::string family;     // the family's extension, empty when unknown
    std::string extension;  // final extension, as in the name
    uint64_t size = 0;
    std::vector<ReportedRun> runs;  // in file order, together covering size bytes
    std::string sourceName;         // the name a file system gave it; empty when none is known
    bool joined = false;            // put together from more than one piece of the medium
    bool partial = false;  // cut short (a read failure, a piece not found): what could be recovered of it
};

// The record of a file the output stage saved: its byte runs on the medium in
// file order (one run of all its bytes from its start offset when the output
// stage gave none).
ReportedFile reportedFile(const SavedFile& saved);

// What the head of a report says about the recovery (DFXML only).
struct ReportSource {
    std::string version;                  // of salvora
    std::string commandLine;              // as typed, words quoted where they need it
    std::string startTime;                // ISO 8601 in UTC, for example 2024-05-01T09:30:00Z
    std::vector<std::string> imageFiles;  // the image's files, or the device path of a disk
    uint64_t size = 0;                    // of the medium
    uint32_t sectorSize = 0;
    std::vector<AcquiredHash> acquiredHashes;
    uint32_t partition = 0;  // the partition recovered (from 1), 0 for a whole medium
};

// One report format.
class ReportWriter {
  public:
    virtual ~ReportWriter() = default;
    virtual void begin(const ReportSource& source) = 0;
    virtual void file(const ReportedFile& file, const std::string& sha256) = 0;
    virtual void unreadable(uint64_t offset, uint64_t length) = 0;
    // Completes the report; nothing is written after it.
    virtual void end() = 0;
};

class RecoveryReport {
  public:
    enum class Format { Csv, JsonLines, Dfxml };

    // The format a report path asks for: ".xml" gives DFXML, ".jsonl" JSON
    // lines, anything else CSV.
    static Format formatFor(const std::string& path);

    RecoveryReport() = default;
    ~RecoveryReport();
    RecoveryReport(const RecoveryReport&) = delete;
    RecoveryReport& operator=(const RecoveryReport&) = delete;

    // Creates (or truncates) the report at `path` and writes its head (the
    // CSV heading; for DFXML what `source` tells). Returns false with the
    // reason in `whyNot`.
    bool open(const std::string& path, std::string& whyNot, const ReportSource& source = {});

    // Appends the record of a saved file: output name, family, final
    // extension, where its bytes lie on the medium, size and SHA-256 of the
    // saved file. The record is flushed at once.
    void fileSaved(const SavedFile& file);
    void fileSaved(const ReportedFile& file);

    // Appends a record for a range of the medium that could not be read.
    void unreadable(uint64_t offset, uint64_t length);

    // Completes the report (DFXML: closes the document) and closes the file.
    // Idempotent; the destructor calls it.
    void close();

    bool isOpen() const { return file_ != nullptr; }

  private:
    std::FILE* file_ = nullptr;
    std::unique_ptr<ReportWriter> writer_;
};

}  // namespace salvora
