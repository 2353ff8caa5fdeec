#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "tests/app/DataFolderBeside.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {
struct LoggedEntry
{
    long mId = 0;
    std::string mMessage;
};

// Every entry of a log file a real XML parser reads whole; false when it is not well formed.
bool ReadEntries(const std::string& path, std::vector<LoggedEntry>& entries)
{
    pugi::xml_document document;
    if (!document.load_file(path.c_str()))
        return false;
    for (pugi::xml_node node : document.child("LoomRunTimeLog").children("Entry"))
        entries.push_back({node.attribute("ID").as_llong(), node.child_value("Message")});
    return true;
}

long FrameOf(const LoggedEntry& entry)
{
    return entry.mMessage.rfind("frame ", 0) == 0 ? std::stol(entry.mMessage.substr(6)) : -1;
}
} // namespace

// The disk fills under the running program, and space returns or not before it ends. The kernel's
// cap on the program's file size stands in for the disk: past it a write goes in short and then
// fails, as on a full disk (the program ignores the signal the kernel adds). Log.xml holds whole
// entries only, names what it missed once writes go through again, goes on with the entries after,
// and ends well formed either way.
TEST(LogFullDisk, LogHoldsWholeEntriesGoesOnOnceWritesGoThroughAndEndsWellFormed)
{
    for (const bool spaceReturns : {true, false})
    {
        SCOPED_TRACE(spaceReturns ? "space returns" : "still full at the end");
        beside::ThreeFrames folders;
        folders.dir.Write("data/Scripts/Start.lua",
                          "local n = 0\n"
                          "function GUpdate()\n"
                          "    n = n + 1\n"
                          "    G.Mes(\"frame \" .. n)\n"
                          "    local stop = io.open(\"stop.txt\")\n"
                          "    if stop then stop:close() G.exit() end\n"
                          "end\n");
        const std::string pidFile = folders.dir.Path("pid.txt");
        // The shell's number is the program's: it execs it.
        ChildProcess program("echo $$ > '" + pidFile + "'; " + folders.Command("LOOM_ASSERT=continue"));
        ASSERT_TRUE(program.Started());
        auto logged = [&](const std::string& message) {
            return folders.Log().find("<Message>" + message + "</Message>") != std::string::npos;
        };
        ASSERT_TRUE(WaitUntil([&] { return logged("frame 20") || !program.Running(); }, kProgramLimit, 0.05) &&
                    program.Running())
            << folders.Stderr();
        const pid_t pid = static_cast<pid_t>(std::stol(TempDir::Read(pidFile)));

        // Some room left: the entry that reaches the cap goes in short.
        rlimit old{};
        ASSERT_EQ(prlimit(pid, RLIMIT_FSIZE, nullptr, &old), 0);
        rlimit capped = old;
        capped.rlim_cur =
            std::max(fs::file_size(folders.Data("Log.xml")), fs::file_size(folders.dir.Path("stderr.txt"))) + 700;
        ASSERT_TRUE(program.Running());
        ASSERT_EQ(prlimit(pid, RLIMIT_FSIZE, &capped, nullptr), 0);
        const std::string full = "cannot be written (File too large)";
        ASSERT_TRUE(WaitUntil([&] { return folders.Stderr().find(full) != std::string::npos || !program.Running(); },
                              kProgramLimit, 0.05) &&
                    program.Running())
            << folders.Stderr();
        EXPECT_LE(fs::file_size(folders.Data("Log.xml")), capped.rlim_cur);

        const std::string note = "could not be written to the log file (File too large)";
        if (spaceReturns)
        {
            ASSERT_TRUE(program.Running());
            ASSERT_EQ(prlimit(pid, RLIMIT_FSIZE, &old, nullptr), 0);
            ASSERT_TRUE(WaitUntil(
                [&] {
                    const std::string log = folders.Log();
                    const size_t at = log.find(note);
                    return (at != std::string::npos && log.find("<Message>frame ", at) != std::string::npos) ||
                        !program.Running();
                },
                kProgramLimit, 0.05))
                << folders.Stderr();
        }
        std::ofstream(folders.Data("stop.txt")) << "stop\n";
        ASSERT_EQ(program.Wait(kProgramLimit), 0) << folders.Stderr();

        std::vector<LoggedEntry> entries;
        ASSERT_TRUE(ReadEntries(folders.Data("Log.xml"), entries)) << folders.Log();
        const std::string end = "</LoomRunTimeLog>\n";
        const std::string log = folders.Log();
        EXPECT_EQ(log.rfind(end), log.size() - end.size()) << "the log is closed";
        for (size_t i = 1; i < entries.size(); ++i)
            EXPECT_GT(entries[i].mId, entries[i - 1].mId) << entries[i].mMessage;
        const auto noted = std::find_if(entries.begin(), entries.end(), [&](const LoggedEntry& entry) {
            return entry.mMessage.find(note) != std::string::npos;
        });
        ASSERT_EQ(noted != entries.end(), spaceReturns) << log;
        // Frames go up by one but where entries were missed, and no more are missing than the note says.
        std::vector<long> before, after;
        for (auto it = entries.begin(); it != entries.end(); ++it)
            if (FrameOf(*it) > 0)
                (it < noted ? before : after).push_back(FrameOf(*it));
        ASSERT_FALSE(before.empty());
        for (size_t i = 1; i < before.size(); ++i)
            EXPECT_EQ(before[i], before[i - 1] + 1);
        if (!spaceReturns)
            continue;
        ASSERT_FALSE(after.empty()) << log;
        for (size_t i = 1; i < after.size(); ++i)
            EXPECT_EQ(after[i], after[i - 1] + 1);
        const long missed = after.front() - before.back() - 1;
        EXPECT_GE(missed, 1);
        EXPECT_LE(missed, std::stol(noted->mMessage)) << noted->mMessage;
        EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>", log.find(note)), std::string::npos);
    }
}
