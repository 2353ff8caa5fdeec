#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/FileComposition.h"
#include "LOOM/files/FileGuard.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/serial/XMLSaver.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/DataController.h"
#include "game/logic/PhraseBank.h"
#include "tests/game/GameSim.h"
#include "tests/input/LogProbe.h"

namespace {
const std::string kTestData = std::string(LOOM_TEST_DATA) + "/game/";

template <typename T>
std::string SavedText(T& object, const TempDir& dir)
{
    XMLSaver saver;
    EXPECT_TRUE(saver.Open(dir.Path("saved.xml")));
    saver.SerializeObject(object);
    saver.Close();
    return TempDir::Read(dir.Path("saved.xml"));
}

int gTrapButtonCalls = 0;

// A cog named "HUD" that counts its "CreateTrapButtons" calls.
Cog* MakeRecordingHud(GameSim& sim)
{
    gTrapButtonCalls = 0;
    sim.Cogs().Types().RegisterFunction("RecordTrapButtons", MakeCogFunctor([](Cog*) { ++gTrapButtonCalls; }));
    sim.Cogs().Files().LoadCogFile(kTestData + "HUD.xml");
    Cog* hud = sim.Cogs().Allocate("RecordingHud");
    EXPECT_NE(hud, nullptr);
    hud->SetName("HUD");
    hud->Initialize();
    return hud;
}
} // namespace

TEST(GameData, DataFilesSaveBackByteForByte)
{
    TempDir dir;
    const std::string data = GameDataFolder() + "/Config/";
    DataController controller;
    controller.LoadGameData(data + "LogicData.xml");
    EXPECT_EQ(controller.mTrapInfo.size(), 16u);
    EXPECT_EQ(
        controller.mTrapOrder,
        (std::vector<std::string>{"spikes", "hammer", "spring", "poison", "fan", "wall", "axe", "pit", "satellite",
                                  "missile", "zapper", "laserturret", "lightbulb", "flame", "vortex", "mist"}));
    // One key per kind, none taken by the camera or the field editor.
    std::set<char> keys;
    for (const auto& [name, info] : controller.mTrapInfo)
    {
        EXPECT_EQ(std::string("WASDQERFTGBYUI").find(info.trapKey), std::string::npos) << name;
        keys.insert(info.trapKey);
    }
    EXPECT_EQ(keys.size(), controller.mTrapInfo.size());
    EXPECT_EQ(controller.mInvaderInfo.size(), 12u);
    EXPECT_EQ(controller.GetTrapInfo("poison").widthTileSize, 3);
    EXPECT_EQ(SavedText(controller, dir), TempDir::Read(data + "LogicData.xml"));

    PhraseBank bank;
    LoadPhraseBank(bank, data + "PhraseBank.xml");
    for (int32_t situation = 0; situation < PhraseBank::kSituationCount; ++situation)
        EXPECT_FALSE(bank.GetSituation(situation).empty()) << situation;
    EXPECT_EQ(SavedText(bank, dir), TempDir::Read(data + "PhraseBank.xml"));
}

// Each entry starts from the defaults: an empty element never takes another entry's value, and an
// empty number is named. A repeated key keeps the first entry.
TEST(GameData, EachEntryStartsFromTheDefaultsAndRepeatedKeysKeepTheFirst)
{
    DataController controller;
    const LogProbe log;
    controller.LoadGameData(kTestData + "CarryOver.xml");
    ASSERT_EQ(controller.mTrapInfo.size(), 3u);
    const TrapInfo& zap = controller.mTrapInfo.at("zap");
    const TrapInfo& bolt = controller.mTrapInfo.at("bolt");
    const TrapInfo& net = controller.mTrapInfo.at("net");
    EXPECT_EQ(zap.trapKey, 'Z');
    EXPECT_EQ(zap.creditCost, 5);
    EXPECT_FALSE(zap.MustOrient);
    EXPECT_FLOAT_EQ(zap.MaxDuration, -1.0f);
    EXPECT_EQ(zap.trapDescription, "First");
    EXPECT_EQ(bolt.widthTileSize, 2);
    EXPECT_EQ(bolt.MaxUses, -1);
    EXPECT_EQ(bolt.creditCost, 12);
    EXPECT_EQ(bolt.trapModelFile, "Models\\Bolt.lmf");
    const TrapInfo defaults;
    EXPECT_EQ(net.trapKey, defaults.trapKey);
    EXPECT_EQ(net.trapModelFile, "");
    EXPECT_EQ(net.MustOrient, defaults.MustOrient);
    EXPECT_EQ(net.creditCost, 5);
    EXPECT_EQ(net.depthTileSize, 2);
    EXPECT_FLOAT_EQ(net.MaxDuration, -1.0f);
    EXPECT_EQ(net.trapDescription, defaults.trapDescription);
    EXPECT_TRUE(zap.enabled && bolt.enabled && net.enabled);
    // zap: creditCost, MaxDuration; bolt: widthTileSize, MaxUses; net: all five numbers.
    EXPECT_EQ(log.Count("\" refused (not a number); it keeps "), 9);
}

