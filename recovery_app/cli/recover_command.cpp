#include "recovery_app/cli/recover_command.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "carve/scan.h"
#include "carve/search_space.h"
#include "media/error_text.h"
#include "media/keep_going_reader.h"
#include "recovery_app/cli/arguments.h"
#include "recovery_app/cli/exit_codes.h"
#include "recovery_app/cli/medium_choice.h"
#include "recovery_app/cli/progress_line.h"
#include "recovery_app/cli/report_source.h"
#include "recovery_app/core/destination.h"
#include "recovery_app/core/file_types.h"
#include "recovery_app/core/messages.h"
#include "recovery_app/core/output_guard.h"
#include "recovery_app/core/partition_extent.h"
#include "recovery_app/core/progress_estimate.h"
#include "recovery_app/core/recovery_aids.h"
#include "recovery_app/core/report.h"
#include "recovery_app/core/unreadable_log.h"

namespace salvora::cli {

namespace {

// Stop requests (Ctrl-C, termination) so far; the handler only counts them.
std::atomic<int> gStopRequests{0};

void requestStop(int) {
    gStopRequests.fetch_add(1);
}

// Ctrl-C, a termination request and a closed terminal stop the scan cleanly.
void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "salvora: %s\n", message.c_str());
    return code;
}

// A report or destination on the disk being recovered cannot be used (4); one
// that is the source itself or a block device is a wrong command line (2).
int refusalExitCode(const OutputCheck& check) {
    return check.refusal == OutputRefusal::kSameDisk ? kExitDestination : kExitUsage;
}

// What the scan reports goes to the progress line and, when asked for, the report.
class RecoverObserver : public ScanObserver {
  public:
    RecoverObserver(ProgressLine& line, RecoveryReport& report) : line_(line), report_(report) {}
    void discoveryStarted(uint64_t first, uint64_t last) override { line_.discoveryStarted(first, last); }
    void discoveryProgress(uint64_t offset) override { line_.discoveryProgress(offset); }
    void progressStarted(uint64_t first, uint64_t last) override { line_.progressStarted(first, last); }
    void progress(int percent, uint64_t offset) override { line_.progress(percent, offset); }
    void fileSaved(uint32_t keptCount, const SavedFile& file) override {
        line_.fileSaved(keptCount, file);
        report_.fileSaved(file);
        if (file.partial)
            ++partial_;
    }
    bool stopRequested() override { return line_.stopRequested(); }
    // Files kept although a read failure cut them short.
    uint32_t partial() const { return partial_; }

  private:
    ProgressLine& line_;
    RecoveryReport& report_;
    uint32_t partial_ = 0;
};

// The summary of what could not be read: ranges read around (--keep-going)
// and the part of the partition beyond the medium's end.
void printUnreadable(bool keepGoing, uint64_t bytes, uint64_t beyondEnd) {
    if (beyondEnd != 0) {
        std::printf("%llu bytes (%s) of the partition lie beyond the end of the medium and were not read.\n",
                    static_cast<unsigned long long>(beyondEnd), byteText(beyondEnd).c_str());
    }
    if (!keepGoing)
        return;
    if (bytes == 0 && beyondEnd == 0) {
        std::printf("Every byte of the medium could be read.\n");
    } else if (bytes != 0) {
        std::printf("%llu bytes (%s) could not be read and were taken as zeros.\n",
                    static_cast<unsigned long long>(bytes), byteText(bytes).c_str());
    }
}

