// Builds a benchmark disk image: the first half pseudo-random bytes, the second
// half real JPEG files laid back to back at varied sector offsets.
//
// Usage: make_image OUTPUT SIZE_MIB FILE...
// Prints the number of files placed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

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
    std::vector<char> chunk(1 << 20);
    for (uint64_t written = 0; written < size / 2; written += chunk.size()) {
        for (size_t i = 0; i < chunk.size(); i += 8) {
            const uint64_t value = next();
            for (int b = 0; b < 8; ++b)
                chunk[i + b] = static_cast<char>(value >> (8 * b));
        }
        std::fwrite(chunk.data(), 1, chunk.size(), out);
    }
    uint64_t position = size / 2;
    uint64_t placed = 0;
    const std::vector<char> zeros(512 * 16, 0);
    while (true) {
        const std::vector<char>& file = files[next() % files.size()];
        const uint64_t gap = 512 * (next() % 16);
        const uint64_t padded = (file.size() + 511) / 512 * 512;
        if (position + gap + padded > size)
            break;
        std::fwrite(zeros.data(), 1, gap, out);
        std::fwrite(file.data(), 1, file.size(), out);
        std::fwrite(zeros.data(), 1, padded - file.size(), out);
        position += gap + padded;
        ++placed;
    }
    std::fwrite(zeros.data(), 1, size - position, out);
    std::fclose(out);
    std::printf("%llu\n", static_cast<unsigned long long>(placed));
    return 0;
}
