#include "recovery_app/cli/disks_command.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "media/bus_type.h"
#include "media/storage_descriptor.h"
#include "recovery_app/cli/arguments.h"
#include "recovery_app/cli/exit_codes.h"
#include "recovery_app/cli/json_text.h"
#include "recovery_app/cli/medium_choice.h"

namespace salvora::cli {

namespace {

// The model column; a disk that reports no model is named by its bus.
std::string shownModel(const DiskRow& row) {
    if (!row.model.empty())
        return row.model;
    if (row.disk->busType == kBusUnknown)
        return "(no name)";
    return std::string("(") + busTypeName(row.disk->busType) + " disk)";
}

const char* mediaType(const MediaReader& disk) {
    return disk.fixedMedia ? "fixed" : "removable";
}

const char* readability(const ListedDisks& disks, const MediaReader& disk) {
    const UnreadableDisk* unreadable = unreadableReason(disks.list, disk);
    if (!unreadable)
        return "";
    return unreadable->failure == OpenFailure::kNoRights ? "  (needs root)" : "  (cannot be read)";
}

void printTable(const ListedDisks& disks) {
    if (disks.rows.empty()) {
        std::puts("No disks found.");
        return;
    }
    std::printf("%3s  %-32s  %14s  %-9s  %s\n", "#", "Model", "Size", "Type", "Device");
    for (size_t i = 0; i < disks.rows.size(); ++i) {
        const DiskRow& row = disks.rows[i];
        std::printf("%3zu  %-32s  %14s  %-9s  %s%s\n", i + 1, shownModel(row).c_str(), row.sizeText.c_str(),
                    mediaType(*row.disk), row.disk->devicePath.c_str(), readability(disks, *row.disk));
    }
    if (makerReaderPresent())
        std::puts("The maker's QX7R card reader is attached.");
}

void printJsonDisk(const ListedDisks& disks, size_t number, const DiskRow& row, bool last) {
    const MediaReader& disk = *row.disk;
    const UnreadableDisk* unreadable = unreadableReason(disks.list, disk);
    std::printf("    {\"index\": %zu, \"device\": %s, \"model\": %s, \"vendor\": %s, \"product\": %s,\n",
                number, jsonString(disk.devicePath).c_str(), jsonString(disk.model).c_str(),
                jsonString(disk.vendor).c_str(), jsonString(disk.product).c_str());
    std::printf("     \"serial\": %s, \"revision\": %s, \"size\": %" PRIu64 ", \"sizeText\": %s,\n",
                jsonString(disk.serial).c_str(), jsonString(disk.revision).c_str(), disk.size,
                jsonString(row.sizeText).c_str());
    std::printf(
        "     \"sectorSize\": %u, \"removable\": %s, \"fixedMedia\": %u, \"busType\": %u, \"bus\": %s,\n",
        disk.sectorSize, disk.fixedMedia ? "false" : "true", disk.fixedMedia, disk.busType,
        jsonString(busTypeName(disk.busType)).c_str());
    std::printf("     \"driveIndex\": %u, \"makerReader\": %s, \"readable\": %s, \"problem\": %s}%s\n",
                disk.driveIndex, isMakerReaderRevision(disk.revision) ? "true" : "false",
                unreadable ? "false" : "true",
                jsonString(unreadable ? unreadableText(disk, *unreadable) : "").c_str(), last ? "" : ",");
}

void printJson(const ListedDisks& disks) {
    std::printf("{\n  \"makerReaderPresent\": %s,\n  \"unreadableWithoutRights\": %u,\n  \"disks\": [\n",
                makerReaderPresent() ? "true" : "false", disks.list.deniedCount);
    for (size_t i = 0; i < disks.rows.size(); ++i) {
        printJsonDisk(disks, i + 1, disks.rows[i], i + 1 == disks.rows.size());
    }
    std::printf("  ]\n}\n");
}

// Says on standard error why listed disks cannot be read: one sentence for
// missing rights, the system's reason for any other refusal.
void reportUnreadable(const ListedDisks& disks) {
    if (disks.list.deniedCount != 0)
        std::fprintf(stderr, "salvora: %s\n", noRightsMessage("disks").c_str());
    for (const auto& [path, unreadable] : disks.list.unreadable) {
        if (unreadable.failure != OpenFailure::kNoRights) {
            std::fprintf(stderr, "salvora: %s\n", unreadable.reason.c_str());
        }
    }
}

}  // namespace

const char* disksUsage() {
    return "Usage: salvora disks [--json]\n"
           "\n"
           "Lists the disks and memory cards attached to this computer, numbered from 1.\n"
           "Use the number with salvora partitions N and salvora recover --disk N.\n"
           "Columns: number, model, size, removable or fixed, device path.\n"
           "Reading disks needs administrator rights: run salvora as root. Disks that\n"
           "cannot be read are still listed, marked (needs root) or (cannot be read),\n"
           "and the reason is given on standard error.\n"
           "\n"
           "Options:\n"
           "  --json   print the list as JSON, with vendor, product, serial, revision,\n"
           "           size in bytes, sector size, bus, the card reader flag and whether\n"
           "           the disk can be read\n"
           "\n"
           "Exit status: 0 listed; 2 wrong command line; 3 the disks cannot be read\n"
           "without administrator rights.\n";
}

int disksCommand(int argc, char** argv, int first) {
    Arguments args;
    std::string error;
    if (!args.parse(argc, argv, first, {{"json", false}, {"help", false}}, error)) {
        std::fprintf(stderr, "salvora: %s See salvora disks --help.\n", error.c_str());
        return kExitUsage;
    }
    if (args.has("help")) {
        std::fputs(disksUsage(), stdout);
        return kExitSuccess;
    }
    if (!args.positional().empty()) {
        std::fprintf(stderr, "salvora: unexpected word \"%s\". See salvora disks --help.\n",
                     args.positional().front().c_str());
        return kExitUsage;
    }
    ListedDisks disks;
    if (const int code = listSystemDisks(disks, error); code != kExitSuccess) {
        std::fprintf(stderr, "salvora: %s\n", error.c_str());
        return code;
    }
    if (args.has("json")) {
        printJson(disks);
    } else {
        printTable(disks);
    }
    reportUnreadable(disks);
    return kExitSuccess;
}

}  // namespace salvora::cli
