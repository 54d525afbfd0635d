// The map of a FAT volume's files on volumes written entry by entry: chains
// with every kind of fault, long names, deleted files and folders, each FAT
// kind. Real volumes made by mkfs.vfat and mtools are in
// fat_directory_linux_test.cpp.
#include "partitions/fat_directory.h"

#include <gtest/gtest.h>

#include <random>

#include "crafted_fat.h"
#include "medium_run_printing.h"

namespace salvora {
namespace {

using test::CraftedFat;
using test::FatFields;

constexpr uint8_t kArchive = 0x20;
constexpr uint8_t kFolder = 0x10;
constexpr uint8_t kLabel = 0x08;

FatMap mapOf(const CraftedFat& card) {
    MemoryReader medium = card.medium();
    std::optional<FatMap> map = mapFatVolume(medium, card.record());
    EXPECT_TRUE(map.has_value());
    return map.value_or(FatMap());
}

const FatFile* find(const FatMap& map, const std::string& name) {
    for (const FatFile& file : map.files) {
        if (file.name == name)
            return &file;
    }
    return nullptr;
}

std::string folderOf(const FatMap& map, const FatFile& file) {
    return map.folders.at(file.folder);
}

// The default crafted volume: FAT16, 8095 clusters of 512 bytes.
class FatMapChains : public ::testing::Test {
  protected:
    CraftedFat card{FatFields{}};
    MediumRun run(uint32_t cluster, uint64_t length) const { return {card.clusterOffset(cluster), length}; }
};

TEST_F(FatMapChains, FragmentedChainGivesItsRunsInChainOrder) {
    card.entry(0, 0, "PHOTO   JPG", kArchive, 1500, 10);
    card.chain({10, 11, 40});
    card.entry(0, 1, "BACKWARDJPG", kArchive, 1536, 50);
    card.chain({50, 20, 21});
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 2u);
    EXPECT_EQ(map.clusterBytes, 512u);
    const FatFile& photo = map.files[0];
    EXPECT_EQ(photo.name, "PHOTO.JPG");
    EXPECT_EQ(photo.state, FatFileState::kLive);
    EXPECT_EQ(photo.size, 1500u);
    EXPECT_EQ(photo.runs, (std::vector<MediumRun>{run(10, 1024), run(40, 476)}));
    EXPECT_EQ(map.files[1].runs, (std::vector<MediumRun>{run(50, 512), run(20, 1024)}));
}

TEST_F(FatMapChains, SizeBoundsALongerChainAndAnEmptyFileHasNoRuns) {
    card.entry(0, 0, "SHORT   TXT", kArchive, 600, 5);
    card.chain({5, 6, 7});
    card.entry(0, 1, "EMPTY   TXT", kArchive, 0, 0);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 2u);
    EXPECT_EQ(map.files[0].state, FatFileState::kLive);
    EXPECT_EQ(map.files[0].runs, (std::vector<MediumRun>{run(5, 600)}));
    EXPECT_EQ(map.files[1].state, FatFileState::kLive);
    EXPECT_TRUE(map.files[1].runs.empty());
}

TEST_F(FatMapChains, AChainThatCannotHoldTheSizeIsNotTrusted) {
    card.entry(0, 0, "LOOP    JPG", kArchive, 2048, 100);
    card.setEntry(100, 101);
    card.setEntry(101, 100);
    card.entry(0, 1, "OUTSIDE JPG", kArchive, 1024, 110);
    card.setEntry(110, 9000);
    card.entry(0, 2, "FAR     JPG", kArchive, 100, 9000);
    card.entry(0, 3, "FREE    JPG", kArchive, 1024, 120);
    card.setEntry(120, 121);
    card.entry(0, 4, "BAD     JPG", kArchive, 1024, 130);
    card.setEntry(130, 131);
    card.setEntry(131, card.badMark());
    card.entry(0, 5, "ENDS    JPG", kArchive, 2000, 140);
    card.chain({140, 141});
    card.entry(0, 6, "HUGE    JPG", kArchive, 0xFFFFFFFF, 150);
    card.chain({150});
    card.entry(0, 7, "FINE    JPG", kArchive, 700, 160);
    card.chain({160, 161});
    const FatMap map = mapOf(card);
    const std::vector<std::pair<std::string, FatChainFault>> expected = {
        {"LOOP.JPG", FatChainFault::kLoop},         {"OUTSIDE.JPG", FatChainFault::kOutsideVolume},
        {"FAR.JPG", FatChainFault::kOutsideVolume}, {"FREE.JPG", FatChainFault::kFreeCluster},
        {"BAD.JPG", FatChainFault::kBadCluster},    {"ENDS.JPG", FatChainFault::kShortChain},
        {"HUGE.JPG", FatChainFault::kShortChain},   {"FINE.JPG", FatChainFault::kNone},
    };
    ASSERT_EQ(map.files.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const FatFile& file = map.files[i];
        EXPECT_EQ(file.name, expected[i].first);
        EXPECT_EQ(file.fault, expected[i].second) << file.name;
        const bool trusted = expected[i].second == FatChainFault::kNone;
        EXPECT_EQ(file.state, trusted ? FatFileState::kLive : FatFileState::kUnreliable) << file.name;
        EXPECT_EQ(file.runs.empty(), !trusted) << file.name;
    }
}

