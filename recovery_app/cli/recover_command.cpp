#include "recovery_app/cli/recover_command.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "carve/scan.h"
#include "carve/search_space.h"
#include "media/error_text.h"
#include "media/keep_going_reader.h"
#include "recovery_app/cli/arguments.h"
#include "recovery_app/cli/exit_codes.h"
#include "recovery_app/cli/json_text.h"
#include "recovery_app/cli/medium_choice.h"
#include "recovery_app/cli/progress_line.h"
#include "recovery_app/core/destination.h"
#include "recovery_app/core/destination_check.h"
#include "recovery_app/core/file_types.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/core/progress_estimate.h"
#include "recovery_app/core/report.h"

namespace salvora::cli {

namespace {

std::atomic<bool> gStopRequested{false};

void requestStop(int) {
    gStopRequested.store(true);
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "salvora: %s\n", message.c_str());
    return code;
}

// What the scan reports goes to the progress line and, when asked for, the report.
class RecoverObserver : public ScanObserver {
  public:
    RecoverObserver(ProgressLine& line, RecoveryReport& report) : line_(line), report_(report) {}
    void progressStarted(uint64_t first, uint64_t last) override { line_.progressStarted(first, last); }
    void progress(int percent, uint64_t offset) override { line_.progress(percent, offset); }
    void fileSaved(uint32_t keptCount, const SavedFile& file) override {
        line_.fileSaved(keptCount, file);
        report_.fileSaved(file);
    }
    bool stopRequested() override { return line_.stopRequested(); }

  private:
    ProgressLine& line_;
    RecoveryReport& report_;
};

void printUnreadable(uint64_t bytes) {
    if (bytes == 0) {
        std::printf("Every byte of the medium could be read.\n");
        return;
    }
    std::printf("%llu bytes (%s) could not be read and were taken as zeros.\n",
                static_cast<unsigned long long>(bytes), byteText(bytes).c_str());
}

int exitCodeFor(int32_t result) {
    switch (result) {
        case kScanFinished:
            return kExitSuccess;
        case kScanReadFailed:
            return kExitReadFailed;
        case kScanStopped:
            return kExitInterrupted;
        default:
            return kExitOutputFailed;
    }
}

}  // namespace

const char* recoverUsage() {
    return "Usage: salvora recover --image FILE [--partition K] [OPTIONS]\n"
           "       salvora recover --disk N [--partition K] [OPTIONS]\n"
           "       salvora recover --device PATH [--partition K] [OPTIONS]\n"
           "\n"
           "Reads a partition of a disk or memory card (or a whole disk image) block by\n"
           "block, finds the files it holds by their signatures and writes each one into\n"
           "DIR as KV00000.jpg, KV00001.pdf, ... The disk or image is only ever read;\n"
           "nothing on it changes.\n"
           "\n"
           "What to recover from:\n"
           "  --image FILE     a disk or memory-card image file; without --partition the\n"
           "                   whole image is searched\n"
           "  --disk N         disk number N as salvora disks prints it\n"
           "  --device PATH    a disk by its device path, for example /dev/sdb\n"
           "  --partition K    partition number K as salvora partitions prints it; for a\n"
           "                   disk the first partition is taken when it is not given\n"
           "Reading a disk needs administrator rights: run salvora as root.\n"
           "\n"
           "Options:\n"
           "  --out DIR      destination folder, created when missing (default: \"Saved Files\"\n"
           "                 in the current folder). It must not lie on the disk being\n"
           "                 recovered: writing there could overwrite the lost files. Files\n"
           "                 of an earlier recovery with the same names are overwritten.\n"
           "  --types LIST   comma-separated file types to look for, for example jpg,pdf,zip;\n"
           "                 \"all\" for every type. Types: bmp,jpg,indd,riff,tif,raw,orf,crw,\n"
           "                 x3f,mrw,raf,mp3,doc,pdf,mpg,m2ts,mov,zip,png,gif,webp,heic (also\n"
           "                 avif, cr3),mkv (also webm),flac,ogg (also opus),m4a,sqlite,7z,rar.\n"
           "                 Default: all but indd, mpg, m2ts and mov.\n"
           "  --report FILE  write one row per recovered file as the recovery goes: name,\n"
           "                 type, extension, offset of its first byte on the medium, size\n"
           "                 and SHA-256; JSON lines when FILE ends in .jsonl, CSV otherwise\n"
           "  --keep-going   on a damaged medium, read around unreadable sectors (taking\n"
           "                 them as zeros) instead of stopping; each unreadable range is\n"
           "                 listed, and the summary says how many bytes could not be read\n"
           "  --quiet        print only the summary\n"
           "\n"
           "While it runs, a line on standard error shows the percent done, the number of\n"
           "files recovered and the elapsed time. Ctrl-C stops cleanly: the files recovered\n"
           "so far stay, the file being written is removed.\n"
           "\n"
           "Exit status: 0 done; 1 the medium could not be read to its end; 2 wrong command\n"
           "line; 3 the image or disk cannot be opened (missing, empty, no rights); 4 the\n"
           "destination cannot be used (or lies on the disk being recovered); 5 a recovered\n"
           "file could not be written; 6 there is no such partition, or its length is 0;\n"
           "130 interrupted.\n";
}

