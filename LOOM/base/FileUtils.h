#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// Data files name paths with '\'; every function here accepts '\' and '/' alike.
void SetDataPathFromCwd();
void SetDataPath(const std::string& path);
std::string GetDataPath();

std::string GetFileName(const std::string& path);
std::string GetFileExtension(const std::string& path);

// A path as the file system wants it: separators turned to '/', and when the exact
// path is missing, a case-insensitive match of each component in its folder.
std::string ResolvePath(const std::string& path);
// The data path joined to a relative path; an absolute path is kept as it is.
std::string DataFilePath(const std::string& path);

// A path named by the console, a script or a data file, joined to the data folder. Refused
// (false, one Error naming it) when it is absolute or leaves the folder: ".." with either
// separator, or a symbolic link pointing out of it. refusal, when given, gets the logged text.
bool DataPathInside(const std::string& path, std::string& out, std::string* refusal = nullptr);
// An asset name read from a data file: kept when empty or inside the data folder, else
// refused as above and emptied, so the asset loads as a missing one would.
bool KeepDataName(std::string& name);

// An asset name read from a data file, checked as KeepDataName does but kept as written, so a
// record saved again loses nothing. A refused name is remembered: whoever opens that asset asks
// IsRefusedDataName and loads it as a missing one, without a second complaint.
bool CheckDataName(const std::string& name);
bool IsRefusedDataName(const std::string& name);

// A path under the data folder without the folder, for what the player reads; others as given.
std::string DataRelativeName(const std::string& path);

// True for a readable regular file only; anything else found there (a folder, a FIFO, a
// device) is "not a file", logged as an Error naming it.
bool FileExists(const std::string& path);
bool DoesFileExist(const std::string& path);
// Appends the names (without folder) of the files in folder ending in "." + extension, sorted.
void ListFolderFiles(const std::string& folder, const std::string& extension, std::vector<std::string>& out);
// No data file of ours comes near this; a name pointing at a huge file must not ask for gigabytes.
constexpr size_t kMaxDataFileBytes = size_t(256) << 20;
// Whole file into memory; false when it cannot be read. A file above maxBytes is refused with
// one logged error naming it.
bool ReadWholeFile(const std::string& path, std::string& out, size_t maxBytes = kMaxDataFileBytes);

// Saves bytes whole or not at all: a temporary file beside the target, every write checked,
// synced, then renamed over the target. A failure logs one Error naming the file and the
// reason (or hands the reason to why instead), removes the temporary file and leaves the old
// file as it was.
bool SaveWholeFile(const std::string& path, std::string_view bytes, std::string* why = nullptr);

// Tests stand in for write(2) here to play a full disk; nullptr puts the real call back.
using FileWriteCall = ssize_t (*)(int fd, const void* data, size_t size);
FileWriteCall SetFileWriteCall(FileWriteCall call);
