#include "recovery_app/core/dfxml_report.h"

namespace salvora {

namespace {

constexpr const char* kReplacement = "\xef\xbf\xbd";  // U+FFFD

// Length of the UTF-8 sequence starting at `at` and its code point; 0 when
// the bytes there are not well-formed UTF-8.
size_t decodeUtf8(const std::string& text, size_t at, uint32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    size_t length = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        codePoint = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        codePoint = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (byte(at + i) & 0x3f);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
        return 0;
    return length;
}

// The characters XML 1.0 allows in a document.
bool xmlAllows(uint32_t c) {
    return c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) || (c >= 0xe000 && c <= 0xfffd) ||
           c >= 0x10000;
}

std::string number(uint64_t value) {
    return std::to_string(value);
}

}  // namespace

std::string xmlText(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        uint32_t c = 0;
        const size_t length = decodeUtf8(text, at, c);
        if (length == 0 || !xmlAllows(c)) {
            out += kReplacement;
            at += length == 0 ? 1 : length;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out.append(text, at, length);
        }
        at += length;
    }
    return out;
}

void DfxmlWriter::begin(const ReportSource& source) {
    partition_ = source.partition;
    std::fprintf(out_,
                 "<?xml version='1.0' encoding='UTF-8'?>\n"
                 "<dfxml xmlns='http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML'\n"
                 "       xmlns:dc='http://purl.org/dc/elements/1.1/'\n"
                 "       xmlns:salvora='%s'\n"
                 "       version='2.0.0-beta.0'>\n"
                 "  <metadata>\n"
                 "    <dc:type>Carve Report</dc:type>\n"
                 "  </metadata>\n"
                 "  <creator>\n"
                 "    <program>salvora</program>\n"
                 "    <version>%s</version>\n"
                 "    <execution_environment>\n"
                 "      <command_line>%s</command_line>\n",
                 kSalvoraXmlNamespace, xmlText(source.version).c_str(), xmlText(source.commandLine).c_str());
    if (!source.startTime.empty())
        std::fprintf(out_, "      <start_time>%s</start_time>\n", xmlText(source.startTime).c_str());
    std::fputs("    </execution_environment>\n  </creator>\n  <source>\n", out_);
    for (const std::string& file : source.imageFiles)
        std::fprintf(out_, "    <image_filename>%s</image_filename>\n", xmlText(file).c_str());
    std::fputs("  </source>\n", out_);
    if (source.size == 0)
        return;
    std::fputs("  <diskimageobject>\n    <byte_runs>\n", out_);
    std::fprintf(out_, "      <byte_run img_offset='0' len='%s'", number(source.size).c_str());
    if (source.acquiredHashes.empty()) {
        std::fputs("/>\n", out_);
    } else {
        std::fputs(">\n", out_);
        for (const AcquiredHash& hash : source.acquiredHashes) {
            std::fprintf(out_, "        <hashdigest type='%s'>%s</hashdigest>\n", xmlText(hash.type).c_str(),
                         xmlText(hash.hex).c_str());
        }
        std::fputs("      </byte_run>\n", out_);
    }
    std::fputs("    </byte_runs>\n", out_);
    if (source.sectorSize != 0)
        std::fprintf(out_, "    <sector_size>%u</sector_size>\n", source.sectorSize);
    std::fputs("  </diskimageobject>\n", out_);
}

void DfxmlWriter::file(const ReportedFile& file, const std::string& sha256) {
    const size_t slash = file.path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? file.path : file.path.substr(slash + 1);
    std::fprintf(out_, "  <fileobject>\n    <filename>%s</filename>\n", xmlText(name).c_str());
    if (partition_ != 0)
        std::fprintf(out_, "    <partition>%u</partition>\n", partition_);
    std::fprintf(out_, "    <filesize>%s</filesize>\n    <byte_runs>\n", number(file.size).c_str());
    for (const ReportedRun& run : file.runs) {
        std::fprintf(out_, "      <byte_run file_offset='%s' img_offset='%s' len='%s'/>\n",
                     number(run.fileOffset).c_str(), number(run.mediumOffset).c_str(),
                     number(run.length).c_str());
    }
    std::fputs("    </byte_runs>\n", out_);
    if (!sha256.empty())
        std::fprintf(out_, "    <hashdigest type='sha256'>%s</hashdigest>\n", sha256.c_str());
    if (!file.family.empty())
        std::fprintf(out_, "    <salvora:family>%s</salvora:family>\n", xmlText(file.family).c_str());
    if (!file.sourceName.empty())
        std::fprintf(out_, "    <salvora:source_name>%s</salvora:source_name>\n",
                     xmlText(file.sourceName).c_str());
    if (file.joined)
        std::fputs("    <salvora:joined>true</salvora:joined>\n", out_);
    if (file.partial)
        std::fputs("    <salvora:partial>true</salvora:partial>\n", out_);
    std::fputs("  </fileobject>\n", out_);
}

void DfxmlWriter::unreadable(uint64_t offset, uint64_t length) {
    unreadable_.emplace_back(offset, length);
}

void DfxmlWriter::end() {
    for (const auto& [offset, length] : unreadable_) {
        std::fprintf(out_, "  <salvora:unreadable img_offset='%s' len='%s'/>\n", number(offset).c_str(),
                     number(length).c_str());
    }
    std::fputs("</dfxml>\n", out_);
}

}  // namespace salvora
