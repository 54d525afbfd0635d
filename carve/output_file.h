// Small file operations on recovered files that differ between platforms:
// 64-bit positioning of C streams, cutting a file to a length, renaming over
// an existing name, and the length of a file on disk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace salvora {

// Creates (or empties) the file at `path` (UTF-8) for reading and writing in
// binary mode and returns the stream; null on failure with errno set.
std::FILE* openOutputFile(const std::string& path);
// Positions `file` at the absolute byte offset. False on failure.
bool seekOutput(std::FILE* file, uint64_t offset);
// Moves `file` by `delta` bytes from its current position. False on failure.
bool seekOutputBy(std::FILE* file, int64_t delta);
// Current position of `file`, or -1.
int64_t tellOutput(std::FILE* file);
// Sets the length of the existing file at `path`. False when it cannot be
// opened or cut (the file is never created).
bool cutFile(const std::string& path, uint64_t length);
// Renames `from` to `to`, replacing a file of that name. False on failure,
// in which case `from` is left as it was.
bool renameReplacing(const std::string& from, const std::string& to);
// Length of the file at `path` on disk, or -1.
int64_t fileLength(const std::string& path);
// Deletes the file at `path` (nothing when it does not exist).
void removeFile(const std::string& path);

}  // namespace salvora
