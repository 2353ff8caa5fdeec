#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "tests/LOOM/support/ConsoleTestSupport.h"

namespace fs = std::filesystem;

namespace {
std::vector<std::string> ReadLines(const fs::path& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Points the data folder at a fresh temporary folder for one test.
struct DataFolder
{
    DataFolder()
    {
        mPath = fs::temp_directory_path() /
            ("loom_console_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(mPath);
        fs::create_directories(mPath);
        mOld = GetDataPath();
        SetDataPath(mPath.string() + "/");
    }
    ~DataFolder()
    {
        SetDataPath(mOld);
        fs::remove_all(mPath);
    }
    fs::path mPath;
    std::string mOld;
};
} // namespace

TEST(ConsoleRegistry, BuiltInsAreRegistered)
{
    TestConsole console;
    const std::vector<std::string> expected = {"console", "debugvalue", "list", "mes", "removedebugvalue", "script"};
    std::vector<std::string> names;
    for (const auto& [name, entry] : console.GetCommands())
        names.push_back(name);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(console.GetCommands().at("console").mDescription, "Shows the console");
    EXPECT_EQ(console.FindCommand("DebugValue")->Signature(), 0x6A6Au);
    EXPECT_EQ(console.FindCommand("console")->Signature(), 0x69u);
    EXPECT_EQ(console.FindCommand("List")->Signature(), 0u);
    EXPECT_EQ(console.FindCommand("absent"), nullptr);
}

TEST(ConsoleRegistry, SecondRegistrationReplacesAndFreesTheFirst)
{
    int deleted = 0;
    TestConsole console;
    auto first = std::make_unique<RecordingCommand>(&deleted);
    console.RegisterCommand("Spawn", std::move(first), "first");
    auto second = std::make_unique<RecordingCommand>(&deleted);
    RecordingCommand* kept = second.get();
    console.RegisterCommand("SPAWN", std::move(second), "second");
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(console.FindCommand("spawn"), kept);
    EXPECT_EQ(console.GetCommands().at("spawn").mDescription, "second");
    console.AddCommand("spawn", std::make_unique<RecordingCommand>(&deleted));
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(console.GetCommands().at("spawn").mDescription, "");
}

TEST(ConsoleRegistry, CommandReplacingItselfWhileRunningStaysAliveToTheEnd)
{
    // Registers a new command under its own name while it runs, then touches itself.
    struct SelfReplacing : ConsoleCommand
    {
        SelfReplacing(Console* console, int* deleted) : mConsole(console), mDeleted(deleted) {}
        ~SelfReplacing() override { ++*mDeleted; }
        uint32_t Signature() const override { return 0; }
        void Execute(ParamBuffer&) override
        {
            mConsole->RegisterCommand("again", std::make_unique<RecordingCommand>(), "");
            mRan = true;
        }
        void Execute() override {}
        Console* mConsole;
        int* mDeleted;
        bool mRan = false;
    };
    int deleted = 0;
    TestConsole console;
    console.RegisterCommand("again", std::make_unique<SelfReplacing>(&console, &deleted), "");
    console.ExecuteLine("again");
    EXPECT_EQ(deleted, 1);
}

TEST(ConsoleRegistry, DestructorFreesEveryCommand)
{
    int deleted = 0;
    {
        TestConsole console;
        console.RegisterCommand("a", std::make_unique<RecordingCommand>(&deleted), "");
        console.RegisterCommand("b", std::make_unique<RecordingCommand>(&deleted), "");
    }
    EXPECT_EQ(deleted, 2);
}

TEST(ConsoleRegistry, ListWritesCommandsSortedByLowerCaseName)
{
    DataFolder folder;
    TestConsole console;
    console.RegisterCommand("Zeta", std::make_unique<RecordingCommand>(), "last");
    console.RegisterCommand("alpha", std::make_unique<RecordingCommand>(), "first");
    console.RegisterCommand("Beta", std::make_unique<RecordingCommand>(), "second");
    console.ExecuteLine("LIST");
    const std::vector<std::string> expected = {
        "] alpha : first",
        "] beta : second",
        "] console : Shows the console",
        "] debugvalue : Maps a debug value to the console",
        "] list : List console commands",
        "] mes : Message the console",
        "] removedebugvalue : Removes a debug value",
        "] script : Run a console script",
        "] zeta : last",
    };
    EXPECT_EQ(ReadLines(folder.mPath / "Commands.txt"), expected);
    // The same lines went to the log, in order, after the echo of the line.
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(console.GetEntries().FromNewest(expected.size() - 1 - i).mText, expected[i]);
    EXPECT_EQ(console.GetEntries().FromNewest(expected.size()).mText, "]LIST");

    // A second listing truncates the file instead of appending.
    console.ExecuteLine("List");
    EXPECT_EQ(ReadLines(folder.mPath / "Commands.txt").size(), expected.size());
}

TEST(ConsoleRegistry, ListIntoMissingFolderLogsAndStillLists)
{
    const std::string old = GetDataPath();
    SetDataPath("/nonexistent_loom_folder/");
    TestConsole console;
    console.List();
    SetDataPath(old);
    EXPECT_EQ(console.Last().mText, "] script : Run a console script");
    bool errorLogged = false;
    for (size_t i = 0; i < console.GetEntries().Size(); ++i)
        errorLogged |= console.GetEntries().FromNewest(i).mCategory == LogError;
    EXPECT_TRUE(errorLogged);
}
