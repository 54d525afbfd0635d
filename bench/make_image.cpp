// Builds a benchmark disk image laid out like a used memory card: the given
// files, in a shuffled order and over and over, each starting on a 4 KiB
// cluster, with old data (pseudo-random bytes) in the clusters between them
// and after the last.
//
// Usage: make_image OUTPUT SIZE_MIB FILE...
// Prints the number of files placed and the bytes they hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr uint64_t kCluster = 4096;
constexpr uint64_t kLongestGap = 8;  // clusters of old data between two files, at most

uint64_t gState = 0x9E3779B97F4A7C15ull;
uint64_t next() {
    gState ^= gState << 13;
    gState ^= gState >> 7;
    gState ^= gState << 17;
    return gState;
}

std::vector<char> readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Old data: bytes that no signature matches at a cluster start.
void writeOldData(std::FILE* out, uint64_t length) {
    std::vector<char> chunk(1 << 16);
    while (length > 0) {
        for (size_t i = 0; i < chunk.size(); i += 8) {
            const uint64_t value = next();
            for (int b = 0; b < 8; ++b)
                chunk[i + b] = static_cast<char>(value >> (8 * b));
        }
        for (size_t at = 0; at < chunk.size(); at += kCluster)
            chunk[at] = 0x55;
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(length, chunk.size()));
        std::fwrite(chunk.data(), 1, piece, out);
        length -= piece;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_image OUTPUT SIZE_MIB FILE...\n");
        return 2;
    }
    const uint64_t size = std::strtoull(argv[2], nullptr, 10) << 20;
    std::vector<std::vector<char>> files;
    for (int i = 3; i < argc; ++i)
        files.push_back(readAll(argv[i]));
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out)
        return 1;
    uint64_t position = 0;
    uint64_t placed = 0;
    uint64_t bytes = 0;
    while (true) {
        const std::vector<char>& file = files[next() % files.size()];
        const uint64_t gap = kCluster * (next() % (kLongestGap + 1));
        const uint64_t clusters = (file.size() + kCluster - 1) / kCluster * kCluster;
        if (position + gap + clusters > size)
            break;
        writeOldData(out, gap);
        std::fwrite(file.data(), 1, file.size(), out);
        writeOldData(out, clusters - file.size());
        position += gap + clusters;
        ++placed;
        bytes += file.size();
    }
    writeOldData(out, size - position);
    std::fclose(out);
    std::printf("%llu %llu\n", static_cast<unsigned long long>(placed),
                static_cast<unsigned long long>(bytes));
    return 0;
}
