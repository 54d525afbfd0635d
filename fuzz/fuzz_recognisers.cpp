// Fuzz target: every family's recognise, block checks and end check.
//
// The input is a block of a medium with its look-ahead. Its first byte picks
// the family of the "file in progress" (so the refusal rules run too). When a
// recogniser accepts, the input is carved as the file: written block by block
// with the block checks of the candidate, then judged by its end check on the
// written file.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "carve/signature_registry.h"
#include "formats/family_table.h"

using namespace salvora;

namespace {

constexpr uint32_t kBlock = 512;
constexpr uint32_t kWindow = 65536;

const SignatureRegistry& registry() {
    static SignatureRegistry instance;
    static bool built = false;
    if (!built) {
        EnabledFamilies families = defaultEnabledFamilies();
        for (EnabledFamily& pair : families)
            pair.enabled = pair.family ? 1 : 0;
        instance.build(families);
        built = true;
    }
    return instance;
}

void carve(CarveCandidate& file, const std::vector<uint8_t>& data) {
    file.output = OutputFile::inMemory();
    file.size = 0;
    std::vector<uint8_t> window(2 * kBlock, 0);
    const size_t blocks = (data.size() + kBlock - 1) / kBlock;
    for (size_t i = 0; i < blocks; ++i) {
        std::memmove(window.data(), window.data() + kBlock, kBlock);
        std::fill(window.begin() + kBlock, window.end(), 0);
        std::memcpy(window.data() + kBlock, data.data() + i * kBlock,
                    std::min<size_t>(kBlock, data.size() - i * kBlock));
        file.output.append(window.data() + kBlock, kBlock);
        BlockVerdict verdict = BlockVerdict::kContinue;
        if (file.blockCheck)
            verdict = file.blockCheck(window.data(), 2 * kBlock, file);
        file.size += kBlock;
        if (verdict == BlockVerdict::kFileEnds)
            break;
    }
    if (file.endCheck)
        file.endCheck(file);
    file.output = OutputFile();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    std::vector<uint8_t> bytes(data + 1, data + size);
    std::vector<uint8_t> window(bytes);
    window.resize(std::max<size_t>(window.size(), kWindow), 0);

    const auto& table = familyTable();
    FamilyTally inProgress{table[data[0] % table.size()], nullptr};
    CarveCandidate current;
    if (data[0] & 0x80) {
        current.tally = &inProgress;
        current.size = bytes.size() % 4 == 0 ? 0 : 512;
        current.expectedSize = current.size;
    }
    CarveCandidate fresh;
    const uint32_t length = static_cast<uint32_t>(window.size());
    if (!registry().findHeader(window.data(), length, 0, current, fresh))
        return 0;
    carve(fresh, bytes);
    return 0;
}