namespace {

// The byte range to recover: a partition, or the whole medium (length 0).
struct RecoveryRange {
    uint64_t offset = 0;
    uint64_t length = 0;
    std::string description;
};

int openSource(const Arguments& args, ChosenMedium& chosen, std::string& error) {
    const int sources = int{args.has("image")} + int{args.has("disk")} + int{args.has("device")};
    if (sources != 1) {
        error = "Please name what to recover from with one of --image FILE, --disk N or --device PATH.";
        return kExitUsage;
    }
    if (args.has("image"))
        return chooseImage(args.value("image"), chosen, error);
    if (args.has("disk"))
        return chooseListedDisk(args.value("disk"), chosen, error);
    return chooseDevice(args.value("device"), chosen, error);
}

// The partition number given with --partition, 1 when none is given.
bool partitionNumber(const Arguments& args, size_t& number, std::string& error) {
    number = 1;
    if (!args.has("partition") || parseRowNumber(args.value("partition"), number))
        return true;
    error = "\"" + args.value("partition") + "\" is not a partition number; salvora partitions lists them.";
    return false;
}

int choosePartition(size_t number, MediaReader& medium, RecoveryRange& range, std::string& error) {
    ListedPartitions partitions;
    if (const int code = listPartitions(medium, partitions, error); code != kExitSuccess)
        return code;
    const PartitionRecord* partition = partitionToRecover(partitions.rows, number - 1);
    if (!partition) {
        error = std::string(messages::kGetPartitionFail) + "\n" +
                (number > partitions.rows.size()
                     ? "There is no partition " + std::to_string(number) + ": salvora partitions lists " +
                           std::to_string(partitions.rows.size()) + "."
                     : "Partition " + std::to_string(number) + " has a length of 0 bytes.");
        return kExitNoPartition;
    }
    const PartitionRow& row = partitions.rows[number - 1];
    range.offset = partition->offset;
    range.length = partition->size;
    range.description = "partition " + std::to_string(number) + " (" + latin1ToUtf8(row.label) + ", " +
                        row.format + ", " + row.sizeText + ") of " + medium.devicePath;
    return kExitSuccess;
}

// An image without --partition is searched whole; otherwise partition `number`.
int chooseRange(bool partitionGiven, size_t number, ChosenMedium& chosen, RecoveryRange& range,
                std::string& error) {
    if (chosen.image && !partitionGiven) {
        range.description = "the whole image " + chosen.medium->devicePath;
        return kExitSuccess;
    }
    return choosePartition(number, *chosen.medium, range, error);
}

}  // namespace

