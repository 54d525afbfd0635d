// What salvora sets up in its process before anything else.
#pragma once

namespace salvora::cli {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file opened later (a report, a recovered file) becomes standard output
// or standard error and receives progress lines. Ignores SIGPIPE (a reader
// of the progress output that went away makes that write fail with EPIPE,
// nothing more) and SIGXFSZ (a file-size limit makes the write of that one
// file fail with EFBIG instead of ending the program).
void prepareProcess();

}  // namespace salvora::cli
