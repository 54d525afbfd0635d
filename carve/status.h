// How a scan, or a step of it, came out: a result code and the words that
// explain a failure. The scan's internals pass a Status up to runScan, which
// alone turns a failure into lastErrorText.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace salvora {

// Results of runScan.
enum ScanResult : int32_t {
    kScanFinished = 0,      // the search space was walked to its end
    kScanReadFailed = 1,    // a read of the medium returned no data
    kScanCreateFailed = 2,  // an output file could not be created
    kScanWriteFailed = 3,   // writing an output file failed
    kScanStopped = 4,       // the observer asked the scan to stop
};

struct Status {
    ScanResult code = kScanFinished;
    std::string text;  // empty when all is well; the reason otherwise

    Status() = default;
    Status(ScanResult resultCode, std::string reason) : code(resultCode), text(std::move(reason)) {}
    // The failure `code` with the C library's words for `errorNumber`.
    static Status fromError(ScanResult resultCode, int errorNumber);

    bool ok() const { return code == kScanFinished; }
};

}  // namespace salvora
