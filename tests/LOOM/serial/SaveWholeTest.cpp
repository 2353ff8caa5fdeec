#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/XMLSaver.h"
#include "tests/LOOM/support/SaveFaults.h"
#include "tests/LOOM/support/TempDir.h"

namespace {

// Long enough to take several writes, so a disk filling up half-way is seen.
const std::string kLongText(300 * 1024, 'w');

template <typename Saver>
bool SaveRecord(const std::string& path)
{
    Saver saver;
    if (!saver.Open(path))
        return false;
    std::string text = kLongText;
    saver.SerializeString("Text", text);
    saver.Close();
    return saver.IsGood();
}

struct SaverCase
{
    const char* mName;
    std::function<bool(const std::string&)> mSave;
};

const SaverCase kSavers[] = {
    {"XMLSaver", SaveRecord<XMLSaver>},
    {"BinarySaver", SaveRecord<BinarySaver>},
    {"SaveWholeFile", [](const std::string& path) { return SaveWholeFile(path, kLongText); }},
};

} // namespace

TEST(SaveWhole, AFailedSaveLeavesTheOldFileWholeLogsOneErrorAndReportsIt)
{
    struct Fault
    {
        const char* mName;
        // Sets the fault up on the folder holding the target; the guard it returns lifts it.
        std::function<std::shared_ptr<void>(TempDir&)> mArrange;
        const char* mTarget;
    };
    const Fault faults[] = {
        {"full disk at the first write", [](TempDir&) { return std::make_shared<FullDisk>(1); }, "Old.dat"},
        {"full disk at the third write", [](TempDir&) { return std::make_shared<FullDisk>(3); }, "Old.dat"},
        {"read-only folder",
         [](TempDir& dir) {
             auto folder = std::make_shared<ReadOnlyFolder>(dir.Path("Saves"));
             EXPECT_TRUE(folder->Holds()) << "the folder could still be written";
             return folder;
         },
         "Old.dat"},
        {"a folder where the file goes",
         [](TempDir& dir) {
             std::filesystem::create_directories(dir.Path("Saves/Folder.dat"));
             return std::shared_ptr<void>();
         },
         "Folder.dat"},
        {"a missing folder", [](TempDir&) { return std::shared_ptr<void>(); }, "Missing/Old.dat"},
    };
    for (const SaverCase& saver : kSavers)
    {
        for (const Fault& fault : faults)
        {
            SCOPED_TRACE(std::string(saver.mName) + ", " + fault.mName);
            TempDir dir;
            dir.Write("Saves/Old.dat", "the old bytes\n");
            const auto before = FolderSnapshot(dir.Path());
            const std::string target = dir.Path(std::string("Saves/") + fault.mTarget);
            const uint32_t mark = Console::Instance().GetEntryCounter();
            bool saved = true;
            {
                const std::shared_ptr<void> guard = fault.mArrange(dir);
                saved = saver.mSave(target);
            }
            EXPECT_FALSE(saved);
            EXPECT_EQ(FolderSnapshot(dir.Path()), before) << "the old file changed or a temporary file stayed";
            EXPECT_EQ(ErrorsNaming(mark, GetFileName(fault.mTarget)), 1);
        }
    }
}

TEST(SaveWhole, ASaveReplacesTheFileKeepsItsModeAndLeavesNothingBeside)
{
    for (const SaverCase& saver : kSavers)
    {
        SCOPED_TRACE(saver.mName);
        TempDir dir;
        const std::string target = dir.Write("Old.dat", "the old bytes\n");
        ::chmod(target.c_str(), 0640);
        const uint32_t mark = Console::Instance().GetEntryCounter();
        ASSERT_TRUE(saver.mSave(target));
        EXPECT_EQ(ErrorsNaming(mark, ""), 0);
        const auto after = FolderSnapshot(dir.Path());
        ASSERT_EQ(after.size(), 1u);
        EXPECT_NE(after.at(target).find(kLongText), std::string::npos);
        struct stat info = {};
        ::stat(target.c_str(), &info);
        EXPECT_EQ(info.st_mode & 0777, 0640u);
    }
}
