#include <gtest/gtest.h>

#include <filesystem>

#include "LOOM/base/FileUtils.h"
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
