#include "carve/signature_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace salvora {
namespace {

// Families whose recognisers record who was asked, and accept when told to.
std::vector<std::string> gAsked;
std::string gAccepting;

template <int Id>
uint32_t recogniseAs(const uint8_t*, uint32_t, uint32_t, const CarveCandidate&, CarveCandidate& fresh) {
    const std::string name = "r" + std::to_string(Id);
    gAsked.push_back(name);
    if (gAccepting != name)
        return 0;
    resetCandidate(fresh);
    fresh.extension = "x";
    return 1;
}

const uint8_t kAb[] = {'A', 'B'};
const uint8_t kAbcd[] = {'A', 'B', 'C', 'D'};
const uint8_t kXy[] = {'X', 'Y'};

void registerFirst(FamilyTally& tally) {
    registerSignature(0, kAb, 2, recogniseAs<1>, tally);
}
void registerSecond(FamilyTally& tally) {
    registerSignature(0, kAb, 2, recogniseAs<2>, tally);
}
void registerTwoOfOneFamily(FamilyTally& tally) {
    registerSignature(0, kAb, 2, recogniseAs<3>, tally);
    registerSignature(0, kAb, 2, recogniseAs<4>, tally);
}
void registerAtOffsetOne(FamilyTally& tally) {
    registerSignature(1, kXy, 2, recogniseAs<5>, tally);
}
void registerPatternless(FamilyTally& tally) {
    registerSignature(0, nullptr, 0, recogniseAs<6>, tally);
}
void registerLong(FamilyTally& tally) {
    registerSignature(0, kAbcd, 4, recogniseAs<7>, tally);
}

const FileFamily kFirst{"one", "", 0, 0, OutputMode::kWrite, 1, registerFirst};
const FileFamily kSecond{"two", "", 0, 0, OutputMode::kWrite, 1, registerSecond};
const FileFamily kPair{"pair", "", 0, 0, OutputMode::kWrite, 1, registerTwoOfOneFamily};
const FileFamily kOffsetOne{"off1", "", 0, 0, OutputMode::kWrite, 1, registerAtOffsetOne};
const FileFamily kAnywhere{"any", "", 0, 0, OutputMode::kWrite, 1, registerPatternless};
const FileFamily kLong{"long", "", 0, 0, OutputMode::kWrite, 1, registerLong};

EnabledFamilies list(std::initializer_list<EnabledFamily> pairs) {
    EnabledFamilies families(pairs);
    families.push_back({0, nullptr});
    return families;
}

class Lookup : public ::testing::Test {
  protected:
    void SetUp() override {
        gAsked.clear();
        gAccepting.clear();
        window.assign(65536, 0);
    }
    FamilyTally* find() { return registry.findHeader(window.data(), 65536, 0, current, fresh); }

    SignatureRegistry registry;
    std::vector<uint8_t> window;
    CarveCandidate current;
    CarveCandidate fresh;
};

TEST_F(Lookup, IdenticalPatternsOfTwoFamiliesAskTheLaterFamilyFirst) {
    registry.build(list({{1, &kFirst}, {1, &kSecond}}));
    window[0] = 'A';
    window[1] = 'B';
    EXPECT_EQ(find(), nullptr);
    EXPECT_EQ(gAsked, (std::vector<std::string>{"r2", "r1"}));
    gAsked.clear();
    gAccepting = "r1";
    FamilyTally* tally = find();
    ASSERT_NE(tally, nullptr);
    EXPECT_STREQ(tally->family->extension, "one");
    EXPECT_EQ(fresh.tally, tally);
}

TEST_F(Lookup, IdenticalSignaturesOfOneFamilyAskTheLaterOneFirst) {
    registry.build(list({{1, &kPair}}));
    window[0] = 'A';
    window[1] = 'B';
    find();
    EXPECT_EQ(gAsked, (std::vector<std::string>{"r4", "r3"}));
}

TEST_F(Lookup, TheFirstAcceptanceStopsTheLookup) {
    registry.build(list({{1, &kFirst}, {1, &kSecond}}));
    window[0] = 'A';
    window[1] = 'B';
    gAccepting = "r2";
    find();
    EXPECT_EQ(gAsked, (std::vector<std::string>{"r2"}));
}

TEST_F(Lookup, DisabledFamiliesRegisterNothing) {
    registry.build(list({{0, &kFirst}, {1, &kOffsetOne}}));
    window[0] = 'A';
    window[1] = 'B';
    find();
    EXPECT_TRUE(gAsked.empty());
    ASSERT_EQ(registry.tallies().size(), 2u);  // one enabled family and the terminator
    EXPECT_EQ(registry.tallies().back().family, nullptr);
}

TEST_F(Lookup, PatternAtZeroIsFiledUnderItsSecondByteWhenABucketAtOneExists) {
    // kOffsetOne is placed first (it compares greater), creating the bucket at 1;
    // "AB" at 0 then overlaps offset 1 and is keyed on 'B'.
    registry.build(list({{1, &kFirst}, {1, &kOffsetOne}}));
    ASSERT_EQ(registry.index().size(), 1u);
    EXPECT_EQ(registry.index()[0].offset, 1u);
    EXPECT_EQ(registry.index()[0].lists['B'].size(), 1u);
    window[0] = 'A';
    window[1] = 'B';
    gAccepting = "r1";
    ASSERT_NE(find(), nullptr);
    EXPECT_EQ(gAsked, (std::vector<std::string>{"r1"}));
}

TEST_F(Lookup, PatternlessEntryIsAskedAtEveryBlockAfterKeyedOnesRejected) {
    registry.build(list({{1, &kAnywhere}, {1, &kFirst}}));
    ASSERT_EQ(registry.index().size(), 2u);
    EXPECT_EQ(registry.index().back().keyed, 0u);
    find();
    EXPECT_EQ(gAsked, (std::vector<std::string>{"r6"}));
    gAsked.clear();
    window[0] = 'A';
    window[1] = 'B';
    find();
    EXPECT_EQ(gAsked, (std::vector<std::string>{"r1", "r6"}));
}

TEST_F(Lookup, PatternsMustMatchInFullBeforeTheRecogniserIsAsked) {
    registry.build(list({{1, &kLong}, {1, &kFirst}}));
    window[0] = 'A';
    window[1] = 'B';
    window[2] = 'C';
    find();
    EXPECT_EQ(gAsked, (std::vector<std::string>{"r1"}));
    gAsked.clear();
    window[3] = 'D';
    find();
    EXPECT_EQ(gAsked, (std::vector<std::string>{"r1", "r7"}));
}

TEST(CompareEntries, OrdersPatternlessThenOffsetThenBytes) {
    SignatureEntry none{nullptr, 0, 5, nullptr, nullptr};
    SignatureEntry ab{kAb, 2, 0, nullptr, nullptr};
    SignatureEntry abcd{kAbcd, 4, 0, nullptr, nullptr};
    SignatureEntry xyAt1{kXy, 2, 1, nullptr, nullptr};
    EXPECT_LT(compareEntries(none, ab), 0);
    EXPECT_LT(compareEntries(ab, xyAt1), 0);
    EXPECT_EQ(compareEntries(ab, abcd), 0);  // equal over the shorter length
    EXPECT_GT(compareEntries(xyAt1, abcd), 0);
}

}  // namespace
}  // namespace salvora
