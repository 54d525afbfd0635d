#include "recovery_app/cli/partitions_command.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "partitions/gpt_partition_table.h"
#include "recovery_app/cli/arguments.h"
#include "recovery_app/cli/exit_codes.h"
#include "recovery_app/cli/image_lines.h"
#include "recovery_app/cli/json_text.h"
#include "recovery_app/cli/medium_choice.h"
#include "recovery_app/core/partition_extent.h"
#include "recovery_app/core/size_text.h"

namespace salvora::cli {

namespace {

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "salvora: %s\n", message.c_str());
    return code;
}

bool isGpt(const MediaReader& medium) {
    return medium.partitionScheme == &gptPartitionScheme();
}

void printTable(const ChosenMedium& chosen, const ListedPartitions& partitions) {
    const MediaReader& medium = *chosen.medium;
    const bool names = isGpt(medium);
    std::printf("Partitions of %s (%s%s):\n", medium.devicePath.c_str(), sizeText(medium.size).c_str(),
                names ? ", GUID partition table" : "");
    if (chosen.image)
        printImageLines(chosen.description, medium);
    std::printf("%3s  %-24s  %-8s  %14s  %15s%s\n", "#", "Label", "Format", "Size", "Offset",
                names ? "  Name" : "");
    for (size_t i = 0; i < partitions.rows.size(); ++i) {
        const PartitionRow& row = partitions.rows[i];
        std::printf("%3zu  %-24s  %-8s  %14s  %15" PRIu64 "%s\n", i + 1, row.label.c_str(),
                    row.format.c_str(), row.sizeText.c_str(), row.partition->offset,
                    names ? ("  " + row.name).c_str() : "");
    }
}

void printJsonRow(size_t number, const PartitionRow& row, bool last) {
    const PartitionRecord& record = *row.partition;
    std::printf("    {\"index\": %zu, \"label\": %s, \"format\": %s, \"sizeText\": %s,\n", number,
                jsonString(row.label).c_str(), jsonString(row.format).c_str(),
                jsonString(row.sizeText).c_str());
    std::printf("     \"offset\": %" PRIu64 ", \"size\": %" PRIu64 ", \"volumeLabel\": %s, \"fsName\": %s,\n",
                record.offset, record.size, jsonString(latin1ToUtf8(record.label)).c_str(),
                jsonString(record.fsName).c_str());
    std::printf("     \"name\": %s, \"typeGuid\": %s,\n", jsonString(record.name).c_str(),
                jsonString(record.typeGuid).c_str());
    std::printf("     \"fsKind\": %u, \"typeByte\": %u, \"status\": %u, \"order\": %u}%s\n", record.fsKind,
                record.typeByte, record.status, record.order, last ? "" : ",");
}

void printJson(const ChosenMedium& chosen, const ListedPartitions& partitions) {
    const MediaReader& medium = *chosen.medium;
    std::printf("{\n  \"device\": %s,\n  \"size\": %" PRIu64
                ",\n  \"sizeText\": %s,\n  \"sectorSize\": %u,\n  \"table\": %s,\n",
                jsonString(medium.devicePath).c_str(), medium.size, jsonString(sizeText(medium.size)).c_str(),
                medium.sectorSize, isGpt(medium) ? "\"GPT\"" : "\"PC\"");
    if (chosen.image)
        printJsonImage(chosen.description);
    std::printf("  \"partitions\": [\n");
    for (size_t i = 0; i < partitions.rows.size(); ++i) {
        printJsonRow(i + 1, partitions.rows[i], i + 1 == partitions.rows.size());
    }
    std::printf("  ]\n}\n");
}

// Names on standard error every partition that reaches beyond the medium's
// end; false when there is one.
bool allPartitionsFit(const MediaReader& medium, const ListedPartitions& partitions) {
    bool fit = true;
    for (size_t i = 0; i < partitions.rows.size(); ++i) {
        const std::string text = cutShortText(i + 1, partitions.rows[i], medium.devicePath, medium.size);
        if (!text.empty())
            std::fprintf(stderr, "salvora: %s\n", text.c_str());
        fit = fit && text.empty();
    }
    return fit;
}

}  // namespace

const char* partitionsUsage() {
    return "Usage: salvora partitions DISK [--json]\n"
           "       salvora partitions --image FILE [--json]\n"
           "\n"
           "Lists the partitions of a disk, numbered from 1, with their label (NO NAME\n"
           "when the volume has none), format (FAT12, FAT16, FAT32, NTFS, or Unknown),\n"
           "size and byte offset. Use the number with salvora recover --partition K.\n"
           "A card or disk without a readable file system, or whose partition table is\n"
           "empty, is shown as one Unknown partition covering all of it. PC partition\n"
           "tables and GUID partition tables (GPT) are read; GPT partitions also show\n"
           "their name, which stands in the Label column when the volume has no label.\n"
           "\n"
           "DISK is the number salvora disks prints, or a device path such as /dev/sdb.\n"
           "Reading a disk needs administrator rights: run salvora as root.\n"
           "\n"
           "Options:\n"
           "  --image FILE   list the partitions of a disk image instead: a raw image, a\n"
           "                 split one (disk.001, disk.aa) or an Expert Witness one\n"
           "                 (case.E01), whose hash as acquired is shown too\n"
           "  --json         print the list as JSON, with offsets and sizes in bytes,\n"
           "                 partition type byte (GPT: type GUID and name), status and\n"
           "                 slot number\n"
           "\n"
           "Exit status: 0 listed; 1 the disk could not be read, or a partition reaches\n"
           "beyond the end of the disk or image (it is named on standard error); 2 wrong\n"
           "command line; 3 the disk or image cannot be opened (missing, empty, not a\n"
           "file or block device, no rights).\n";
}

int partitionsCommand(int argc, char** argv, int first) {
    Arguments args;
    std::string error;
    if (!args.parse(argc, argv, first, {{"image", true}, {"json", false}, {"help", false}}, error)) {
        return fail(kExitUsage, error + " See salvora partitions --help.");
    }
    if (args.has("help")) {
        std::fputs(partitionsUsage(), stdout);
        return kExitSuccess;
    }
    const auto& words = args.positional();
    if (words.size() > 1 || (words.size() == 1) == args.has("image")) {
        return fail(kExitUsage,
                    "Please name one disk (its number or device path) or --image FILE. "
                    "See salvora partitions --help.");
    }
    ChosenMedium chosen;
    const int opened = args.has("image") ? chooseImage(args.value("image"), chosen, error)
                                         : chooseDisk(words.front(), chosen, error);
    if (opened != kExitSuccess)
        return fail(opened, error);
    ListedPartitions partitions;
    if (const int code = listPartitions(*chosen.medium, partitions, error); code != kExitSuccess) {
        return fail(code, error);
    }
    if (args.has("json")) {
        printJson(chosen, partitions);
    } else {
        printTable(chosen, partitions);
    }
    std::fflush(stdout);
    return allPartitionsFit(*chosen.medium, partitions) ? kExitSuccess : kExitReadFailed;
}

}  // namespace salvora::cli