TEST_F(FatMapChains, CrossLinkedChainsAreBothUnreliable) {
    card.entry(0, 0, "FIRST   JPG", kArchive, 1536, 200);
    card.chain({200, 201, 202});
    card.entry(0, 1, "SECOND  JPG", kArchive, 1024, 210);
    card.setEntry(210, 201);  // joins the first file's chain
    card.entry(0, 2, "SUB        ", kFolder, 0, 300);
    card.chain({300});
    card.entry(0, 3, "INTODIR JPG", kArchive, 1024, 220);
    card.setEntry(220, 300);  // runs into the folder's cluster
    card.entry(0, 4, "ALONE   JPG", kArchive, 512, 230);
    card.chain({230});
    const FatMap map = mapOf(card);
    for (const char* name : {"FIRST.JPG", "SECOND.JPG", "INTODIR.JPG"}) {
        const FatFile* file = find(map, name);
        ASSERT_NE(file, nullptr) << name;
        EXPECT_EQ(file->state, FatFileState::kUnreliable) << name;
        EXPECT_EQ(file->fault, FatChainFault::kCrossLinked) << name;
        EXPECT_TRUE(file->runs.empty()) << name;
    }
    ASSERT_NE(find(map, "ALONE.JPG"), nullptr);
    EXPECT_EQ(find(map, "ALONE.JPG")->state, FatFileState::kLive);
}

TEST_F(FatMapChains, FolderLoopsEndAndEveryFileIsListedOnce) {
    card.entry(0, 0, "SUB        ", kFolder, 0, 300);
    card.chain({300});
    card.entry(300, 0, ".          ", kFolder, 0, 300);
    card.entry(300, 1, "..         ", kFolder, 0, 0);
    card.entry(300, 2, "SELF       ", kFolder, 0, 300);  // a folder that holds itself
    card.entry(300, 3, "BACK       ", kFolder, 0, 310);
    card.chain({310, 300});  // a chain that runs back into the first folder
    card.entry(300, 4, "INSIDE  JPG", kArchive, 100, 320);
    card.chain({320});
    card.entry(310, 0, "DEEPER  JPG", kArchive, 100, 330);
    card.chain({330});
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 2u);
    EXPECT_EQ(map.files[0].name, "INSIDE.JPG");
    EXPECT_EQ(folderOf(map, map.files[0]), "SUB");
    EXPECT_EQ(map.files[1].name, "DEEPER.JPG");
    EXPECT_EQ(folderOf(map, map.files[1]), "SUB/BACK");
}

TEST_F(FatMapChains, DeletedFileRunsOverFreeClustersAndStepsOverUsedOnes) {
    card.entry(0, 0, "\xE5ONE    JPG", kArchive, 3000, 400);
    card.entry(0, 1, "LIVE    DAT", kArchive, 1024, 402);
    card.chain({402, 403});
    const FatMap map = mapOf(card);
    const FatFile* gone = find(map, "_ONE.JPG");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->state, FatFileState::kDeleted);
    EXPECT_TRUE(gone->runs.empty());
    ASSERT_EQ(gone->candidates.size(), 1u);
    EXPECT_EQ(gone->candidates[0].firstCluster, 400u);
    EXPECT_TRUE(gone->candidates[0].complete);
    EXPECT_EQ(gone->candidates[0].runs, (std::vector<MediumRun>{run(400, 1024), run(404, 1976)}));
}

