#include "support/fragmented_card.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <stdexcept>

#include "support/disk_images.h"
#include "support/test_files.h"

namespace salvora::test {

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kImageBytes = 40 << 20;
constexpr uint64_t kSector = 512;
constexpr int kDirectoryPadding = 40;  // empty files that grow a folder before the layout starts

uint16_t le16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

uint32_t le32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(le16(bytes, at)) | static_cast<uint32_t>(le16(bytes, at + 2)) << 16;
}

// Bytes that stand for other data on the card: no file signature, no 0xFF.
std::vector<uint8_t> fillerBytes(size_t length, uint32_t seed) {
    std::vector<uint8_t> bytes(length);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(0x20 + (state >> 16) % 0x5F);
    }
    return bytes;
}

struct ClusterRange {
    uint32_t first = 0;
    uint32_t last = 0;
};

// Works on one image with mtools; every copy allocates first fit from cluster 2.
class CardWriter {
  public:
    CardWriter(const fs::path& image, const fs::path& scratch, std::string& log)
        : image_(image), scratch_(scratch), log_(log) {}

    bool format() {
        if (!makeBlankImage(image_, kImageBytes) ||
            !runTool("mkfs.vfat -F 32 -s 1 -n FRAGCARD " + shellQuoted(image_.string()), &log_)) {
            return false;
        }
        std::vector<uint8_t> boot(kSector);
        std::ifstream in(image_, std::ios::binary);
        in.read(reinterpret_cast<char*>(boot.data()), kSector);
        // Boot sector fields of FAT32: reserved sectors at 14, FATs at 16,
        // sectors per FAT at 36, sectors per cluster at 13, FSInfo sector at 48.
        clusterBytes_ = boot[13] * kSector;
        dataOffset_ = (le16(boot, 14) + uint64_t{boot[16]} * le32(boot, 36)) * kSector;
        fsInfo_ = le16(boot, 48) * kSector;
        return clusterBytes_ != 0 && fsInfo_ != 0;
    }

    bool makeFolder(const std::string& path) { return mtools("mmd", "::/" + path); }

    // Grows `folder` by empty files, then deletes them: the folder's clusters
    // are taken now, not in the middle of the layout.
    bool padFolder(const std::string& folder) {
        for (int i = 0; i < kDirectoryPadding; ++i) {
            if (!copyBytes({}, folder + "/PAD" + std::to_string(i) + ".TMP"))
                return false;
        }
        return mtools("mdel", "::/" + folder + "/PAD*.TMP");
    }

    bool copyBytes(const std::vector<uint8_t>& bytes, const std::string& path) {
        const fs::path source = scratch_ / "piece";
        writeFile(source, bytes);
        return copy(source, path);
    }

    bool copy(const fs::path& source, const std::string& path) {
        return resetNextFree() &&
               mtools("mcopy", shellQuoted(source.string()) + " " + shellQuoted("::/" + path));
    }

    bool remove(const std::string& path) { return mtools("mdel", shellQuoted("::/" + path)); }

    // The clusters of `path` as mshowfat lists them ("<3-8> <20-22>").
    bool chain(const std::string& path, std::vector<ClusterRange>& ranges) {
        std::string output;
        if (!toolOutput(
                kMtools + "mshowfat -i " + shellQuoted(image_.string()) + " " + shellQuoted("::/" + path),
                output)) {
            log_ += "mshowfat failed for " + path + "\n";
            return false;
        }
        static const std::regex range("<([0-9]+)(-([0-9]+))?>");
        ranges.clear();
        for (std::sregex_iterator it(output.begin(), output.end(), range), end; it != end; ++it) {
            const uint32_t first = static_cast<uint32_t>(std::stoul((*it)[1]));
            const uint32_t last = (*it)[3].matched ? static_cast<uint32_t>(std::stoul((*it)[3])) : first;
            ranges.push_back({first, last});
        }
        return true;
    }

    std::vector<TruthRun> runsOf(const std::vector<ClusterRange>& ranges, uint64_t size) const {
        std::vector<TruthRun> runs;
        uint64_t left = size;
        for (const ClusterRange& range : ranges) {
            const uint64_t length =
                std::min<uint64_t>(left, (uint64_t{range.last} - range.first + 1) * clusterBytes_);
            if (length == 0)
                break;
            runs.push_back({clusterOffset(range.first), length});
            left -= length;
        }
        return runs;
    }

    uint64_t clusterOffset(uint32_t cluster) const {
        return dataOffset_ + uint64_t{cluster - 2} * clusterBytes_;
    }
    uint64_t clusterBytes() const { return clusterBytes_; }

