#include "formats/sqlite.h"

#include "carve/shared_checks.h"
#include "carve/signature_registry.h"
#include "formats/register.h"
#include "media/bytes.h"

namespace salvora {

namespace {

const uint8_t kMagic[] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0};

// The page size field: a power of two from 512 to 32768, or 1 for 65536.
uint32_t pageSize(const Bytes& bytes) {
    const uint32_t field = bytes.be16(16);
    if (field == 1)
        return 65536;
    if (field < 512 || (field & (field - 1)) != 0)
        return 0;
    return field;
}

bool isDatabaseHeader(const Bytes& bytes) {
    const uint8_t writeVersion = bytes.u8(18);
    const uint8_t readVersion = bytes.u8(19);
    if (writeVersion < 1 || writeVersion > 2 || readVersion < 1 || readVersion > 2)
        return false;
    if (bytes.u8(21) != 64 || bytes.u8(22) != 32 || bytes.u8(23) != 32)
        return false;
    const uint32_t schemaFormat = bytes.be32(44);
    const uint32_t encoding = bytes.be32(56);
    if (schemaFormat > 4 || encoding > 3)
        return false;
    // Page 1 holds the schema table: a table b-tree page, leaf or interior.
    if (bytes.u8(100) != 0x0D && bytes.u8(100) != 0x05)
        return false;
    // The page count is only current when the change counter and the
    // "version valid for" number agree.
    return bytes.be32(28) != 0 && bytes.be32(24) == bytes.be32(92);
}

}  // namespace

void registerSqlite(FamilyTally& tally) {
    registerSignature(0, kMagic, sizeof kMagic, recogniseSqlite, tally);
}

uint32_t recogniseSqlite(const uint8_t* window, uint32_t windowLength, uint32_t, const CarveCandidate&,
                         CarveCandidate& fresh) {
    const Bytes bytes(window, windowLength);
    const uint32_t page = pageSize(bytes);
    if (!bytes.equals(0, kMagic, sizeof kMagic) || page == 0 || !isDatabaseHeader(bytes))
        return 0;
    resetCandidate(fresh);
    fresh.extension = "sqlite";
    fresh.minSize = 512;
    fresh.expectedSize = uint64_t{page} * bytes.be32(28);
    fresh.blockCheck = blockCheckUntilExpected;
    fresh.endCheck = endCheckTruncateToExpected;
    return 1;
}

}  // namespace salvora
