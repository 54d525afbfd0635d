// A FAT32 memory-card image laid out at test time with mkfs.vfat and mtools
// the way a card that has been written and deleted for a while looks: live
// files split into fragments around other files, a deleted file whose
// clusters went around a live file, a deleted two-fragment JPEG whose gap
// holds another deleted file's data, and a file whose directory entry was
// taken by a newer one. The ground truth of every file (where its bytes lie,
// from mshowfat before anything was deleted; its size; its SHA-256 from
// sha256sum) comes from the tools, never from the code under test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace salvora::test {

struct TruthRun {
    uint64_t offset = 0;  // absolute byte offset in the image
    uint64_t length = 0;
    bool operator==(const TruthRun&) const = default;
};

struct CardFile {
    std::string role;    // what the file is on the card for (see kRole... below)
    std::string folder;  // UTF-8 folder on the card ("DCIM/100TEST")
    std::string name;    // UTF-8 name on the card
    bool deleted = false;
    bool listed = true;  // false: its directory entry was overwritten
    uint64_t size = 0;
    std::string sha256;  // lower-case hex
    std::vector<TruthRun> runs;
    std::vector<uint8_t> bytes;  // the original
};

// Roles of the files on the card.
inline constexpr const char* kRoleLiveJpeg = "live fragmented JPEG";
inline constexpr const char* kRoleLiveMp3 = "live fragmented MP3";
inline constexpr const char* kRoleLiveWav = "live fragmented WAV";
inline constexpr const char* kRoleDeletedAroundLive = "deleted, clusters around a live file";
inline constexpr const char* kRoleDeletedTwoFragmentJpeg = "deleted two-fragment JPEG";
inline constexpr const char* kRoleGap = "deleted file in the JPEG's gap";
inline constexpr const char* kRoleOverwrittenEntry = "file whose entry was overwritten";
inline constexpr const char* kRoleNewEntry = "empty file in the overwritten entry";
inline constexpr const char* kRoleFiller = "live contiguous filler";

// The real files the card is made of.
struct CardSources {
    std::filesystem::path jpeg;               // live, two fragments around a live filler
    std::filesystem::path mp3;                // live, three fragments
    std::filesystem::path wav;                // live, two fragments
    std::filesystem::path deletedAroundLive;  // deleted after being written around a live filler
    std::filesystem::path deletedTwoFragmentJpeg;
    std::filesystem::path gap;  // written before the JPEG, deleted after it
    std::filesystem::path overwrittenEntry;
};

struct FragmentedCard {
    std::filesystem::path image;
    uint64_t clusterBytes = 0;
    std::vector<CardFile> files;

    // The file with `role` (the first one for the fillers).
    const CardFile& file(const std::string& role) const;
};

// A live file laid out in pieces: it takes holes of the given cluster
// counts, each followed by a live filler of the given cluster count, and
// runs on after the last filler.
struct LivePieces {
    std::string role;
    std::string folder;  // made on the card when it is not there yet
    std::string name;
    std::filesystem::path source;
    std::vector<std::pair<int, int>> holesAndFillers;
};

// Builds a card like buildFragmentedCard does that holds only live files
// laid out as `files` say, in that order. Returns false with the reason in
// `log` when a tool fails or a file did not come out in the pieces meant.
bool buildLivePiecesCard(const std::filesystem::path& image, const std::vector<LivePieces>& files,
                         FragmentedCard& card, std::string& log);

// Builds the card at `image` (a 40 MiB FAT32 volume of 512-byte clusters
// without a partition table) from `sources`. Returns false with the reason
// in `log` when a tool fails or the layout did not come out as meant (a file
// meant to be fragmented came out whole).
bool buildFragmentedCard(const std::filesystem::path& image, const CardSources& sources, FragmentedCard& card,
                         std::string& log);

}  // namespace salvora::test