  private:
    static inline const std::string kMtools = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 ";

    bool mtools(const std::string& tool, const std::string& arguments) {
        return runTool(kMtools + tool + " -i " + shellQuoted(image_.string()) + " " + arguments, &log_);
    }

    // The FSInfo sector's next-free hint (at 492) set to cluster 2 and its
    // free count (at 488) to unknown: mtools then takes the first free clusters.
    bool resetNextFree() {
        std::fstream file(image_, std::ios::binary | std::ios::in | std::ios::out);
        const uint8_t hint[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00};
        file.seekp(static_cast<std::streamoff>(fsInfo_ + 488));
        file.write(reinterpret_cast<const char*>(hint), sizeof hint);
        return static_cast<bool>(file);
    }

    fs::path image_;
    fs::path scratch_;
    std::string& log_;
    uint64_t clusterBytes_ = 0;
    uint64_t dataOffset_ = 0;
    uint64_t fsInfo_ = 0;
};

class Layout {
  public:
    Layout(CardWriter& writer, FragmentedCard& card, std::string& log)
        : writer_(writer), card_(card), log_(log) {}

    // Writes `source` as folder/name after holes of the given cluster counts,
    // each followed by a live filler of the given cluster count: the file
    // takes the holes and runs on after the last filler.
    bool aroundFillers(const std::string& role, const std::string& folder, const std::string& name,
                       const fs::path& source, const std::vector<std::pair<int, int>>& holesAndFillers) {
        std::vector<std::string> holes;
        for (const auto& [hole, filler] : holesAndFillers) {
            holes.push_back(folder + "/HOLE" + std::to_string(++pieces_) + ".TMP");
            const std::string fillerName = "filler" + std::to_string(pieces_) + ".dat";
            if (!writer_.copyBytes(fillerBytes(hole * writer_.clusterBytes(), pieces_), holes.back()) ||
                !add(kRoleFiller, folder, fillerName,
                     fillerBytes(filler * writer_.clusterBytes() - 100, 1000 + pieces_))) {
                return false;
            }
        }
        for (const std::string& hole : holes) {
            if (!writer_.remove(hole))
                return false;
        }
        if (!add(role, folder, name, readFile(source)))
            return false;
        return expectRuns(role, holesAndFillers.size() + 1);
    }

    bool add(const std::string& role, const std::string& folder, const std::string& name,
             const std::vector<uint8_t>& bytes) {
        const std::string path = folder.empty() ? name : folder + "/" + name;
        std::vector<ClusterRange> ranges;
        if (!writer_.copyBytes(bytes, path) || !writer_.chain(path, ranges))
            return false;
        CardFile file;
        file.role = role;
        file.folder = folder;
        file.name = name;
        file.size = bytes.size();
        file.runs = writer_.runsOf(ranges, bytes.size());
        file.bytes = bytes;
        card_.files.push_back(std::move(file));
        return true;
    }

    bool remove(const std::string& role) {
        CardFile& file = card_.files[index(role)];
        file.deleted = true;
        return writer_.remove(file.folder + "/" + file.name);
    }

    // The entry of `role` was taken by a newer one: the newer one's name
    // stands in the third slot of the folder (after "." and ".."), where the
    // older one stood.
    bool entryTakenBy(const std::string& role, const std::string& name11) {
        CardFile& file = card_.files[index(role)];
        std::vector<ClusterRange> folder;
        if (!writer_.chain(file.folder, folder) || folder.empty())
            return false;
        std::vector<char> name(11);
        std::ifstream in(card_.image, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(writer_.clusterOffset(folder.front().first) + 2 * 32));
        in.read(name.data(), 11);
        if (std::string(name.begin(), name.end()) != name11) {
            log_ += "the entry of " + file.name + " was not taken by " + name11 + "\n";
            return false;
        }
        file.listed = false;
        return true;
    }

  private:
    size_t index(const std::string& role) const {
        return static_cast<size_t>(&card_.file(role) - card_.files.data());
    }

    bool expectRuns(const std::string& role, size_t runs) {
        if (card_.file(role).runs.size() == runs)
            return true;
        log_ += role + " came out in " + std::to_string(card_.file(role).runs.size()) + " pieces, not " +
                std::to_string(runs) + "\n";
        return false;
    }

    CardWriter& writer_;
    FragmentedCard& card_;
    std::string& log_;
    int pieces_ = 0;
};

