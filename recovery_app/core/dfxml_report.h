// The recovery report in DFXML (Digital Forensics XML, schema 2.0.0-beta.0),
// the format forensic tools exchange carving results in:
//
//   <dfxml>            metadata (dc:type "Carve Report"), creator (program,
//                      version, command line, start time), source (the
//                      image's files), a diskimageobject (one byte run over
//                      the whole medium carrying the acquisition hashes, and
//                      the sector size),
//   <fileobject>       one per saved file: filename, partition, filesize,
//                      byte_runs (file_offset, img_offset, len), sha256, and
//                      salvora:family;
//   </dfxml>           after the ranges that could not be read
//                      (salvora:unreadable img_offset len), which are kept
//                      until the end because DFXML has no place for them
//                      between file objects.
//
// Texts are UTF-8; bytes that are not, and characters XML does not allow,
// become U+FFFD.
//
// Each file object is complete when written, so a report cut short by a
// crash lists every file saved before it; end() closes the document.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "recovery_app/core/report.h"

namespace salvora {

// The namespace of salvora's own elements and attributes in a DFXML report.
constexpr const char* kSalvoraXmlNamespace = "urn:x-salvora:dfxml";

class DfxmlWriter : public ReportWriter {
  public:
    // Writes to `out`, which the caller owns and flushes.
    explicit DfxmlWriter(std::FILE* out) : out_(out) {}

    void begin(const ReportSource& source) override;
    void file(const ReportedFile& file, const std::string& sha256) override;
    void unreadable(uint64_t offset, uint64_t length) override;
    void end() override;

  private:
    std::FILE* out_;
    uint32_t partition_ = 0;
    std::vector<std::pair<uint64_t, uint64_t>> unreadable_;
};

// `text` made fit for XML character data and attribute values: markup
// characters escaped; characters XML does not allow, and bytes that are not
// UTF-8, replaced by U+FFFD.
std::string xmlText(const std::string& text);

}  // namespace salvora
