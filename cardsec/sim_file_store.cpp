#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cardsec/simulated_reader.h"
#include "cardsec/state_file_lock.h"

namespace salvora::cardsec {

namespace {

bool load(const std::string& path, SimulatedReader& reader, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (!std::filesystem::exists(path))
            return true;  // a fresh reader, both slots empty
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!SimulatedReader::parse(text.str(), reader, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

// Writes beside the file and renames over it, so a reader never sees half a state.
bool save(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::rename(temporary, path, failure);
    if (failure)
        error = "cannot replace " + path + ": " + failure.message();
    return !failure;
}

}  // namespace

FileStore::FileStore(std::string path) : path_(std::move(path)) {}

FileStore::~FileStore() = default;

HoldResult FileStore::hold(uint32_t waitMs) {
    auto lock = std::make_unique<StateFileLock>(path_ + ".reader", waitMs);
    if (!lock->held())
        return HoldResult::kBusy;
    hold_ = std::move(lock);
    return HoldResult::kHeld;
}

void FileStore::release() {
    hold_.reset();
}

bool FileStore::use(const std::function<void(SimulatedReader&)>& action) {
    StateFileLock lock(path_);
    if (!lock.held()) {
        error_ = "cannot lock " + path_;
        return false;
    }
    SimulatedReader reader;
    if (!load(path_, reader, error_))
        return false;
    const std::string before = reader.serialize();
    action(reader);
    const std::string after = reader.serialize();
    return after == before ? true : save(path_, after, error_);
}

}  // namespace salvora::cardsec