bool hashFiles(const fs::path& scratch, FragmentedCard& card, std::string& log) {
    for (CardFile& file : card.files) {
        const fs::path copy = scratch / "hashed";
        writeFile(copy, file.bytes);
        std::string output;
        if (!toolOutput("sha256sum " + shellQuoted(copy.string()), output) || output.size() < 64) {
            log += "sha256sum failed\n";
            return false;
        }
        file.sha256 = output.substr(0, 64);
    }
    return true;
}

}  // namespace

const CardFile& FragmentedCard::file(const std::string& role) const {
    for (const CardFile& file : files) {
        if (file.role == role)
            return file;
    }
    throw std::logic_error("no file with role " + role);
}

bool buildFragmentedCard(const fs::path& image, const CardSources& sources, FragmentedCard& card,
                         std::string& log) {
    const fs::path scratch = image.string() + ".parts";
    fs::create_directories(scratch);
    CardWriter writer(image, scratch, log);
    Layout layout(writer, card, log);
    card = FragmentedCard();
    card.image = image;
    bool ok = writer.format() && writer.makeFolder("DCIM") && writer.makeFolder("DCIM/100TEST") &&
              writer.makeFolder("MUSIC") && writer.makeFolder("OLD") && writer.padFolder("DCIM/100TEST") &&
              writer.padFolder("MUSIC");
    card.clusterBytes = writer.clusterBytes();
    ok = ok &&
         layout.aroundFillers(kRoleLiveJpeg, "DCIM/100TEST", "Holiday photo 2024.jpg", sources.jpeg,
                              {{20, 4}}) &&
         layout.aroundFillers(kRoleLiveMp3, "MUSIC", "St\xC3\xA4ndchen \xE2\x80\x93 caf\xC3\xA9.mp3",
                              sources.mp3, {{5, 2}, {6, 2}}) &&
         layout.aroundFillers(kRoleLiveWav, "MUSIC", "field recording.wav", sources.wav, {{3, 2}}) &&
         layout.aroundFillers(kRoleDeletedAroundLive, "DCIM/100TEST",
                              "Gro\xC3\x9F"
                              "es Fest.jpg",
                              sources.deletedAroundLive, {{10, 3}});
    // The two-fragment JPEG goes around a file that is deleted later.
    ok = ok && writer.copyBytes(fillerBytes(12 * writer.clusterBytes(), 77), "DCIM/100TEST/HOLE99.TMP") &&
         layout.add(kRoleGap, "DCIM/100TEST", "gap note.pdf", readFile(sources.gap)) &&
         writer.remove("DCIM/100TEST/HOLE99.TMP") &&
         layout.add(kRoleDeletedTwoFragmentJpeg, "DCIM/100TEST", "Sunset over the bay.jpg",
                    readFile(sources.deletedTwoFragmentJpeg)) &&
         layout.add(kRoleOverwrittenEntry, "OLD", "OVERWR.JPG", readFile(sources.overwrittenEntry));
    if (ok && card.file(kRoleDeletedTwoFragmentJpeg).runs.size() != 2) {
        log += "the deleted JPEG did not come out in two pieces\n";
        ok = false;
    }
    // Deletions come last, so that no later file takes the freed clusters.
    ok = ok && layout.remove(kRoleDeletedAroundLive) && layout.remove(kRoleGap) &&
         layout.remove(kRoleDeletedTwoFragmentJpeg) && layout.remove(kRoleOverwrittenEntry) &&
         layout.add(kRoleNewEntry, "OLD", "NEWFILE.TXT", {}) &&
         layout.entryTakenBy(kRoleOverwrittenEntry, "NEWFILE TXT");
    ok = ok && hashFiles(scratch, card, log);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return ok;
}

bool buildLivePiecesCard(const fs::path& image, const std::vector<LivePieces>& files, FragmentedCard& card,
                         std::string& log) {
    const fs::path scratch = image.string() + ".parts";
    fs::create_directories(scratch);
    CardWriter writer(image, scratch, log);
    Layout layout(writer, card, log);
    card = FragmentedCard();
    card.image = image;
    bool ok = writer.format();
    card.clusterBytes = writer.clusterBytes();
    std::vector<std::string> folders;
    for (const LivePieces& file : files) {
        if (std::find(folders.begin(), folders.end(), file.folder) != folders.end())
            continue;
        folders.push_back(file.folder);
        ok = ok && writer.makeFolder(file.folder) && writer.padFolder(file.folder);
    }
    for (const LivePieces& file : files) {
        ok = ok && layout.aroundFillers(file.role, file.folder, file.name, file.source, file.holesAndFillers);
    }
    ok = ok && hashFiles(scratch, card, log);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return ok;
}

}  // namespace salvora::test