int exitCodeFor(int32_t result, uint64_t unreadable, uint64_t beyondEnd) {
    switch (result) {
        case kScanFinished:
            if (beyondEnd != 0)
                return kExitReadFailed;
            return unreadable != 0 ? kExitUnreadable : kExitSuccess;
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
           "  --image FILE     a disk or memory-card image: a raw image, the first part of\n"
           "                   a split image (disk.001 or disk.aa; the other parts are read\n"
           "                   in order) or an Expert Witness image (case.E01; the other\n"
           "                   segments are found beside it); without --partition the\n"
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
           "                 recovered: writing there could overwrite the lost files. Nothing\n"
           "                 in it is ever replaced: the files are numbered on from the\n"
           "                 highest KVnnnnn name already there, and a name that is taken\n"
           "                 is skipped.\n"
           "  --types LIST   comma-separated file types to look for, for example jpg,pdf,zip;\n"
           "                 \"all\" for every type. Types: bmp,jpg,indd,riff,tif,raw,orf,crw,\n"
           "                 x3f,mrw,raf,mp3,doc,pdf,mpg,m2ts,mov,zip,png,gif,webp,heic,mkv,\n"
           "                 flac,ogg,m4a,sqlite,7z,rar. Default: all but indd, mpg, m2ts and\n"
           "                 mov. Every extension a type gives also names it, in any letter\n"
           "                 case: cr2, nef or dng for tif, wav for riff, docx or odt for zip,\n"
           "                 mp4 for mov, xls for doc, avif or cr3 for heic, webm for mkv,\n"
           "                 opus for ogg, ...\n"
           "  --report FILE  write one row per recovered file as the recovery goes: name,\n"
           "                 type, extension, offset of its first byte on the medium, size,\n"
           "                 SHA-256, the name the file system gave it, whether it was\n"
           "                 joined from fragments or is partial, and its byte runs on the\n"
           "                 medium; DFXML when FILE ends in .xml, JSON lines when it\n"
           "                 ends in .jsonl, CSV otherwise. It must not be the image or disk\n"
           "                 itself, nor any disk or partition device, nor lie on the disk\n"
           "                 being recovered\n"
           "  --names        name the files that the card's FAT file system still lists\n"
           "                 (or lists as deleted) after their entries: KV00012_IMG_0042.JPG\n"
           "                 instead of KV00012.jpg\n"
           "  --keep-going   on a damaged medium, read around unreadable sectors (taking\n"
           "                 them as zeros) instead of stopping; each unreadable range is\n"
           "                 listed once, and the summary says how many bytes could not be\n"
           "                 read\n"
           "  --quiet        print only the summary\n"
           "\n"
           "While it runs, a line on standard error shows the percent done over both passes\n"
           "(a first one that finds the block size, then the recovery), the number of\n"
           "files recovered and the elapsed time. Ctrl-C (or a closed terminal, or a\n"
           "termination request) stops cleanly: the files recovered so far stay, the file\n"
           "being written is removed. During the first pass, the files in the part read\n"
           "so far are still recovered; Ctrl-C again stops at once.\n"
           "\n"
           "Exit status: 0 done; 1 the medium could not be read to its end (or the\n"
           "partition reaches beyond the end of the disk or image); 2 wrong command line,\n"
           "or a report or destination that is the image or disk itself or a block device;\n"
           "3 the image or disk cannot be opened (missing, empty, not a file or block\n"
           "device, no rights); 4 the destination or report cannot be used (or lies on the\n"
           "disk being recovered); 5 a recovered file could not be written; 6 there is no\n"
           "such partition, or its length is 0; 7 done with --keep-going, but parts of the\n"
           "medium could not be read and were taken as zeros; 130 interrupted.\n";
}

namespace {

// The byte range to recover: a partition, or the whole medium (length 0).
struct RecoveryRange {
    uint64_t offset = 0;
    uint64_t length = 0;
    std::string description;
    uint64_t beyondEnd = 0;  // bytes of the partition past the medium's end
};

int openSource(const Arguments& args, ChosenMedium& chosen, std::string& error) {
    const int sources = int{args.has("image")} + int{args.has("disk")} + int{args.has("device")};
    if (sources == 0) {
        error = "Please name what to recover from with one of --image FILE, --disk N or --device PATH.";
        return kExitUsage;
    }
    if (sources > 1) {
        error = "Please name only one of --image, --disk, --device.";
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
    range.description = "partition " + std::to_string(number) + " (" + row.label + ", " + row.format + ", " +
                        row.sizeText + ") of " + medium.devicePath;
    range.beyondEnd = bytesBeyondEnd(*partition, medium.size);
    if (range.beyondEnd != 0) {
        const std::string cutShort = cutShortText(number, row, medium.devicePath, medium.size);
        if (range.beyondEnd == partition->size) {
            error = cutShort;
            return kExitReadFailed;
        }
        std::fprintf(stderr, "salvora: %s\n", cutShort.c_str());
    }
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

// Everything a recovery needs, settled before anything is read or written.
struct RecoveryPlan {
    EnabledFamilies families;
    ChosenMedium chosen;
    RecoveryRange range;
    std::string destination;  // prepared: exists, ends with a separator
    RecoveryReport report;
    bool quiet = false;
    bool keepGoing = false;
    bool names = false;  // files a FAT volume still lists are named after their entries
};

// How the recovery went.
struct RecoveryRun {
    int32_t result = kScanFinished;
    uint32_t saved = 0;
    uint32_t partial = 0;  // of the saved files, those a read failure cut short
    uint64_t unreadableBytes = 0;
    std::string failure;  // lastErrorText of a scan that failed
};

// The options of the command line into `plan`: the medium opened, the range
// chosen, the destination and the report ready. Returns nothing when the
// recovery may start, else the exit status (the message printed).
std::optional<int> prepareRecovery(int argc, char** argv, int first, RecoveryPlan& plan) {
    Arguments args;
    std::string error;
    const std::vector<OptionRule> rules{{"image", true},     {"disk", true},        {"device", true},
                                        {"partition", true}, {"out", true},         {"types", true},
                                        {"report", true},    {"keep-going", false}, {"quiet", false},
                                        {"help", false},     {"names", false}};
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
    plan.families = standardFamilies();
    if (args.has("types") && !familiesFromList(args.value("types"), plan.families, error))
        return fail(kExitUsage, error);
    size_t number = 1;
    if (!partitionNumber(args, number, error))
        return fail(kExitUsage, error);
    if (const int code = openSource(args, plan.chosen, error); code != kExitSuccess)
        return fail(code, error);
    MediaReader& medium = *plan.chosen.medium;
    if (const int code = chooseRange(args.has("partition"), number, plan.chosen, plan.range, error);
        code != kExitSuccess) {
        return fail(code, error);
    }

    // Nothing is opened for writing before both outputs are known to be safe.
    const std::string folder = args.value("out", messages::kDefaultSavedFolder);
    const OutputCheck folderCheck = checkDestination(folder, medium, messages::kSameDiskEndingCommandLine);
    if (folderCheck.refusal != OutputRefusal::kNone)
        return fail(refusalExitCode(folderCheck), folderCheck.text);
    if (args.has("report")) {
        const OutputCheck reportCheck = checkReport(args.value("report"), medium);
        if (reportCheck.refusal != OutputRefusal::kNone)
            return fail(refusalExitCode(reportCheck), reportCheck.text);
    }
    if (!prepareDestination(folder, plan.destination, error))
        return fail(kExitDestination, error);

    gStopRequests.store(0);
    installStopHandlers();  // from here on Ctrl-C ends the recovery with a complete report
    if (args.has("report")) {
        const uint32_t partition =
            plan.chosen.image && !args.has("partition") ? 0 : static_cast<uint32_t>(number);
        if (!plan.report.open(args.value("report"), error, reportSource(argc, argv, plan.chosen, partition)))
            return fail(kExitDestination, error);
    }
    plan.quiet = args.has("quiet");
    plan.keepGoing = args.has("keep-going");
    plan.names = args.has("names");
    return std::nullopt;
}

// Scans the planned range, showing progress and writing the report as it goes.
RecoveryRun runRecovery(RecoveryPlan& plan) {
    if (!plan.quiet)
        std::printf("Recovering %s\n", plan.range.description.c_str());
    std::fflush(stdout);
    MediaReader& medium = *plan.chosen.medium;
    ProgressLine progress(stderr, isatty(STDERR_FILENO) != 0, plan.quiet, gStopRequests);
    UnreadableLog unreadableLog([&](const UnreadableRange& bad) {
        progress.note("salvora: cannot read " + std::to_string(bad.length) + " bytes at offset " +
                      std::to_string(bad.offset) + "; they are taken as zeros");
        plan.report.unreadable(bad.offset, bad.length);
    });
    KeepGoingReader keepGoing(medium, [&](const UnreadableRange& bad) { unreadableLog.add(bad); });
    MediaReader& source = plan.keepGoing ? static_cast<MediaReader&>(keepGoing) : medium;
    SearchSpace space;
    initFromPartition(space, source, plan.range.offset, plan.range.length);
    RecoverObserver observer(progress, plan.report);
    RecoveryAids aids;
    aids.prepare(source, plan.range.offset, plan.range.length, plan.names);
    RecoveryRun run;
    clearLastErrorText();
    run.result = runScan(source, plan.destination, plan.families, space, aids.aids(), observer, run.saved);
    run.partial = observer.partial();
    unreadableLog.finish();
    progress.finish(run.result == kScanFinished);
    run.unreadableBytes = keepGoing.unreadableBytes();
    if (run.result != kScanFinished && run.result != kScanStopped)
        run.failure = lastErrorText();
    return run;
}

// The summary of a recovery; returns the exit status. Only a recovery that
// reached the end says it is complete.
int reportRecovery(const RecoveryPlan& plan, const RecoveryRun& run) {
    if (run.result == kScanFinished) {
        std::printf(messages::kRecoveryComplete, static_cast<int>(run.saved));
        std::printf("\n");
        if (run.partial != 0)
            std::printf("%s\n", damagedFilesText(run.partial).c_str());
        printUnreadable(plan.keepGoing, run.unreadableBytes, plan.range.beyondEnd);
        if (!plan.quiet)
            std::printf("The files are in %s\n", plan.destination.c_str());
        return exitCodeFor(run.result, run.unreadableBytes, plan.range.beyondEnd);
    }
    if (run.result == kScanStopped)
        std::fputs("Recovery interrupted.\n", stdout);
    else
        std::fprintf(stderr, "salvora: %s\n", run.failure.c_str());
    std::printf("%s%s recovered into %s before the recovery stopped.\n", fileCountText(run.saved).c_str(),
                run.saved == 1 ? " was" : " were", plan.destination.c_str());
    if (run.partial != 0)
        std::printf("%s\n", partialFilesText(run.partial).c_str());
    printUnreadable(plan.keepGoing, run.unreadableBytes, plan.range.beyondEnd);
    return exitCodeFor(run.result, run.unreadableBytes, plan.range.beyondEnd);
}

}  // namespace

int recoverCommand(int argc, char** argv, int first) {
    RecoveryPlan plan;
    if (const std::optional<int> exitCode = prepareRecovery(argc, argv, first, plan))
        return *exitCode;
    const RecoveryRun run = runRecovery(plan);
    return reportRecovery(plan, run);
}

}  // namespace salvora::cli
