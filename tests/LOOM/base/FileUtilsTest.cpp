#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <filesystem>
#include <map>
#include <thread>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/SaveLeftovers.h"
#include "tests/LOOM/support/FifoWatch.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/TempDir.h"

TEST(FileUtils, FileNameAndExtension)
{
    EXPECT_EQ(GetFileName("Models\\Invaders\\Grunt.lmf"), "Grunt.lmf");
    EXPECT_EQ(GetFileName("Models/Invaders\\Grunt.lmf"), "Grunt.lmf");
    EXPECT_EQ(GetFileName("Models\\Invaders/Grunt.lmf"), "Grunt.lmf");
    EXPECT_EQ(GetFileName("Grunt.lmf"), "Grunt.lmf");
    EXPECT_EQ(GetFileExtension("Level.xml"), "xml");
    EXPECT_EQ(GetFileExtension("archive.tar.gz"), "gz");
    EXPECT_EQ(GetFileExtension("README"), "README");
}

TEST(FileUtils, ExistsAcceptsBothSeparatorsAndAnyCase)
{
    TempDir dir;
    const std::string file = dir.Write("Config/QTree.xml", "<x/>");
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(dir.Path("Config\\QTree.xml")));
    EXPECT_TRUE(FileExists(dir.Path("config\\qtree.XML")));
    EXPECT_FALSE(FileExists(dir.Path("Config\\Missing.xml")));
    EXPECT_EQ(ResolvePath(dir.Path("CONFIG/qtree.xml")), file);
}

TEST(FileUtils, ReadOnlyFileExists)
{
    TempDir dir;
    const std::string file = dir.Write("locked.xml", "data");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read, std::filesystem::perm_options::replace);
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(DoesFileExist(file));
}

TEST(FileUtils, ListingIsSortedFilteredAndWithoutFolder)
{
    TempDir dir;
    dir.Write("Compositions/b.xml", "");
    dir.Write("Compositions/A.xml", "");
    dir.Write("Compositions/c.XML", "");
    dir.Write("Compositions/notes.txt", "");
    dir.Write("Compositions/xml", "");
    std::vector<std::string> names{"kept"};
    ListFolderFiles(dir.Path("Compositions"), "xml", names);
    EXPECT_EQ(names, (std::vector<std::string>{"kept", "A.xml", "b.xml", "c.XML"}));
    ListFolderFiles(dir.Path("Missing"), "xml", names);
    EXPECT_EQ(names.size(), 4u);
}

TEST(FileUtils, DataPathJoinsRelativePathsOnly)
{
    TempDir dir;
    const std::string file = dir.Write("Scripts/Init.lua", "x = 1");
    const std::string saved = GetDataPath();
    SetDataPath(dir.Path() + "/");
    EXPECT_EQ(DataFilePath("Scripts\\Init.lua"), file);
    EXPECT_EQ(DataFilePath(file), file) << "an absolute path is not prefixed";
    std::string content;
    EXPECT_TRUE(ReadWholeFile(DataFilePath("scripts/init.lua"), content));
    EXPECT_EQ(content, "x = 1");
    EXPECT_FALSE(ReadWholeFile(DataFilePath("Scripts/None.lua"), content));
    EXPECT_FALSE(ReadWholeFile(DataFilePath("Scripts"), content)) << "a folder is not a file";
    SetDataPath(saved);
}

TEST(FileUtils, FilesAboveTheCapAreRefusedWithOneLineNamingThem)
{
    TempDir dir;
    const std::string huge = dir.Write("Huge.xml", "");
    // Sparse: the size is there, the disk blocks are not.
    std::filesystem::resize_file(huge, kMaxDataFileBytes + 1);
    const std::string small = dir.Write("Small.xml", "<a/>");
    std::string content = "untouched";
    LogCapture log;
    EXPECT_FALSE(ReadWholeFile(huge, content));
    EXPECT_EQ(content, "untouched");
    EXPECT_EQ(log.Count("File too large to read: "), 1);
    EXPECT_EQ(log.Count("Huge.xml (268435457 bytes, limit 268435456)"), 1);

    // The cap is a parameter; exactly at it still reads.
    EXPECT_TRUE(ReadWholeFile(small, content, 4));
    EXPECT_EQ(content, "<a/>");
    EXPECT_FALSE(ReadWholeFile(small, content, 3));
    EXPECT_EQ(log.Count("File too large"), 2);
}

