// Figures of the JPEG entropy-coded data validator.
//
// Usage: bench_jpeg_validate speed FILE...
//   Prints, per file, its size and the best of five validations (time, MB/s).
// Usage: bench_jpeg_validate damage COPIES BLOCK FILE...
//   Makes COPIES copies of each file with BLOCK bytes of its scan data
//   overwritten (by random bytes, by another file's scan data, by zeros),
//   validates each, has djpeg decode each, and prints per kind of damage how
//   many each of them flagged and how far after the first overwritten byte
//   the validator's "bad data" offset lies (percentiles, in bytes).
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/jpeg_entropy.h"

namespace {

using salvora::JpegDataVerdict;

std::vector<uint8_t> readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The first entropy-coded byte: just after the first start-of-scan segment.
size_t scanStart(const std::vector<uint8_t>& bytes) {
    for (size_t i = 2; i + 4 <= bytes.size(); i += 2 + (bytes[i + 2] << 8 | bytes[i + 3])) {
        if (bytes[i + 1] == 0xDA)
            return i + 2 + (bytes[i + 2] << 8 | bytes[i + 3]);
    }
    return bytes.size();
}

const char* baseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Processor time of this thread, in seconds (what other programs running
// beside the benchmark do not add to).
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

int speed(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        const std::vector<uint8_t> bytes = readAll(argv[i]);
        double bestWall = 1e9, bestCpu = 1e9;
        salvora::JpegDataCheck check;
        for (int round = 0; round < 5; ++round) {
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = cpuSeconds();
            check = salvora::validateJpegData(bytes.data(), bytes.size());
            bestCpu = std::min(bestCpu, cpuSeconds() - cpuStart);
            bestWall = std::min(
                bestWall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        std::printf("%-26s %9zu bytes  %s  %7.1f ms CPU (%7.1f ms wall)  %6.0f MB/s\n", baseName(argv[i]),
                    bytes.size(), check.verdict == JpegDataVerdict::kValid ? "valid" : "NOT VALID",
                    bestCpu * 1000, bestWall * 1000, bytes.size() / bestCpu / 1e6);
    }
    return 0;
}

// True when djpeg decodes the file without an error or a warning (exit status 0, nothing on stderr).
bool djpegClean(const std::string& path) {
    const std::string errors = path + ".err";
    const std::string command = "djpeg -outfile /dev/null '" + path + "' 2>'" + errors + "'";
    const int status = std::system(command.c_str());
    std::ifstream in(errors, std::ios::ate);
    const bool quiet = in.tellg() == 0;
    std::remove(errors.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && quiet;
}

struct Tally {
    int copies = 0, djpegFlagged = 0, oursFlagged = 0, onlyDjpeg = 0, onlyOurs = 0, inSegment = 0, before = 0;
    std::vector<int64_t> distances;
};

void print(const char* kind, Tally& tally) {
    std::sort(tally.distances.begin(), tally.distances.end());
    const auto at = [&](double share) {
        return tally.distances.empty()
                   ? 0
                   : tally.distances[static_cast<size_t>(share * (tally.distances.size() - 1))];
    };
    std::printf(
        "%-22s copies %4d  djpeg flags %4d  validator flags %4d  (only djpeg %d, only validator %d)\n", kind,
        tally.copies, tally.djpegFlagged, tally.oursFlagged, tally.onlyDjpeg, tally.onlyOurs);
    std::printf("%-22s flagged at the marker of the segment holding the damage %d, before the damage %d\n",
                "", tally.inSegment, tally.before);
    std::printf(
        "%-22s bytes from the damage's start to the flag: median %lld, 90%% %lld, 99%% %lld, max %lld\n", "",
        static_cast<long long>(at(0.5)), static_cast<long long>(at(0.9)), static_cast<long long>(at(0.99)),
        static_cast<long long>(at(1.0)));
}

int damage(int argc, char** argv) {
    const int copies = std::atoi(argv[2]);
    const size_t block = static_cast<size_t>(std::atol(argv[3]));
    std::vector<std::vector<uint8_t>> files;
    for (int i = 4; i < argc; ++i)
        files.push_back(readAll(argv[i]));
    const char* kinds[] = {"random bytes", "another file's scan", "zeros"};
    std::mt19937_64 random(2024);
    const std::string scratch = "/tmp/bench_jpeg_damage_" + std::to_string(::getpid()) + ".jpg";
    for (int kind = 0; kind < 3; ++kind) {
        Tally tally;
        for (size_t f = 0; f < files.size(); ++f) {
            const std::vector<uint8_t>& original = files[f];
            const std::vector<uint8_t>& other = files[(f + 1) % files.size()];
            const size_t start = scanStart(original), otherStart = scanStart(other);
            if (start + block + 16 >= original.size() || otherStart + block >= other.size())
                continue;
            for (int copy = 0; copy < copies; ++copy) {
                std::vector<uint8_t> damaged = original;
                const size_t at = start + random() % (original.size() - 2 - block - start);
                const size_t from = otherStart + random() % (other.size() - block - otherStart);
                for (size_t i = 0; i < block; ++i)
                    damaged[at + i] = kind == 0   ? static_cast<uint8_t>(random())
                                      : kind == 1 ? other[from + i]
                                                  : 0;
                const salvora::JpegDataCheck check =
                    salvora::validateJpegData(damaged.data(), damaged.size());
                const bool ours = check.verdict == JpegDataVerdict::kBadData;
                writeAll(scratch, damaged);
                const bool theirs = !djpegClean(scratch);

                ++tally.copies;
                tally.djpegFlagged += theirs;
                tally.oursFlagged += ours;
                tally.onlyDjpeg += theirs && !ours;
                tally.onlyOurs += ours && !theirs;
                if (ours) {
                    tally.distances.push_back(static_cast<int64_t>(check.offset) - static_cast<int64_t>(at));
                    // Before the damage: the marker of the header segment (between
                    // progressive scans) that the damage fell into, or a mistake.
                    if (check.offset + 1 < at) {
                        const bool segment = original[check.offset] == 0xFF;
                        tally.inSegment += segment;
                        tally.before += !segment;
                    }
                }
            }
        }
        print(kinds[kind], tally);
    }
    std::remove(scratch.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "speed" && argc > 2)
        return speed(argc, argv);
    if (mode == "damage" && argc > 4)
        return damage(argc, argv);
    std::fprintf(stderr, "usage: bench_jpeg_validate speed FILE... | damage COPIES BLOCK FILE...\n");
    return 2;
}
