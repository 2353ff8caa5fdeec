#pragma once
#include <cstddef>
#include <string>
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

// A path under the data folder without the folder, for what the player reads; others as given.
std::string DataRelativeName(const std::string& path);

bool FileExists(const std::string& path);
bool DoesFileExist(const std::string& path);
// Appends the names (without folder) of the files in folder ending in "." + extension, sorted.
void ListFolderFiles(const std::string& folder, const std::string& extension, std::vector<std::string>& out);
// No data file of ours comes near this; a name pointing at a huge file must not ask for gigabytes.
constexpr size_t kMaxDataFileBytes = size_t(256) << 20;
// Whole file into memory; false when it cannot be read. A file above maxBytes is refused with
// one logged error naming it.
bool ReadWholeFile(const std::string& path, std::string& out, size_t maxBytes = kMaxDataFileBytes);