TEST(FileUtils, PathsFromDataAreKeptInsideTheDataFolder)
{
    TempDir dir;
    dir.Write("Data/Levels/L1.bin", "level");
    dir.Write("Outside/secret.txt", "secret");
    std::filesystem::create_directory_symlink(dir.Path("Outside"), dir.Path("Data/Out"));
    std::filesystem::create_directory_symlink("Levels", dir.Path("Data/Alias"));
    const std::string saved = GetDataPath();
    SetDataPath(dir.Path("Data") + "/");
    const std::string data = dir.Path("Data") + "/";
    const std::pair<const char*, std::string> cases[] = {
        {"Levels/L1.bin", data + "Levels/L1.bin"},
        {"levels\\l1.BIN", data + "Levels/L1.bin"},
        {"Levels/../Levels/New", data + "Levels/New"},
        {"./New.xml", data + "New.xml"},
        {"Levels/..", ""},
        {"Alias/L1.bin", data + "Alias/L1.bin"},
        {"../x", ""},
        {"..\\x.bmp", ""},
        {"Levels/../../x", ""},
        {"Levels\\..\\..\\x", ""},
        {"Missing/../../x", ""},
        {"/tmp/x", ""},
        {"\\x", ""},
        {"C:\\x", ""},
        {"", ""},
        {"Out/secret.txt", ""},
        {"Out/new.xml", ""},
    };
    for (const auto& [path, expected] : cases)
    {
        SCOPED_TRACE(path);
        LogCapture log;
        std::string out = "untouched";
        EXPECT_EQ(DataPathInside(path, out), !expected.empty());
        EXPECT_EQ(out, expected.empty() ? "untouched" : expected);
        // The log shows every separator as '\\'.
        std::string logged = path;
        std::replace(logged.begin(), logged.end(), '/', '\\');
        EXPECT_EQ(log.Count("Path refused: \"" + logged + "\""), expected.empty() ? 1 : 0);
    }
    SetDataPath(saved);
}

TEST(FileUtils, OnlyRegularFilesExistOrAreReadAndTheRestIsRefusedAtOnce)
{
    TempDir dir;
    dir.Write("Plain.xml", "<a/>");
    std::filesystem::create_directories(dir.Path("Folder.xml"));
    ASSERT_EQ(::mkfifo(dir.Path("Fifo.xml").c_str(), 0644), 0);
    const std::pair<const char*, bool> cases[] = {
        {"Plain.xml", true},
        {"Folder.xml", false},
        {"Fifo.xml", false},
        {"Missing.xml", false},
    };
    FifoWatch fifo(dir.Path("Fifo.xml"));
    for (const auto& [name, file] : cases)
    {
        SCOPED_TRACE(name);
        LogCapture log;
        std::string content;
        EXPECT_EQ(FileExists(dir.Path(name)), file);
        EXPECT_EQ(ReadWholeFile(dir.Path(name), content), file);
        EXPECT_EQ(fifo.Touches(), 0) << "the FIFO was opened";
        const bool present = std::string(name) != "Missing.xml";
        EXPECT_EQ(log.Count(std::string(name) + " is not a file"), file || !present ? 0 : 1);
        EXPECT_EQ(log.Count(std::string(name) + " is not a regular file"), file || !present ? 0 : 1);
    }
}

