// The destination folder of a scan and the files created in it.
//
// The folder is opened once when the scan starts and every recovered file is
// created through that one handle: a name that already exists is never
// opened, followed or replaced (a planted link or a file of another recovery
// stays as it is), and a folder swapped for a link during the scan cannot
// redirect the files. The operating-system calls live in
// output_folder_posix.cpp and output_folder_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "carve/page_aligned.h"

namespace salvora {

// A file of the output folder, open for reading and writing. Owns its
// descriptor (POSIX) or handle (Windows) and closes it on destruction.
// Error results are C library error numbers (ENOSPC, EFBIG, ...).
class FolderFile {
  public:
    FolderFile() = default;
    ~FolderFile();
    FolderFile(FolderFile&& other) noexcept;
    FolderFile& operator=(FolderFile&& other) noexcept;
    FolderFile(const FolderFile&) = delete;
    FolderFile& operator=(const FolderFile&) = delete;

    bool isOpen() const { return handle_ != kNoHandle; }

    // Writes `length` bytes at byte `offset`, in as few system calls as the
    // system allows. Returns 0, or the error number with `written` telling
    // how many bytes reached the file before the error.
    int writeAt(const uint8_t* data, size_t length, uint64_t offset, size_t& written);
    // Reads up to `length` bytes at `offset`. Returns the count read (short
    // at the end of the file), or -1 on an error.
    int64_t readAt(uint64_t offset, void* buffer, size_t length);
    // Sets the length of the file. Returns 0 or the error number.
    int truncate(uint64_t length);
    // Closes the file. Returns 0 or the error number; closing a closed file
    // does nothing and returns 0.
    int close();

  private:
    friend class OutputFolder;
    static constexpr intptr_t kNoHandle = -1;
    explicit FolderFile(intptr_t handle) : handle_(handle) {}

    intptr_t handle_ = kNoHandle;
};

// The destination of one scan. Move-only; closes the folder on destruction.
class OutputFolder {
  public:
    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(OutputFolder&& other) noexcept;
    OutputFolder& operator=(OutputFolder&& other) noexcept;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Opens the existing folder `path` (UTF-8, ending with a path separator)
    // and sets the next file number to one past the highest "KVnnnnn" name
    // already in it. Returns 0 or the error number.
    int open(const std::string& path);
    bool isOpen() const { return handle_ != kNoHandle; }
    // The folder as given to open(), ending with a separator.
    const std::string& path() const { return path_; }

    // Creates the file `name` in the folder for reading and writing. Never
    // follows a link and never opens an existing name: a name that is taken
    // (by a file, a link, a folder) gives EEXIST. Returns a closed file with
    // `error` set on failure.
    FolderFile create(const std::string& name, int& error);
    // Renames `from` to `to` inside the folder without ever replacing `to`
    // (EEXIST when it is taken). Returns 0 or the error number; on failure
    // `from` is left as it was.
    int rename(const std::string& from, const std::string& to);
    // Deletes `name` (a file of the folder). Returns 0 or the error number.
    int remove(const std::string& name);
    // The names in the folder (files, links, folders), in no given order.
    std::vector<std::string> names() const;

    // Creates the next numbered file: "KV" + number (at least five digits) +
    // "." + extension (no dot without one), trying numbers from the next
    // number on and skipping every name that is taken. Fills `name` and
    // `number`; on failure returns a closed file with `error` set (ENAMETOOLONG
    // when the path would be longer than kMaxOutputPath).
    FolderFile createNumbered(const char* extension, std::string& name, uint32_t& number, int& error);
    // A file numbered `number` was kept: the next file gets the number after it.
    void numberKept(uint32_t number);
    // The number the next file is tried with.
    uint32_t nextNumber() const { return nextNumber_; }

    // An empty buffer for the data a file holds in memory; one given back
    // before is handed out again, so a scan touches its pages once rather
    // than once per file.
    PageAlignedBytes takeBuffer();
    void giveBack(PageAlignedBytes&& buffer);

  private:
    static constexpr intptr_t kNoHandle = -1;

    std::string path_;
    intptr_t handle_ = kNoHandle;
    uint32_t nextNumber_ = 0;
    PageAlignedBytes spare_;
};

// Longest output path, in bytes (the path buffer holds 2048 with its terminator).
constexpr size_t kMaxOutputPath = 2047;

// The name of file `number`: "KV" + the number with at least five digits +
// "." + extension, or without the dot when the extension is null or empty.
std::string outputName(uint32_t number, const char* extension);

// The number of a name "KV" + at least five digits, alone or followed by a
// dot or an underscore and anything; false for any other name.
bool outputNumber(const std::string& name, uint32_t& number);

// One past the highest output number among `names` (0 when there is none).
// When the highest is the largest 32-bit number, that number is returned:
// creation then finds the name taken and fails.
uint32_t numberAfter(const std::vector<std::string>& names);

}  // namespace salvora
