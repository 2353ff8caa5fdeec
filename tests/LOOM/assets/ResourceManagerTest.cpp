#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LOOM/assets/AssetManager.h"
#include "LOOM/assets/ResourceManager.h"
#include "LOOM/console/Console.h"

namespace {
int gFreed = 0;

struct Sound : RefCounted
{
    ~Sound() override { ++gFreed; }
    void Load(const std::string&) {}
};

// The General lines logged since the counter, oldest first.
std::vector<std::string> GeneralLinesSince(uint32_t counter)
{
    std::vector<std::string> lines;
    const uint32_t count = Console::Instance().GetEntryCounter() - counter;
    for (size_t i = count; i-- > 0;)
    {
        const LogEntry& entry = Console::Instance().GetEntries().FromNewest(i);
        if (entry.mCategory == LogGeneral)
            lines.push_back(entry.mText);
    }
    return lines;
}
} // namespace

TEST(ResourceManager, CommandsAreRegisteredWithTheirDescriptions)
{
    ResourceManager::Instance();
    const Console::CommandMap& commands = Console::Instance().GetCommands();
    ASSERT_TRUE(commands.count("resourceinfo"));
    ASSERT_TRUE(commands.count("purgeassets"));
    EXPECT_EQ(commands.at("resourceinfo").mDescription, "Displays Loaded Resources Filenames and Ref Counts");
    EXPECT_EQ(commands.at("purgeassets").mDescription, "Purges all unsed assets");
}

TEST(ResourceManager, ManagersJoinWhenMadeAndLeaveWhenDestroyed)
{
    ResourceManager& resources = ResourceManager::Instance();
    const size_t before = resources.GetManagers().size();
    {
        AssetManager<Sound> sounds;
        ASSERT_EQ(resources.GetManagers().size(), before + 1);
        EXPECT_EQ(resources.GetManagers().back(), &sounds);
    }
    EXPECT_EQ(resources.GetManagers().size(), before);
}

TEST(ResourceManager, ResourceInfoWithNoManagerLogsNothing)
{
    ASSERT_TRUE(ResourceManager::Instance().GetManagers().empty());
    const uint32_t counter = Console::Instance().GetEntryCounter();
    Console::Instance().ExecuteLine("ResourceInfo");
    EXPECT_TRUE(GeneralLinesSince(counter).empty());
}

TEST(ResourceManager, ResourceInfoListsTheManagerThenItsAssetsByName)
{
    AssetManager<Sound> sounds;
    sounds.SetFolder("Sounds");
    Sound* b = sounds.Get("b.wav");
    Sound* a = sounds.Get("a.wav");
    const uint32_t counter = Console::Instance().GetEntryCounter();
    Console::Instance().ExecuteLine("resourceinfo");
    EXPECT_EQ(GeneralLinesSince(counter),
              (std::vector<std::string>{"Sounds", ">>  Asset: a.wav RefCount: 2", ">>  Asset: b.wav RefCount: 2"}));
    a->Release();
    b->Release();
}

TEST(ResourceManager, PurgeAssetsTwiceFreesOnlyOnce)
{
    gFreed = 0;
    AssetManager<Sound> first;
    AssetManager<Sound> second;
    first.Get("unused.wav")->Release();
    second.Get("unused.wav")->Release();
    Sound* held = second.Get("held.wav");
    Console::Instance().ExecuteLine("PurgeAssets");
    EXPECT_EQ(gFreed, 2);
    EXPECT_EQ(first.Count(), 0u);
    EXPECT_EQ(second.Count(), 1u);
    Console::Instance().ExecuteLine("PurgeAssets");
    EXPECT_EQ(gFreed, 2);
    held->Release();
}
