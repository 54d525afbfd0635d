// Reads a whole image through salvora's image opener, as the scan does (one
// read of 512 KiB after the other), and prints the time it took.
//
// Usage: bench_read_image IMAGE
// Prints: "<format> <bytes> <seconds> <MB/s>".
#include <chrono>
#include <cstdio>
#include <vector>

#include "media/image_reader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: bench_read_image IMAGE\n");
        return 2;
    }
    std::string why;
    salvora::ImageDescription described;
    const auto reader = salvora::openImage(argv[1], why, &described);
    if (!reader) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    const char* format = described.format == salvora::ImageFormat::kExpertWitness ? "E01"
                         : described.format == salvora::ImageFormat::kSplitRaw    ? "split"
                                                                                  : "raw";
    std::vector<uint8_t> block(524288);
    const auto start = std::chrono::steady_clock::now();
    uint64_t total = 0;
    for (uint64_t at = 0; at < reader->size; at += block.size()) {
        const int32_t got = reader->readAt(block.data(), static_cast<uint32_t>(block.size()), at);
        if (got <= 0) {
            std::fprintf(stderr, "read failed at %llu\n", static_cast<unsigned long long>(at));
            return 1;
        }
        total += static_cast<uint64_t>(got);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s %llu %.3f %.1f\n", format, static_cast<unsigned long long>(total), seconds,
                static_cast<double>(total) / (1 << 20) / seconds);
    return 0;
}