TEST_F(FatMapChains, DeletedFileWhoseFirstClusterIsInUseHasNoPlacement) {
    card.entry(0, 0, "\xE5VERLAP JPG", kArchive, 1000, 402);
    card.entry(0, 1, "NEWER   DAT", kArchive, 1024, 402);
    card.chain({402, 403});
    card.entry(0, 2, "\xE5MPTY   JPG", kArchive, 0, 500);
    const FatMap map = mapOf(card);
    ASSERT_NE(find(map, "_VERLAP.JPG"), nullptr);
    EXPECT_TRUE(find(map, "_VERLAP.JPG")->candidates.empty());
    ASSERT_NE(find(map, "_MPTY.JPG"), nullptr);
    EXPECT_TRUE(find(map, "_MPTY.JPG")->candidates.empty());
}

TEST_F(FatMapChains, DeletedFileAtTheEndOfTheVolumeIsIncomplete) {
    // Clusters run from 2 to 8096.
    card.entry(0, 0,
               "\xE5"
               "AST    JPG",
               kArchive, 4096, 8095);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 1u);
    ASSERT_EQ(map.files[0].candidates.size(), 1u);
    EXPECT_FALSE(map.files[0].candidates[0].complete);
    EXPECT_EQ(map.files[0].candidates[0].runs, (std::vector<MediumRun>{run(8095, 1024)}));
}

TEST_F(FatMapChains, DeletedFolderStillStartingWithItsDotEntryIsWalked) {
    card.entry(0, 0, "\xE5LD        ", kFolder, 0, 500);
    card.entry(500, 0, ".          ", kFolder, 0, 500);
    card.entry(500, 1, "..         ", kFolder, 0, 0);
    card.entry(500, 2, "\xE5ICT    JPG", kArchive, 700, 501);
    // A deleted folder whose cluster now holds other data is not walked.
    card.entry(0, 1, "\xE5THER      ", kFolder, 0, 600);
    card.entry(600, 0, "NOTADIR JPG", kArchive, 100, 601);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 1u);
    const FatFile& picture = map.files[0];
    EXPECT_EQ(picture.name, "_ICT.JPG");
    EXPECT_EQ(folderOf(map, picture), "_LD");
    EXPECT_EQ(picture.state, FatFileState::kDeleted);
    ASSERT_EQ(picture.candidates.size(), 1u);
    EXPECT_EQ(picture.candidates[0].runs, (std::vector<MediumRun>{run(501, 700)}));
}

class FatMapNames : public FatMapChains {};

TEST_F(FatMapNames, LongNameWithItsChecksumIsTakenElseTheShortName) {
    const std::string shortName = "HOLIDA~1JPG";
    int at = card.longName(0, 0, u"Holiday photo 2024.jpg", CraftedFat::checksum(shortName));
    card.entry(0, at++, shortName, kArchive, 10, 0);
    at += card.longName(0, at, u"Wrong checksum.jpg",
                        static_cast<uint8_t>(CraftedFat::checksum("WRONGC~1JPG") + 1));
    card.entry(0, at++, "WRONGC~1JPG", kArchive, 10, 0);
    // Parts out of sequence: the first part written where the second belongs.
    const int parts = card.longName(0, at, u"Out of order name.jpg", CraftedFat::checksum("OUTOFO~1JPG"));
    std::swap_ranges(card.bytes().begin() + static_cast<std::ptrdiff_t>(card.entryOffset(0, at)),
                     card.bytes().begin() + static_cast<std::ptrdiff_t>(card.entryOffset(0, at) + 32),
                     card.bytes().begin() + static_cast<std::ptrdiff_t>(card.entryOffset(0, at + 1)));
    at += parts;
    card.entry(0, at++, "OUTOFO~1JPG", kArchive, 10, 0);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 3u);
    EXPECT_EQ(map.files[0].name, "Holiday photo 2024.jpg");
    EXPECT_EQ(map.files[1].name, "WRONGC~1.JPG");
    EXPECT_EQ(map.files[2].name, "OUTOFO~1.JPG");
}

TEST_F(FatMapNames, ShortNamesFollowCaseBitsAndCodePage437) {
    card.entry(0, 0, "README  TXT", kArchive, 1, 0, 0x18);
    card.entry(0, 1, "NOTES   TXT", kArchive, 1, 0, 0x08);
    card.entry(0, 2,
               "\x05"
               "BC     JPG",
               kArchive, 1, 0);  // 0x05 stands for 0xE5
    card.entry(0, 3, "CAF\x82    JPG", kArchive, 1, 0);
    card.entry(0, 4, "NOEXT      ", kArchive, 1, 0);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 5u);
    EXPECT_EQ(map.files[0].name, "readme.txt");
    EXPECT_EQ(map.files[1].name, "notes.TXT");
    EXPECT_EQ(map.files[2].name,
              "\xCF\x83"
              "BC.JPG");                              // 0xE5 is sigma in code page 437
    EXPECT_EQ(map.files[3].name, "CAF\xC3\xA9.JPG");  // 0x82 is e-acute
    EXPECT_EQ(map.files[4].name, "NOEXT");
}