int recoverCommand(int argc, char** argv, int first) {
    Arguments args;
    std::string error;
    const std::vector<OptionRule> rules{
        {"image", true}, {"disk", true},   {"device", true},      {"partition", true}, {"out", true},
        {"types", true}, {"report", true}, {"keep-going", false}, {"quiet", false},    {"help", false}};
    if (!args.parse(argc, argv, first, rules, error))
        return fail(kExitUsage, error + " See salvora recover --help.");
    if (args.has("help")) {
        std::fputs(recoverUsage(), stdout);
        return kExitSuccess;
    }
    if (!args.positional().empty()) {
        return fail(kExitUsage,
                    "Unexpected word \"" + args.positional().front() + "\". See salvora recover --help.");
    }

    EnabledFamilies families = standardFamilies();
    if (args.has("types") && !familiesFromList(args.value("types"), families, error)) {
        return fail(kExitUsage, error);
    }

    size_t number = 1;
    if (!partitionNumber(args, number, error))
        return fail(kExitUsage, error);
    ChosenMedium chosen;
    if (const int code = openSource(args, chosen, error); code != kExitSuccess)
        return fail(code, error);
    MediaReader& medium = *chosen.medium;
    RecoveryRange range;
    const int chosenRange = chooseRange(args.has("partition"), number, chosen, range, error);
    if (chosenRange != kExitSuccess)
        return fail(chosenRange, error);

    const std::string folder = args.value("out", messages::kDefaultSavedFolder);
    if (destinationOnDisk(folder, medium)) {
        const std::string refusal =
            sameDiskMessage(folder, diskName(medium), messages::kSameDiskEndingCommandLine);
        return fail(kExitDestination, refusal);
    }
    std::string destination;
    if (!prepareDestination(folder, destination, error))
        return fail(kExitDestination, error);

    RecoveryReport report;
    if (args.has("report")) {
        const std::string reportPath = args.value("report");
        if (destinationOnDisk(reportPath, medium)) {
            return fail(kExitDestination,
                        "The report " + reportPath +
                            " would be written on the disk being recovered. Please write it elsewhere.");
        }
        if (!report.open(reportPath, error))
            return fail(kExitDestination, error);
    }

    const bool quiet = args.has("quiet");
    if (!quiet)
        std::printf("Recovering %s\n", range.description.c_str());
    std::fflush(stdout);
    gStopRequested.store(false);
    installStopHandlers();
    ProgressLine progress(stderr, isatty(STDERR_FILENO) != 0, quiet, gStopRequested);
    KeepGoingReader keepGoing(medium, [&](const UnreadableRange& bad) {
        progress.note("salvora: cannot read " + std::to_string(bad.length) + " bytes at offset " +
                      std::to_string(bad.offset) + "; they are taken as zeros");
        report.unreadable(bad.offset, bad.length);
    });
    MediaReader& source = args.has("keep-going") ? static_cast<MediaReader&>(keepGoing) : medium;
    SearchSpace space;
    initFromPartition(space, source, range.offset, range.length);
    RecoverObserver observer(progress, report);
    uint32_t saved = 0;
    clearLastErrorText();
    const int32_t result = runScan(source, destination, families, space, 0, observer, saved);
    progress.finish(result == kScanFinished);
    if (result == kScanFinished || result == kScanStopped) {
        if (result == kScanStopped)
            std::fputs("Recovery interrupted.\n", stdout);
        std::printf(messages::kRecoveryComplete, static_cast<int>(saved));
        std::printf("\n");
        if (args.has("keep-going"))
            printUnreadable(keepGoing.unreadableBytes());
        if (!quiet)
            std::printf("The files are in %s\n", destination.c_str());
        return exitCodeFor(result);
    }
    std::fprintf(stderr, "salvora: %s\n", lastErrorText().c_str());
    std::printf("%u files were recovered into %s before the recovery stopped.\n", saved, destination.c_str());
    if (args.has("keep-going"))
        printUnreadable(keepGoing.unreadableBytes());
    return exitCodeFor(result);
}

}  // namespace salvora::cli