// A price or worth in a data file that is no whole (price) or finite (worth) decimal number from 0
// to 2147483647 is refused with one error naming the file, the line, the field and the text as
// written; the entry keeps its own default, never another entry's value, and the others read as usual.
TEST(GameData, BadPricesAndWorthsAreRefusedByTheirTextAndKeepTheirOwnDefault)
{
    const std::string real = TempDir::Read(GameDataFolder() + "/Config/LogicData.xml");
    // The light bulb comes after the laser turret (45) in the file; its price line.
    const std::string bulbPrice = "<int name=\"creditCost\">20</int>";
    const size_t bulb = real.find(bulbPrice, real.find("<string>lightbulb</string>"));
    ASSERT_NE(bulb, std::string::npos);
    const size_t bulbLine = 1 + size_t(std::count(real.begin(), real.begin() + std::ptrdiff_t(bulb), '\n'));
    struct Case
    {
        const char* mText;
        const char* mWhy;
    };
    const Case prices[] = {
        {"nan", "not a whole decimal number"},
        {"0x7fffffff", "not a whole decimal number"},
        {" 12 junk", "not a whole decimal number"},
        {"", "not a number"},
        {"-1", "out of range: 0 to 2147483647"},
        {"-2147483649", "out of range for an int: -2147483648 to 2147483647"},
        {"3000000000", "out of range for an int: -2147483648 to 2147483647"},
    };
    // The engine writes file names from the data folder on, with its own separator.
    auto named = [](std::string path) {
        path = DataRelativeName(path);
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    };
    for (const Case& c : prices)
    {
        SCOPED_TRACE(c.mText);
        TempDir dir;
        std::string text = real;
        text.replace(bulb, bulbPrice.size(), std::string("<int name=\"creditCost\">") + c.mText + "</int>");
        dir.Write("LogicData.xml", text);
        DataController controller;
        const LogProbe log;
        controller.LoadGameData(dir.Path("LogicData.xml"));
        EXPECT_EQ(controller.GetTrapInfo("lightbulb").creditCost, 5);
        EXPECT_EQ(controller.GetTrapInfo("laserturret").creditCost, 45);
        EXPECT_EQ(controller.GetTrapInfo("mist").creditCost, 25);
        std::string written = c.mText;
        written.erase(0, written.find_first_not_of(' '));
        EXPECT_EQ(log.Errors(),
                  std::vector<std::string>{named(dir.Path("LogicData.xml")) + " line " + std::to_string(bulbLine) +
                                           ": creditCost \"" + written + "\" refused (" + c.mWhy + "); it keeps 5"});
    }

    // The worth of the real plain invader, read over one that holds 5.
    GameSim sim;
    const std::string plain = TempDir::Read(sim.Path("Data/Invaders/Plain.xml"));
    const std::string worthLine = "<real name=\"CreditWorth\">4</real>";
    const size_t worth = plain.find(worthLine);
    ASSERT_NE(worth, std::string::npos);
    const size_t line = 1 + size_t(std::count(plain.begin(), plain.begin() + std::ptrdiff_t(worth), '\n'));
    const Case worths[] = {
        {"inf", "not a finite decimal number"},
        {"nan", "not a finite decimal number"},
        {"-2147483649", "out of range: 0 to 2147483647"},
        {"3e9", "out of range: 0 to 2147483647"},
        {"1e39", "out of range for a real"},
    };
    for (const Case& c : worths)
    {
        SCOPED_TRACE(c.mText);
        std::string text = plain;
        text.replace(worth, worthLine.size(), std::string("<real name=\"CreditWorth\">") + c.mText + "</real>");
        std::ofstream(sim.Path("Worth.xml")) << text;
        Cog* invader = sim.Cogs().Allocate("grunt");
        ASSERT_NE(invader, nullptr);
        Kestrane& k = *invader->Get<Kestrane>();
        k.mCreditWorth = 5.0f;
        const LogProbe log;
        EXPECT_TRUE(LoadArchetypeXml(*invader, sim.Path("Worth.xml")));
        EXPECT_EQ(k.mName, "plain");
        EXPECT_FLOAT_EQ(k.mCreditWorth, 5.0f);
        EXPECT_EQ(log.Errors(),
                  std::vector<std::string>{named(sim.Path("Worth.xml")) + " line " + std::to_string(line) +
                                           ": CreditWorth \"" + c.mText + "\" refused (" + c.mWhy + "); it keeps 5"});
        invader->Destroy();
    }
}