TEST_F(FatMapNames, LongNamesOutsideTheBasicPlaneAndUnpairedSurrogates) {
    const std::u16string emoji = u"Foto \U0001F600.jpg";
    int at = card.longName(0, 0, emoji, CraftedFat::checksum("FOTO_~1 JPG"));
    card.entry(0, at++, "FOTO_~1 JPG", kArchive, 1, 0);
    std::u16string broken = u"a?b";
    broken[1] = 0xD800;
    at += card.longName(0, at, broken, CraftedFat::checksum("A_B        "));
    card.entry(0, at++, "A_B        ", kArchive, 1, 0);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 2u);
    EXPECT_EQ(map.files[0].name, "Foto \xF0\x9F\x98\x80.jpg");
    EXPECT_EQ(map.files[1].name,
              "a\xEF\xBF\xBD"
              "b");
}

TEST_F(FatMapNames, LabelsAndDotEntriesAreNoFiles) {
    const int at = card.longName(0, 0, u"A label with a long name", CraftedFat::checksum("CARDLABEL  "));
    card.entry(0, at, "CARDLABEL  ", kLabel, 0, 0);
    card.entry(0, at + 1, "SUB        ", kFolder, 0, 300);
    card.chain({300});
    card.entry(300, 0, ".          ", kFolder, 0, 300);
    card.entry(300, 1, "..         ", kFolder, 0, 0);
    card.entry(300, 2, "FILE    TXT", kArchive, 5, 0);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 1u);
    EXPECT_EQ(map.files[0].name, "FILE.TXT");
    EXPECT_EQ(folderOf(map, map.files[0]), "SUB");
}

TEST_F(FatMapNames, DeletedLongNameIsAssembledWhenItsPartsAgree) {
    // Deleted entries lose their first byte; the checksum was made with "H".
    int at = card.longName(0, 0, u"Holiday photo 2024.jpg", CraftedFat::checksum("HOLIDA~1JPG"), true);
    card.entry(0, at++, "\xE5OLIDA~1JPG", kArchive, 10, 0);
    // Only the last part survives (the first was overwritten by a live entry).
    at += card.longName(0, at, u"A much longer lost name.jpg", CraftedFat::checksum("AMUCHL~1JPG"), true);
    card.entry(0, at - 3, "KEEP    TXT", kArchive, 1, 0);
    card.entry(0, at++, "\xE5MUCHL~1JPG", kArchive, 10, 0);
    // A checksum that would need a lower-case first byte does not belong.
    const uint8_t lowerCase = CraftedFat::checksum("hOTHER  JPG");
    at += card.longName(0, at, u"other.jpg", lowerCase, true);
    card.entry(0, at++, "\xE5OTHER  JPG", kArchive, 10, 0);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 4u);
    EXPECT_EQ(map.files[0].name, "Holiday photo 2024.jpg");
    EXPECT_EQ(map.files[1].name, "KEEP.TXT");
    EXPECT_EQ(map.files[2].name, "_MUCHL~1.JPG");
    EXPECT_EQ(map.files[3].name, "_OTHER.JPG");
}

TEST(FatMapKinds, Fat12EntriesSharingBytes) {
    FatFields fields;
    fields.totalSectors16 = 2000;  // 1903 clusters: FAT12
    CraftedFat card(fields);
    ASSERT_EQ(card.fsKind(), kFsFat12);
    card.entry(0, 0, "ODDEVEN JPG", kArchive, 2000, 3);
    card.chain({3, 4, 7, 10});
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 1u);
    EXPECT_EQ(map.files[0].runs, (std::vector<MediumRun>{{card.clusterOffset(3), 1024},
                                                         {card.clusterOffset(7), 512},
                                                         {card.clusterOffset(10), 464}}));
}

class FatMap32 : public ::testing::Test {
  protected:
    CraftedFat card{test::fat32Fields(70000)};
};

TEST_F(FatMap32, RootFolderFollowsItsChain) {
    ASSERT_EQ(card.fsKind(), kFsFat32);
    card.chain({2, 3});
    for (int i = 0; i < 16; ++i)  // a full first cluster: 16 entries of 32 bytes
        card.entry(0, i, "EMPTY" + std::to_string(10 + i) + "    ", kArchive, 0, 0);
    card.entry(3, 0, "SECOND  JPG", kArchive, 100, 70);
    card.chain({70});
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 17u);
    EXPECT_EQ(map.files[16].name, "SECOND.JPG");
    EXPECT_EQ(map.files[16].runs, (std::vector<MediumRun>{{card.clusterOffset(70), 100}}));
}

