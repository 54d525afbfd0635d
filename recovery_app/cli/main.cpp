// salvora: recovers lost files from memory cards, disks and disk images.
#include <cstdio>
#include <cstring>

#include "recovery_app/cli/disks_command.h"
#include "recovery_app/cli/exit_codes.h"
#include "recovery_app/cli/partitions_command.h"
#include "recovery_app/cli/process_setup.h"
#include "recovery_app/cli/recover_command.h"

namespace {

const char* kUsage =
    "Usage: salvora COMMAND [OPTIONS]\n"
    "\n"
    "Salvora finds lost photographs, raw images, music, videos and documents on a\n"
    "memory card or disk without the help of its file system, and writes every file\n"
    "it finds into a folder of your choice. The card or disk is only ever read.\n"
    "\n"
    "Commands:\n"
    "  disks       list the disks and memory cards (salvora disks --help)\n"
    "  partitions  list the partitions of a disk or image (salvora partitions --help)\n"
    "  recover     recover files from a partition, a disk or a disk image\n"
    "              (salvora recover --help)\n"
    "\n"
    "A typical session: salvora disks, then salvora partitions 2, then\n"
    "salvora recover --disk 2 --partition 1 --out /home/me/rescued\n"
    "Reading disks needs administrator rights: run salvora as root.\n"
    "\n"
    "Options:\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace salvora::cli;
    prepareProcess();
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
        std::strcmp(command, "help") == 0) {
        std::fputs(kUsage, stdout);
        return kExitSuccess;
    }
    if (std::strcmp(command, "--version") == 0) {
        std::puts("Salvora 1.4.0.0");
        return kExitSuccess;
    }
    if (std::strcmp(command, "recover") == 0)
        return recoverCommand(argc, argv, 2);
    if (std::strcmp(command, "disks") == 0)
        return disksCommand(argc, argv, 2);
    if (std::strcmp(command, "partitions") == 0)
        return partitionsCommand(argc, argv, 2);
    std::fprintf(stderr, "salvora: unknown command \"%s\".\n\n%s", command, kUsage);
    return kExitUsage;
}