TEST(GameData, PhraseListsStartFromDefaultRecords)
{
    PhraseBank bank;
    EXPECT_TRUE(bank.mEnabled);
    LoadPhraseBank(bank, kTestData + "ThreePhrases.xml");
    ASSERT_EQ(bank.mPhrases.size(), 3u);
    const PhraseRecord& blank = bank.mPhrases[1];
    EXPECT_EQ(blank.invaderName, "All");
    EXPECT_EQ(blank.situation, 0);
    EXPECT_EQ(blank.statusEffect, 0);
    EXPECT_FLOAT_EQ(blank.percentChance, 0.25f);
    EXPECT_EQ(blank.phraseText, "I am a banana!");
    EXPECT_FALSE(blank.UseThoughtBubble);
    EXPECT_EQ(bank.mPhrases[0].statusEffect, 2);
    EXPECT_TRUE(bank.mPhrases[0].UseThoughtBubble);
    EXPECT_EQ(bank.GetSituation(8), (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(bank.GetSituation(0), (std::vector<uint32_t>{1}));
    EXPECT_TRUE(bank.GetSituation(10).empty());
}

TEST(GameData, UnknownNamesAssertAndFallBack)
{
    DataController controller;
    const int before = AssertFailureCount();
    const uint32_t since = Console::Instance().GetEntryCounter();
    // Nothing loaded: a scratch default record, and a log line naming the request.
    TrapInfo& scratch = controller.GetTrapInfo("laser");
    EXPECT_EQ(scratch.creditCost, 5);
    EXPECT_EQ(controller.GetInvaderInfo("ghost").invaderIndex, 0);
    EXPECT_EQ(controller.GetSpawnInfo("x").behaviorDescription, "A spawning behavior");
    EXPECT_EQ(controller.GetSpawnerInfo("y").spawnerDescription, "An invader spawner");
    EXPECT_EQ(AssertFailureCount() - before, 4);
    EXPECT_GE(Console::Instance().GetEntryCounter() - since, 4u);

    controller.LoadGameData(GameDataFolder() + "/Config/LogicData.xml");
    EXPECT_EQ(&controller.GetTrapInfo("laser"), &controller.mTrapInfo.at("axe")) << "the smallest key answers";
    EXPECT_EQ(&controller.GetInvaderInfo("ghost"), &controller.mInvaderInfo.at("antigrabber"));
    EXPECT_TRUE(controller.HasTrapInfo("wall"));
    EXPECT_FALSE(controller.HasTrapInfo("Wall"));
    EXPECT_TRUE(controller.HasSpawnerInfo("spawner"));
}

TEST(DataController, RecordKillCountsByKind)
{
    struct Case
    {
        int32_t kind;
        int32_t LevelStats::*counter; // null: no counter moves
        bool credited;
    } cases[] = {
        {0, nullptr, false},
        {1, &LevelStats::physicsKills, true},
        {2, &LevelStats::trapKills, true},
        {3, &LevelStats::statusKills, true},
        {4, &LevelStats::explosionKills, true},
        {5, &LevelStats::suicides, false},
        {6, nullptr, true},
        {7, nullptr, true},
    };
    for (const Case& c : cases)
    {
        DataController data;
        data.mLiveInvaders = 3;
        data.RecordKill("grunt", c.kind, 7);
        data.RecordKill("grunt", c.kind, 7);
        EXPECT_EQ(data.mKills, 2) << c.kind;
        EXPECT_EQ(data.mLiveInvaders, 1) << c.kind;
        const LevelStats& s = data.mStats;
        for (int32_t LevelStats::*counter :
             {&LevelStats::physicsKills, &LevelStats::trapKills, &LevelStats::statusKills, &LevelStats::explosionKills,
              &LevelStats::suicides})
            EXPECT_EQ(s.*counter, counter == c.counter ? 2 : 0) << c.kind;
        EXPECT_EQ(data.GetPoints(), c.credited ? 114 : 100) << c.kind;
        EXPECT_EQ(s.pointsEarned, c.credited ? 14 : 0) << c.kind;
        EXPECT_EQ(s.killsByInvader.count("grunt") ? s.killsByInvader.at("grunt") : 0, c.credited ? 2 : 0) << c.kind;
    }
}

// Points never wrap or change sign through a script: a number the command's parameter cannot
// hold is refused with a script error naming the command and the argument, and the points and
// their statistics stay as they were.
TEST(DataController, ScriptNumbersThePointsCannotHoldAreRefusedAndThePointsStay)
{
    GameSim sim;
    struct Case
    {
        const char* mCall;
        const char* mCommand;
        const char* mGiven;
        int32_t mPoints;
    };
    const Case cases[] = {
        {"G.SetPoints(3e9)", "SetPoints", "3000000000", 77},
        {"G.EarnPoints(3e9)", "EarnPoints", "3000000000", 77},
        {"G.EarnPoints(1/0)", "EarnPoints", "inf", 77},
        {"G.SetPoints(0/0)", "SetPoints", "nan", 77},
        {"G.EarnPoints(-2147483649)", "EarnPoints", "-2147483649", 77},
        {"G.SetPoints(12.5)", "SetPoints", "12.5", 77},
        // What fits goes through; earned points stop at their limit.
        {"G.SetPoints(-2147483648)", nullptr, nullptr, -2147483648},
        {"G.SetPoints(2147483647) G.EarnPoints(2147483647)", nullptr, nullptr, 2147483647},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mCall);
        sim.Data().SetPoints(77);
        sim.Data().mStats.pointsEarned = 3;
        std::ofstream(sim.Path("Scripts/Points.lua")) << c.mCall << "\n";
        const LogProbe log;
        ScriptManager::Instance().RunScript("Scripts/Points.lua");
        EXPECT_EQ(sim.Data().GetPoints(), c.mPoints);
        const std::vector<std::string> errors = log.Errors();
        if (!c.mCommand)
        {
            EXPECT_TRUE(errors.empty()) << errors.front();
            continue;
        }
        EXPECT_EQ(sim.Data().mStats.pointsEarned, 3);
        ASSERT_EQ(errors.size(), 1u);
        const std::string expected = std::string("Points.lua:1: bad argument #1 to '") + c.mCommand +
            "' (its int parameter takes a whole number from -2147483648 to 2147483647, not ";
        EXPECT_NE(errors[0].find(expected), std::string::npos) << errors[0];
        // NaN prints as nan or -nan.
        EXPECT_EQ(errors[0].substr(errors[0].size() - std::string(c.mGiven).size() - 1), std::string(c.mGiven) + ")")
            << errors[0];
    }
}

TEST(DataController, PointsStatisticsAndExitTexts)
{
    DataController data;
    data.SpendPoints(30);
    data.SetPoints(20);
    data.SpendPoints(30);
    EXPECT_EQ(data.GetPoints(), 0);
    EXPECT_EQ(data.mStats.pointsUsed, 60);
    data.EarnPoints(-5);
    EXPECT_EQ(data.GetPoints(), -5);
    EXPECT_EQ(data.mStats.pointsEarned, -5);
    data.RecordTrapLost("fan", 4);
    data.RecordTrapLost("fan", 2);
    EXPECT_EQ(data.mStats.trapsLost.at("fan"), 2);

    const uint32_t generation = data.mLevelGeneration;
    data.mMaxKills = 9;
    data.mEditMode = true;
    data.mGameState = StateInLevel;
    data.ResetLevel();
    EXPECT_EQ(data.GetPoints(), 100);
    EXPECT_EQ(data.mMaxKills, 0);
    EXPECT_FALSE(data.mEditMode);
    EXPECT_TRUE(data.mStats.trapsLost.empty());
    EXPECT_EQ(data.mGameState, StateQuit);
    EXPECT_EQ(data.mLevelGeneration, generation + 1);

    const std::pair<int32_t, const char*> texts[] = {
        {0, "YOU ARE STILL PLAYING!"}, {1, "YOU QUIT!"},          {2, "YOU WON!"},           {3, "YOU LOST!"},
        {4, "YOU WERE DISCONNECTED!"}, {7, "ERROR Invalid Exit"}, {-1, "ERROR Invalid Exit"}};
    for (const auto& [state, text] : texts)
    {
        data.mGameState = state;
        EXPECT_STREQ(ExitReasonText(data.mGameState), text);
    }
}

TEST(DataController, TrapCommandsTellTheHudAndThePreview)
{
    GameSim sim;
    MakeRecordingHud(sim);
    DataController& data = sim.Data();
    auto enabled = [&](const char* name) { return data.mTrapInfo.at(name).enabled; };

    sim.Run("DisableTrap spikes"); // not in a level: the HUD is not told
    EXPECT_FALSE(enabled("spikes"));
    EXPECT_EQ(gTrapButtonCalls, 0);

    sim.Run("SetGameState 0");
    struct Step
    {
        const char* line;
        int hudCalls;
    } steps[] = {
        {"DisableTrap hammer", 1}, {"DisableTrap hammer", 1}, {"DisableTrap nothing", 1}, {"EnableTrap hammer", 2},
        {"EnableTrap hammer", 2},  {"EnableTrap nothing", 2}, {"SetPoints 40", 3},
    };
    for (const Step& step : steps)
    {
        data.mDropPreview.mEnabled = false;
        sim.Run(step.line);
        EXPECT_EQ(gTrapButtonCalls, step.hudCalls) << step.line;
        if (std::string(step.line).rfind("EnableTrap", 0) == 0)
        {
            EXPECT_TRUE(data.mDropPreview.mEnabled) << step.line;
        }
    }
    EXPECT_TRUE(enabled("hammer"));
    EXPECT_EQ(data.GetPoints(), 40);

    data.mDropPreview.mTrapName = "spring";
    data.mDropPreview.mMode = DropPreview::ModeTrap;
    sim.Run("DisableTrap fan");
    EXPECT_EQ(data.mDropPreview.mMode, DropPreview::ModeTrap);
    sim.Run("DisableTrap spring");
    EXPECT_EQ(data.mDropPreview.mMode, DropPreview::ModeNone);

    // Leaving the level ends the drop mode (the shipped game's checks of that are elsewhere).
    sim.Run("SetGameState 1");
    EXPECT_EQ(data.mDropPreview.mMode, DropPreview::ModeNone);
    data.mDropPreview.mMode = DropPreview::ModeTrap;
    const int before = gTrapButtonCalls;
    sim.Run("DisableTrapAll");
    EXPECT_EQ(gTrapButtonCalls, before + 1) << "told whatever the state";
    EXPECT_EQ(data.mDropPreview.mMode, DropPreview::ModeTrap);
    for (const auto& [name, info] : data.mTrapInfo)
        EXPECT_FALSE(info.enabled) << name;

    sim.Run("DeactivateTrapDrop");
    EXPECT_FALSE(data.mDropPreview.mEnabled);
    EXPECT_EQ(data.mDropPreview.mMode, DropPreview::ModeNone);
    sim.Run("ActivateTrapDrop");
    EXPECT_TRUE(data.mDropPreview.mEnabled);
    sim.Run("SetInvSpeed 2.5");
    sim.Run("SetMaxKills 12");
    sim.Run("EarnPoints 5");
    sim.Run("KillAllInvaders");
    sim.Run("DestroyAllTraps");
    EXPECT_FLOAT_EQ(data.mInvaderBaseSpeed, 2.5f);
    EXPECT_EQ(data.mMaxKills, 12);
    EXPECT_EQ(data.GetPoints(), 45);
}
