// Exit statuses of the salvora command line.
#pragma once

namespace salvora::cli {

enum ExitCode : int {
    kExitSuccess = 0,        // the recovery ran to the end (or the listing was printed)
    kExitReadFailed = 1,     // the scan stopped early: the medium could not be read (or the
                             // partition reaches beyond the end of the disk or image)
    kExitUsage = 2,          // the command line is wrong (also: a report or destination that is
                             // the source itself or a block device)
    kExitSourceFailed = 3,   // the image or disk cannot be opened (missing, empty, no rights)
    kExitDestination = 4,    // the destination folder cannot be used
    kExitOutputFailed = 5,   // a recovered file could not be created or written
    kExitNoPartition = 6,    // the chosen partition does not exist or has a length of 0
    kExitUnreadable = 7,     // the scan reached the end, but parts of the medium could not be read
                             // and were taken as zeros (--keep-going)
    kExitInterrupted = 130,  // stopped by Ctrl-C or a termination request
};

}  // namespace salvora::cli
