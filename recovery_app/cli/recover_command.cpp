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
#include "media/image_reader.h"
#include "recovery_app/cli/arguments.h"
#include "recovery_app/cli/exit_codes.h"
#include "recovery_app/cli/progress_line.h"
#include "recovery_app/core/destination.h"
#include "recovery_app/core/file_types.h"
#include "recovery_app/core/messages.h"

namespace salvora::cli {

namespace {

std::atomic<bool> gStopRequested{false};

void requestStop(int) { gStopRequested.store(true); }

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
    return "Usage: salvora recover --image FILE [--out DIR] [--types LIST] [--quiet]\n"
           "\n"
           "Reads the disk image FILE block by block, finds the files it holds by their\n"
           "signatures and writes each one into DIR as KV00000.jpg, KV00001.pdf, ...\n"
           "The image is only ever read; nothing on it changes.\n"
           "\n"
           "Options:\n"
           "  --image FILE   the disk or memory-card image to recover from\n"
           "  --out DIR      destination folder, created when missing (default: \"Saved Files\"\n"
           "                 in the current folder). Files of an earlier recovery with the\n"
           "                 same names are overwritten.\n"
           "  --types LIST   comma-separated file types to look for, for example jpg,pdf,zip;\n"
           "                 \"all\" for every type. Types: bmp,jpg,indd,riff,tif,raw,orf,crw,\n"
           "                 x3f,mrw,raf,mp3,doc,pdf,mpg,m2ts,mov,zip. Default: all but indd,\n"
           "                 mpg, m2ts and mov.\n"
           "  --quiet        print only the summary\n"
           "\n"
           "While it runs, a line on standard error shows the percent done, the number of\n"
           "files recovered and the elapsed time. Ctrl-C stops cleanly: the files recovered\n"
           "so far stay, the file being written is removed.\n"
           "\n"
           "Exit status: 0 done; 1 the medium could not be read to its end; 2 wrong command\n"
           "line; 3 the image cannot be opened; 4 the destination cannot be used; 5 a\n"
           "recovered file could not be written; 130 interrupted.\n";
}

int recoverCommand(int argc, char** argv, int first) {
    Arguments args;
    std::string error;
    const std::vector<OptionSpec> specs{{"image", true}, {"out", true},   {"types", true},
                                        {"quiet", false}, {"help", false}};
    if (!args.parse(argc, argv, first, specs, error)) return fail(kExitUsage, error + " See salvora recover --help.");
    if (args.has("help")) {
        std::fputs(recoverUsage(), stdout);
        return kExitSuccess;
    }
    if (!args.positional().empty()) {
        return fail(kExitUsage, "Unexpected word \"" + args.positional().front() + "\". See salvora recover --help.");
    }
    if (!args.has("image")) return fail(kExitUsage, "Please name the image to recover from with --image FILE.");

    EnabledFamilies families = standardFamilies();
    if (args.has("types") && !familiesFromList(args.value("types"), families, error)) {
        return fail(kExitUsage, error);
    }

    std::unique_ptr<MediaReader> medium = openImage(args.value("image"), error);
    if (!medium) return fail(kExitSourceFailed, error);

    std::string destination;
    if (!prepareDestination(args.value("out", messages::kDefaultSavedFolder), destination, error)) {
        return fail(kExitDestination, error);
    }

    SearchSpace space;
    initFromPartition(space, *medium, 0, 0);
    gStopRequested.store(false);
    installStopHandlers();
    const bool quiet = args.has("quiet");
    ProgressLine progress(stderr, isatty(STDERR_FILENO) != 0, quiet, gStopRequested);
    uint32_t saved = 0;
    clearLastErrorText();
    const int32_t result = runScan(*medium, destination, families, space, 0, progress, saved);
    progress.finish(result == kScanFinished);

    if (result == kScanFinished || result == kScanStopped) {
        if (result == kScanStopped) std::fputs("Recovery interrupted.\n", stdout);
        std::printf(messages::kRecoveryComplete, static_cast<int>(saved));
        std::printf("\n");
        if (!quiet) std::printf("The files are in %s\n", destination.c_str());
        return exitCodeFor(result);
    }
    std::fprintf(stderr, "salvora: %s\n", lastErrorText().c_str());
    std::printf("%u files were recovered into %s before the recovery stopped.\n", saved, destination.c_str());
    return exitCodeFor(result);
}

}  // namespace salvora::cli