// The file guard with opens confined to the data folder, as the engine runs it, once through the
// kernel's openat2 and once with the walk it falls back on: each name is read, opened to append,
// opened to write and saved (a temporary file renamed over the target). What leads out, is no
// regular file, holds a NUL byte or is too long is refused with one Error per open naming why,
// without outside/ being read, changed or added to; a file of two names is read, but a write
// leaves its other name as it was. The folders behind a link out are neither listed nor looked
// into for a name in another case.
TEST(FileUtils, TheFileGuardOpensOnlyRegularFilesInsideTheDataFolderAndWritesChangeNoOtherName)
{
    namespace fs = std::filesystem;
    for (const bool walk : {false, true})
    {
        SCOPED_TRACE(walk ? "walk" : "openat2");
        TempDir dir;
        dir.Write("data/plain.txt", "plain");
        dir.Write("data/Sub/deep.txt", "deep");
        dir.Write("data/Sub/other.txt", "other");
        dir.Write("outside/secret.txt", "secret");
        const std::string outsideFile = dir.Path("outside/secret.txt");
        const int outsideFd = ::open(outsideFile.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(outsideFd, 0);
        const std::string procFd = "/proc/self/fd/" + std::to_string(outsideFd);
        fs::create_symlink("Sub/other.txt", dir.Path("data/alias.txt"));
        fs::create_symlink("../outside/secret.txt", dir.Path("data/out.txt"));
        fs::create_symlink("../outside/made.txt", dir.Path("data/dangling.txt"));
        fs::create_symlink(dir.Path("outside/made.txt"), dir.Path("data/absdangling.txt"));
        fs::create_symlink("Sub/new.txt", dir.Path("data/ahead.txt"));
        fs::create_symlink("/proc/self/root" + outsideFile, dir.Path("data/procroot.txt"));
        fs::create_symlink(procFd, dir.Path("data/procfd.txt"));
        fs::create_directory_symlink("../outside", dir.Path("data/outdir"));
        fs::create_directory_symlink("../outside/nothing", dir.Path("data/nodir"));
        fs::create_symlink("loop2", dir.Path("data/loop1"));
        fs::create_symlink("loop1", dir.Path("data/loop2"));
        fs::create_hard_link(outsideFile, dir.Path("data/hard.txt"));
        ASSERT_EQ(::mkfifo(dir.Path("data/pipe").c_str(), 0644), 0);
        std::string longName;
        while (longName.size() <= PATH_MAX)
            longName += "Sub/../";
        longName += "plain.txt";
        const std::string saved = GetDataPath();
        SetDataPath(dir.Path("data") + "/");
        ConfineToDataFolder(true);
        const bool wasWalk = ForceFileGuardWalk(walk);

        struct Case
        {
            std::string name;
            const char* read; // the bytes read; nullptr: it cannot be read
            const char* why;  // the refusal logged for each open that fails; nullptr: none
            bool appended;    // "a" opens it
            bool written;     // "w" opens and empties it
            bool saved;       // a save replaces it
        };
        using namespace std::string_literals;
        const char* const leaves = "leaves the data folder";
        const char* const byLink = "leaves the data folder through a link";
        const Case cases[] = {
            {"plain.txt", "plain", nullptr, true, true, true},
            {"Sub/../Sub/deep.txt", "deep", nullptr, true, true, true},
            {"alias.txt", "other", nullptr, true, true, true},
            {"ahead.txt", nullptr, nullptr, true, true, true}, // a link inside to a file not there yet: made there
            {"missing.txt", nullptr, nullptr, true, true, true},
            {"../outside/secret.txt", nullptr, leaves, false, false, false},
            {"..\0/outside/secret.txt"s, nullptr, "holds a NUL byte", false, false, false},
            {"..\0/..\0/..\0/..\0/..\0/..\0/..\0/..\0/etc/hostname"s, nullptr, "holds a NUL byte", false, false, false},
            {"plain.txt\0"s, nullptr, "holds a NUL byte", false, false, false},
            {longName, nullptr, "is too long", false, false, false},
            {std::string(NAME_MAX + 1, 'n'), nullptr, "has a name too long", false, false, false},
            {"/proc/self/root" + outsideFile, nullptr, leaves, false, false, false},
            {procFd, nullptr, leaves, false, false, false},
            {"procroot.txt", nullptr, byLink, false, false, false},
            {"procfd.txt", nullptr, byLink, false, false, false},
            {"out.txt", nullptr, byLink, false, false, false},
            {"dangling.txt", nullptr, byLink, false, false, false},
            {"absdangling.txt", nullptr, byLink, false, false, false},
            {"outdir/secret.txt", nullptr, byLink, false, false, false},
            {"outdir/made.txt", nullptr, byLink, false, false, false},
            // Whether or not the file is there behind the link, the answer is the same.
            {"OUTDIR/SECRET.TXT", nullptr, byLink, false, false, false},
            {"OUTDIR/NOPE.TXT", nullptr, byLink, false, false, false},
            {"nodir/made.txt", nullptr, byLink, false, false, false},
            {"loop1", nullptr, "cannot be followed", false, false, false},
            // Read as any file; appending would change the outside name, writing puts a new file here.
            {"hard.txt", "secret", "has 2 hard links", false, true, true},
            {"pipe", nullptr, "is not a regular file (a FIFO)", false, false, false},
            {"Sub", nullptr, "is not a regular file (a folder)", false, false, false},
        };
        std::map<std::string, std::string> outsideBefore;
        for (const auto& entry : fs::directory_iterator(dir.Path("outside")))
            outsideBefore[entry.path().filename().string()] = TempDir::Read(entry.path().string());
        FifoWatch fifo(dir.Path("data/pipe"));
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.name.substr(0, 40));
            const std::string path = DataFilePath(c.name);
            LogCapture log;
            std::string content;
            EXPECT_EQ(ReadWholeFile(path, content), c.read != nullptr);
            if (c.read)
            {
                EXPECT_EQ(content, c.read);
            }
            int refused = c.read ? 0 : 1;
            for (const bool write : {false, true})
            {
                const int fd = OpenDataFile(path, write ? "w" : "a");
                EXPECT_EQ(fd >= 0, write ? c.written : c.appended);
                refused += fd >= 0 ? 0 : 1;
                if (fd >= 0)
                {
                    struct stat info = {};
                    EXPECT_EQ(::fstat(fd, &info), 0);
                    EXPECT_EQ(info.st_nlink, 1u);
                    if (write)
                    {
                        EXPECT_EQ(info.st_size, 0);
                    }
                    ::close(fd);
                }
            }
            // The FIFO is turned away before it is opened (an open would wait for a writer).
            EXPECT_EQ(fifo.Touches(), 0) << "the FIFO was opened";
            EXPECT_EQ(log.Errors().size(), c.why ? size_t(refused) : 0u);
            if (c.why)
            {
                EXPECT_EQ(log.Count(c.why), refused);
            }
            // A save goes where the write would, and nowhere else.
            std::string why;
            EXPECT_EQ(SaveWholeFile(path, "saved", &why), c.saved) << why;
            if (c.saved)
            {
                EXPECT_TRUE(ReadWholeFile(path, content) && content == "saved");
            }
            else
            {
                const bool notAFile = std::string(c.why).rfind("is not a regular file", 0) == 0;
                EXPECT_NE(why.find(notAFile ? "not a file" : c.why), std::string::npos) << why;
            }
        }
        EXPECT_EQ(fifo.Touches(), 0) << "the FIFO was opened";
        // Listing a folder behind a link out lists nothing and says why.
        {
            LogCapture log;
            std::vector<std::string> listed;
            ListFolderFiles(DataFilePath("outdir"), "txt", listed);
            EXPECT_EQ(listed, std::vector<std::string>());
            EXPECT_EQ(log.Count("Path refused: \"outdir\" " + std::string(byLink)), 1);
            ListFolderFiles(DataFilePath("Sub"), "txt", listed);
            EXPECT_EQ(listed, (std::vector<std::string>{"deep.txt", "new.txt", "other.txt"}));
        }
        ::close(outsideFd);
        std::map<std::string, std::string> outsideAfter;
        for (const auto& entry : fs::directory_iterator(dir.Path("outside")))
            outsideAfter[entry.path().filename().string()] = TempDir::Read(entry.path().string());
        EXPECT_EQ(outsideAfter, outsideBefore);
        EXPECT_EQ(TempDir::Read(dir.Path("data/Sub/new.txt")), "saved");
        EXPECT_EQ(TempDir::Read(dir.Path("data/hard.txt")), "saved");
        // Leftover temporary files would show up beside their target.
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path("data")))
            EXPECT_FALSE(IsSaveLeftoverName(entry.path().filename().string())) << entry.path();
        ForceFileGuardWalk(wasWalk);
        ConfineToDataFolder(false);
        SetDataPath(saved);
    }
}

