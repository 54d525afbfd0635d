#include "recovery_app/cli/report_source.h"

#include <ctime>

namespace salvora::cli {

namespace {

bool needsQuotes(const std::string& word) {
    if (word.empty())
        return true;
    for (const char c : word) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::string("-_./,:=+@%").find(c) != std::string::npos ||
                           static_cast<unsigned char>(c) >= 0x80;
        if (!plain)
            return true;
    }
    return false;
}

std::string quoted(const std::string& word) {
    if (!needsQuotes(word))
        return word;
    std::string text = "'";
    for (const char c : word)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
    return text;
}

}  // namespace

std::string commandLineText(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i)
        line += (i ? " " : "") + quoted(argv[i]);
    return line;
}

ReportSource reportSource(int argc, char** argv, const ChosenMedium& chosen, uint32_t partition) {
    ReportSource source;
    source.version = SALVORA_VERSION;
    source.commandLine = commandLineText(argc, argv);
    source.startTime = utcNow();
    source.imageFiles = chosen.image ? chosen.description.files : std::vector<std::string>{};
    if (source.imageFiles.empty())
        source.imageFiles.push_back(chosen.medium->devicePath);
    source.size = chosen.medium->size;
    source.sectorSize = chosen.medium->sectorSize;
    source.acquiredHashes = chosen.description.acquiredHashes;
    source.partition = partition;
    return source;
}

}  // namespace salvora::cli