TEST_F(FatMap32, DeletedFileGetsAPlacementForTheHighWordAndOneForTheLowWordAlone) {
    card.entry(0, 0, "\xE5IGH    JPG", kArchive, 1000, 0x00010005);
    card.entry(0, 1, "\xE5OW     JPG", kArchive, 600, 0x00000009);
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 2u);
    const FatFile& high = map.files[0];
    ASSERT_EQ(high.candidates.size(), 2u);
    EXPECT_EQ(high.candidates[0].firstCluster, 0x10005u);
    EXPECT_EQ(high.candidates[0].runs, (std::vector<MediumRun>{{card.clusterOffset(0x10005), 1000}}));
    EXPECT_EQ(high.candidates[1].firstCluster, 5u);
    EXPECT_EQ(high.candidates[1].runs, (std::vector<MediumRun>{{card.clusterOffset(5), 1000}}));
    ASSERT_EQ(map.files[1].candidates.size(), 1u);
    EXPECT_EQ(map.files[1].candidates[0].firstCluster, 9u);
}

TEST_F(FatMap32, ActiveFatIsReadWhenMirroringIsOff) {
    card.bytes()[40] = 0x81;  // extended flags: mirroring off, FAT 1 active
    card.entry(0, 0, "PHOTO   JPG", kArchive, 1024, 10);
    card.setEntryIn(0, 10, 11);
    card.setEntryIn(0, 11, card.endMark());
    card.setEntryIn(1, 10, 20);
    card.setEntryIn(1, 20, card.endMark());
    const FatMap map = mapOf(card);
    ASSERT_EQ(map.files.size(), 1u);
    EXPECT_EQ(map.files[0].runs,
              (std::vector<MediumRun>{{card.clusterOffset(10), 512}, {card.clusterOffset(20), 512}}));
}

TEST(FatMapRefusals, NoMapWithoutAFatVolume) {
    MemoryReader blank(std::vector<uint8_t>(1 << 20, 0));
    PartitionRecord record;
    record.size = blank.size;
    EXPECT_FALSE(mapFatVolume(blank, record).has_value()) << "no file system";
    record.fsKind = kFsFat16;
    EXPECT_FALSE(mapFatVolume(blank, record).has_value()) << "a zero boot sector has no data clusters";
}

// Damaged volumes: random bytes over the FAT and the folders never hang the
// map, and every run it gives lies inside the medium and within its file's size.
TEST(FatMapMutations, DamagedTablesAndFoldersStayBounded) {
    CraftedFat base{FatFields{}};
    base.entry(0, 0, "SUB        ", kFolder, 0, 300);
    base.chain({300});
    int at = base.longName(300, 0, u"A long name.jpg", CraftedFat::checksum("ALONGN~1JPG"));
    base.entry(300, at, "ALONGN~1JPG", kArchive, 5000, 310);
    base.chain({310, 311, 312, 320, 321, 322, 323, 324, 325, 326});
    base.entry(0, 1, "\xE5ONE    JPG", kArchive, 3000, 400);
    const uint64_t fatStart = 512, folders = base.entryOffset(0, 0), sub = base.clusterOffset(300);
    MemoryReader medium = base.medium();
    std::mt19937 random(20);
    for (int round = 0; round < 200; ++round) {
        medium.bytes() = base.bytes();
        for (int i = 0; i < 40; ++i) {
            const uint64_t area = i % 3 == 0 ? fatStart : i % 3 == 1 ? folders : sub;
            medium.bytes()[area + random() % 512] = static_cast<uint8_t>(random());
        }
        const std::optional<FatMap> map = mapFatVolume(medium, base.record());
        ASSERT_TRUE(map.has_value());
        for (const FatFile& file : map->files) {
            uint64_t total = 0;
            for (const MediumRun& piece : file.runs) {
                EXPECT_LE(piece.offset + piece.length, medium.size);
                total += piece.length;
            }
            EXPECT_LE(total, file.size);
            for (const FatPlacement& placement : file.candidates) {
                for (const MediumRun& piece : placement.runs)
                    EXPECT_LE(piece.offset + piece.length, medium.size);
            }
        }
    }
}

}  // namespace
}  // namespace salvora
