// SHA-256 (FIPS 180-4) of byte streams and files, for the recovery report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

class Sha256 {
  public:
    Sha256();
    void update(const void* data, size_t length);
    // The digest of everything given so far; the object is spent afterwards.
    std::array<uint8_t, 32> finish();

  private:
    void compress(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;
};

// Lower-case hexadecimal digest of the file at `path`; empty when it cannot be read.
std::string sha256OfFile(const std::string& path);

// Lower-case hexadecimal text of a digest.
std::string hexDigest(const std::array<uint8_t, 32>& digest);

}  // namespace salvora