// Removing and renaming through the file guard, once through openat2 and once with the walk,
// while another thread swaps a data folder with a link out of it (RENAME_EXCHANGE) as fast as it
// can: each name is changed in the folder the guard found, never resolved again, so the files out
// there stay as they were and none is moved in. What the guard refuses says why and names the path.
TEST(FileUtils, RemoveAndRenameChangeOnlyNamesInTheFolderTheGuardFound)
{
    namespace fs = std::filesystem;
    for (const bool walk : {false, true})
    {
        SCOPED_TRACE(walk ? "walk" : "openat2");
        TempDir dir;
        for (const char* name : {"a", "v"})
            dir.Write(std::string("data/race/") + name, "inside");
        for (const char* name : {"a", "b", "v", "secret"})
            dir.Write(std::string("outside/") + name, std::string("the player's ") + name);
        dir.Write("data/plain.txt", "plain");
        fs::create_directories(dir.Path("data/empty"));
        fs::create_directory_symlink("../outside", dir.Path("data/swap"));
        fs::create_directory_symlink("../outside", dir.Path("data/outdir"));
        fs::create_symlink("../outside/secret", dir.Path("data/outlink"));
        std::map<std::string, std::string> before;
        for (const auto& entry : fs::directory_iterator(dir.Path("outside")))
            before[entry.path().filename().string()] = TempDir::Read(entry.path().string());
        const std::string saved = GetDataPath();
        SetDataPath(dir.Path("data") + "/");
        ConfineToDataFolder(true);
        const bool wasWalk = ForceFileGuardWalk(walk);

        // Each way a name may fail, and a link inside removed as itself, not its target.
        struct Case
        {
            const char* from;
            const char* to; // nullptr: a remove
            int error;
            const char* why; // in the refusal
        };
        const Case cases[] = {
            {"plain.txt", "renamed.txt", 0, nullptr},
            {"renamed.txt", nullptr, 0, nullptr},
            {"empty", nullptr, 0, nullptr},
            {"outlink", nullptr, 0, nullptr},
            {"missing.txt", nullptr, ENOENT, nullptr},
            {"nodir/missing.txt", "x", ENOENT, nullptr},
            {"outdir/secret", nullptr, EACCES, "Path refused: \"outdir/secret\" leaves the data folder through a link"},
            {"../outside/secret", nullptr, EACCES, "Path refused: \"../outside/secret\" leaves the data folder"},
            {"race/a", "outdir/a", EACCES, "Path refused: \"outdir/a\" leaves the data folder through a link"},
            {"outdir/secret", "stolen", EACCES,
             "Path refused: \"outdir/secret\" leaves the data folder through a link"},
        };
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.from);
            const std::string from = GetDataPath() + c.from;
            std::string refusal;
            const int error = c.to ? RenameDataFile(from, GetDataPath() + c.to, &refusal, c.from, c.to)
                                   : RemoveDataFile(from, &refusal, c.from);
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(refusal, c.why ? c.why : "");
            EXPECT_EQ(fs::exists(fs::symlink_status(from)),
                      c.error != 0 && std::string(c.from) != "missing.txt" &&
                          std::string(c.from).rfind("nodir", 0) != 0);
        }

        std::atomic<bool> stop{false};
        std::atomic<long> swaps{0};
        const std::string race = dir.Path("data/race");
        const std::string swap = dir.Path("data/swap");
        std::thread swapper([&] {
            while (!stop)
                if (::renameat2(AT_FDCWD, race.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE) == 0)
                    ++swaps;
        });
        int done = 0, refused = 0;
        for (int i = 0; i < 3000 && (i < 300 || done == 0 || refused == 0); ++i)
        {
            std::string refusal;
            const int removed = RemoveDataFile(GetDataPath() + "race/v", &refusal);
            done += removed == 0 ? 1 : 0;
            refused += refusal.empty() ? 0 : 1;
            FileRefusal openRefusal;
            if (const int fd = OpenDataFile(GetDataPath() + "race/v", "w", &openRefusal); fd >= 0)
                ::close(fd);
            refusal.clear();
            const int moved = RenameDataFile(GetDataPath() + "race/a", GetDataPath() + "race/b", &refusal);
            done += moved == 0 ? 1 : 0;
            refused += refusal.empty() ? 0 : 1;
            RenameDataFile(GetDataPath() + "race/b", GetDataPath() + "race/a", &refusal);
            RenameDataFile(GetDataPath() + "race/secret", GetDataPath() + "stolen", &refusal);
        }
        stop = true;
        swapper.join();
        // The race ran both ways: names changed, and names refused while the folder was a link.
        EXPECT_GT(swaps.load(), 0);
        EXPECT_GT(done, 0);
        EXPECT_GT(refused, 0);
        std::map<std::string, std::string> after;
        for (const auto& entry : fs::directory_iterator(dir.Path("outside")))
            after[entry.path().filename().string()] = TempDir::Read(entry.path().string());
        EXPECT_EQ(after, before);
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path("data/stolen"))));

        ForceFileGuardWalk(wasWalk);
        ConfineToDataFolder(false);
        SetDataPath(saved);
    }
}
