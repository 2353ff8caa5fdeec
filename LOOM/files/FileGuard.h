#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// Data files name paths with '\'; every function here accepts '\' and '/' alike beneath the data
// folder. The data folder's own path is taken as the system gives it: a '\' there is part of a name.
void SetDataPathFromCwd();
void SetDataPath(const std::string& path);
std::string GetDataPath();
// From here on the file guard (OpenDataFile) opens only what lies inside the data folder, whose
// descriptor it takes now (and again should the data path change while it is on). The engine
// turns it on as it names its data folder at start; a tool or test that names a folder only to
// find files in is not held to it (the other checks of the guard hold for all).
void ConfineToDataFolder(bool confined);
bool IsConfinedToDataFolder();

// A path as the file system wants it: separators turned to '/', and when the exact
// path is missing, a case-insensitive match of each component in its folder. The folders are
// looked into through the file guard: where it would refuse the path, the path is kept as given.
std::string ResolvePath(const std::string& path);
// The data path joined to a relative path; an absolute path is kept as it is.
std::string DataFilePath(const std::string& path);

// A path named by the console, a script or a data file, joined to the data folder. Refused
// (false, one Error naming it) when it holds a NUL byte, is too long, is absolute or leaves the
// folder: ".." with either separator, or a symbolic link on the way pointing out of it, whether
// its target is there or not. refusal, when given, gets the logged text.
bool DataPathInside(std::string_view path, std::string& out, std::string* refusal = nullptr);
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

// Why the file guard turned a path away.
struct FileRefusal
{
    // Something other than a regular file stands there (a folder, a FIFO, a device, a socket).
    bool mNotAFile = false;
    // What is wrong with it, without the path: "leaves the data folder through a link".
    std::string mWhy;
    // The logged line: "Path refused: \"shown\" why", or "shown why" for a thing that is not a file.
    // A NUL byte in shown is written as \0, and a very long one is cut.
    std::string Text(std::string_view shown) const;
};

// The one door through which the program opens a file, engine or script, to read or to write.
// path is absolute, or relative to the working folder; mode is fopen's ("r", "w", "a", with "+"
// and "b"). While ConfineToDataFolder is on, the path is opened beneath the data folder's
// descriptor, taken when the folder was fixed: the kernel (openat2, RESOLVE_BENEATH) resolves
// every ".." and link and refuses whatever leaves the folder; a kernel without openat2 gets a
// walk of our own that follows each link and checks where it leads. A path holding a NUL byte or
// longer than the system takes is refused before anything is looked at. It must be a regular
// file: a FIFO or a device is turned away before it is opened. A file with more than one name
// is read as any other, but a write never changes its other names: "w" puts a new file in its
// place, "a" and "r+" are refused. "w" creates a missing file and empties an existing one only
// once all this holds. Returns the descriptor, or -1 with errno set. A refusal is logged as an
// Error naming the path as shown (the path relative to the data folder when empty) unless
// refusal is given: then it is handed there for the caller to say. A missing file is no refusal
// and is not logged.
int OpenDataFile(std::string_view path, const char* mode, FileRefusal* refusal = nullptr,
                 std::string_view shown = std::string_view());

// A file (or an empty folder) removed, or renamed, by its name in the folder the file guard finds
// for it, confined as OpenDataFile is: the path is resolved once, and unlinkat/renameat act on
// that folder's descriptor, so a folder swapped for a link meanwhile changes nothing outside.
// The last component itself is never followed: a link is removed or renamed, not its target.
// Returns 0 or the errno; a path the guard refuses is EACCES, its refusal logged as an Error
// naming shown (or the path relative to the data folder), or handed to refusal when given.
int RemoveDataFile(std::string_view path, std::string* refusal = nullptr, std::string_view shown = {});
int RenameDataFile(std::string_view from, std::string_view to, std::string* refusal = nullptr,
                   std::string_view fromShown = {}, std::string_view toShown = {});

// Tests run the file guard both ways: forced, it walks the path itself as it does where the
// kernel has no openat2. Returns the previous setting.
bool ForceFileGuardWalk(bool forced);

// True for a readable regular file only; anything else found there (a folder, a FIFO, a
// device) is "not a file", logged as an Error naming it. Where the file guard would refuse the
// path as leading out of the data folder, that refusal is logged and it is not there either.
bool FileExists(std::string_view path);
bool DoesFileExist(std::string_view path);
// Appends the names (without folder) of the files in folder ending in "." + extension, sorted.
// The folder is opened through the file guard: one it refuses is logged and lists nothing.
void ListFolderFiles(std::string_view folder, const std::string& extension, std::vector<std::string>& out);
// No data file of ours comes near this; a name pointing at a huge file must not ask for gigabytes.
constexpr size_t kMaxDataFileBytes = size_t(256) << 20;
// Whole file into memory, opened through OpenDataFile; false when it cannot be read. A file above
// maxBytes is refused with one logged error naming it; a refusal of the guard is logged, or handed
// to refusal when given.
bool ReadWholeFile(std::string_view path, std::string& out, size_t maxBytes = kMaxDataFileBytes,
                   FileRefusal* refusal = nullptr);

// Saves bytes whole or not at all: a temporary file beside the target, every write checked,
// synced, then renamed over the target. The target's folder is the one the file guard finds,
// links followed; one outside the data folder is refused. A failure logs one Error naming the file and the
// reason (or hands the reason to why instead), removes the temporary file and leaves the old
// file as it was.
bool SaveWholeFile(std::string_view path, std::string_view bytes, std::string* why = nullptr);

// Tests stand in for write(2) here to play a full disk; nullptr puts the real call back.
using FileWriteCall = ssize_t (*)(int fd, const void* data, size_t size);
FileWriteCall SetFileWriteCall(FileWriteCall call);
