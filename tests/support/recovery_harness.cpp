#include "support/recovery_harness.h"

#include "carve/search_space.h"
#include "formats/family_table.h"
#include "media/error_text.h"
#include "media/memory_reader.h"

namespace salvora::test {

namespace {
class Collector : public ScanObserver {
  public:
    explicit Collector(Recovery& recovery) : recovery_(recovery) {}
    void progress(int percent, uint64_t) override {
        if (recovery_.percents.empty() || recovery_.percents.back() != percent)
            recovery_.percents.push_back(percent);
    }
    void fileSaved(uint32_t, const SavedFile& file) override { recovery_.saved.push_back(file); }

  private:
    Recovery& recovery_;
};
}  // namespace

Recovery recoverImage(const std::vector<uint8_t>& image, const EnabledFamilies& families,
                      uint32_t sectorSize) {
    MemoryReader medium(image, sectorSize);
    return recoverRange(medium, 0, 0, families);
}

Recovery recoverRange(MediaReader& medium, uint64_t offset, uint64_t length,
                      const EnabledFamilies& families) {
    return recoverRange(medium, offset, length, families, ScanAids{});
}

Recovery recoverRange(MediaReader& medium, uint64_t offset, uint64_t length, const EnabledFamilies& families,
                      const ScanAids& aids) {
    Recovery recovery;
    TempDir folder;
    SearchSpace space;
    initFromPartition(space, medium, offset, length);
    Collector collector(recovery);
    clearLastErrorText();
    recovery.result =
        runScan(medium, folder.folder(), families, space, aids, collector, recovery.savedCounter);
    for (const std::string& name : folder.fileNames())
        recovery.files[name] = readFile(folder.path() / name);
    return recovery;
}

EnabledFamilies onlyFamilies(const std::vector<std::string>& extensions) {
    EnabledFamilies families = defaultEnabledFamilies();
    for (EnabledFamily& pair : families) {
        pair.enabled = 0;
        if (!pair.family)
            continue;
        for (const std::string& extension : extensions) {
            if (extension == pair.family->extension)
                pair.enabled = 1;
        }
    }
    return families;
}

}  // namespace salvora::test
