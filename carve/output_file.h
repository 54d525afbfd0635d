// The file being recovered: the one owner of its data from the first block
// to the moment it is kept or dropped.
//
// The first bytes of a file (8 MiB unless said otherwise) stay in memory. The
// file is created in the output folder only when that memory is full or when
// the file is kept, so a file that its end check drops while it is still in
// memory never touches the disk, and a kept file is written once, at its
// final length. Data that goes to disk goes in large pieces (1 MiB), and end
// checks read the file back through readAt(), from memory or in large reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "carve/output_folder.h"

namespace salvora {

class OutputFile {
  public:
    // Bytes held in memory before the file is created on disk.
    static constexpr size_t kMemoryHead = size_t{8} << 20;
    // Once on disk, appended data is written in pieces of this size.
    static constexpr size_t kWritePiece = size_t{1} << 20;
    // Data on disk is read back in pieces of this size.
    static constexpr size_t kReadPiece = size_t{1} << 20;

    // No output: isOpen() is false and every write is refused with EBADF.
    OutputFile() = default;
    // An output that stays in memory whatever its size and never reaches a
    // disk (for checks that only read what was written).
    static OutputFile inMemory();
    // The output of a file to be created in `folder` (not owned: it must
    // outlive this output) under the next free number with `extension`, once
    // more than `memoryLimit` bytes were appended or when it is kept.
    OutputFile(OutputFolder& folder, const char* extension, size_t memoryLimit = kMemoryHead);

    // Closes the file; a file that was not kept is deleted from the folder.
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // True from construction (other than the default) until kept or removed.
    bool isOpen() const { return state_ == State::kOpen; }
    // Bytes appended so far and still held (in memory or on disk).
    uint64_t size() const { return size_; }
    // True once the file exists in the folder.
    bool onDisk() const { return file_.isOpen(); }
    // The path of the file in the folder (folder + name); empty while it is
    // only in memory. After keep() the final path.
    std::string path() const;
    // The file's number; meaningful once it is on disk.
    uint32_t number() const { return number_; }

    // Appends `length` bytes. Returns 0 or the error number. On EFBIG (the
    // file may grow no further) the output holds what reached the disk and
    // size() says how much that is; on any other error the output is broken
    // and every later call fails.
    int append(const uint8_t* data, size_t length);

    // Reads up to `length` bytes at `offset` of what was written. Returns the
    // count read: `length`, or less at the end of the data (0 at or after it,
    // or when the data cannot be read back).
    size_t readAt(uint64_t offset, void* buffer, size_t length);

    // Keeps the first `length` bytes (at most size()) as the file's content,
    // named with `extension` (null or empty: no extension). A file still in
    // memory is created now under its final name and written at once. A file
    // already on disk is cut to `length` and renamed when the extension
    // changed; when that name is taken it keeps its name. Returns 0; or EFBIG
    // when not all of the bytes could be written (the output then holds what
    // reached the disk, is still open, and may be kept again with a length
    // up to its new size); or another error number, the file being removed.
    int keep(uint64_t length, const char* extension);

    // Drops the file: deletes it from the folder when it got there.
    void remove();

    // Gives a kept file the name `name` in its folder, never replacing
    // another file. Returns 0 or the error number (EBADF when the file was
    // not kept); on failure the file keeps its name.
    int renameKept(const std::string& name);

    // True when the last failure of append() or keep() was the creation of
    // the file in the folder (rather than writing to it).
    bool creationFailed() const { return creationFailed_; }

  private:
    enum class State { kNone, kOpen, kKept, kRemoved };

    int spill();
    int flushMemory();
    int fail(int error);
    void release();
    size_t readFromDisk(uint64_t offset, uint8_t* buffer, size_t length);

    State state_ = State::kNone;
    OutputFolder* folder_ = nullptr;  // null: memory only
    std::string extension_;           // of the name the file gets when it goes to disk
    size_t memoryLimit_ = kMemoryHead;
    FolderFile file_;
    std::string name_;
    uint32_t number_ = 0;
    uint64_t size_ = 0;
    uint64_t memoryStart_ = 0;  // file offset of memory_[0]; what lies before is on disk
    PageAlignedBytes memory_;   // bytes [memoryStart_, size_)
    int broken_ = 0;            // the error that broke the output
    bool full_ = false;         // EFBIG: the file can grow no further
    bool creationFailed_ = false;
    PageAlignedBytes cache_;  // bytes read back from disk
    uint64_t cacheStart_ = 0;
};

}  // namespace salvora
