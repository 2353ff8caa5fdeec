#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "LOOM/factory/FileComposition.h"
#include "graphics/scene/SkinModel.h"
#include "physics/RegionComp.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/game/invaders/InvaderSim.h"

// The stored fields of the invader, trap and tower components come back as they were saved,
// under their file names.
TEST(GameComponents, FieldsRoundTripThroughCogFiles)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* invader = sim.Cogs().Allocate("grunt");
    Kestrane& k = InvaderField::K(invader);
    k.mName = "tester";
    k.mCurHP = 3.5f;
    k.mMoveSpeed = 2.25f;
    k.mCreditWorth = 9.0f;
    k.mPathingName = "Random";
    k.mBehaviorName = "Jumper";
    k.mRotationResetRate = 0.5f;
    k.mPermanentStatusEffect = true;
    k.mAvoidTrap = true;
    Cog* trap = sim.Cogs().Allocate("spikes");
    TrapData& t = InvaderField::T(trap);
    t.MaxCharge = 4.0f;
    t.ResetingTime = 1.25f;
    t.StatusEffectType = EffectOnFire;
    t.BehaviorName = "Fan";
    Cog* tower = sim.Cogs().Allocate("tower");
    InvaderField::B(tower).MaxHP = 321.0f;
    InvaderField::B(tower).numLevels = 3;

    ASSERT_TRUE(SaveArchetypeXml(*invader, sim.Path("invader.xml")));
    ASSERT_TRUE(SaveArchetypeXml(*trap, sim.Path("trap.xml")));
    ASSERT_TRUE(SaveArchetypeXml(*tower, sim.Path("tower.xml")));
    const std::string trapText = TempDir::Read(sim.Path("trap.xml"));
    EXPECT_NE(trapText.find("<int name=\"StatusEffectType\" type=\"EffectState\">4</int>"), std::string::npos);
    EXPECT_NE(trapText.find("<real name=\"Max Charge\">4</real>"), std::string::npos);

    Cog* invader2 = sim.Cogs().Allocate("grunt");
    Cog* trap2 = sim.Cogs().Allocate("spikes");
    Cog* tower2 = sim.Cogs().Allocate("tower");
    ASSERT_TRUE(LoadArchetypeXml(*invader2, sim.Path("invader.xml")));
    ASSERT_TRUE(LoadArchetypeXml(*trap2, sim.Path("trap.xml")));
    ASSERT_TRUE(LoadArchetypeXml(*tower2, sim.Path("tower.xml")));
    const Kestrane& k2 = InvaderField::K(invader2);
    EXPECT_EQ(k2.mName, "tester");
    EXPECT_FLOAT_EQ(k2.mCurHP, 3.5f);
    EXPECT_FLOAT_EQ(k2.mMoveSpeed, 2.25f);
    EXPECT_FLOAT_EQ(k2.mCreditWorth, 9.0f);
    EXPECT_EQ(k2.mPathingName, "Random");
    EXPECT_EQ(k2.mBehaviorName, "Jumper");
    EXPECT_FLOAT_EQ(k2.mRotationResetRate, 0.5f);
    EXPECT_TRUE(k2.mPermanentStatusEffect);
    EXPECT_TRUE(k2.mAvoidTrap);
    EXPECT_FALSE(k2.mAvoidWall);
    const TrapData& t2 = InvaderField::T(trap2);
    EXPECT_FLOAT_EQ(t2.MaxCharge, 4.0f);
    EXPECT_FLOAT_EQ(t2.ResetingTime, 1.25f);
    EXPECT_EQ(t2.StatusEffectType, EffectOnFire);
    EXPECT_EQ(t2.BehaviorName, "Fan");
    EXPECT_EQ(t2.Name, "spikes");
    EXPECT_FLOAT_EQ(InvaderField::B(tower2).MaxHP, 321.0f);
    EXPECT_EQ(InvaderField::B(tower2).numLevels, 3);
    for (Cog* cog : {invader, trap, tower, invader2, trap2, tower2})
        sim.Cogs().Destroy(cog);
    sim.Step();
    EXPECT_EQ(sim.Data().mLiveInvaders, 0) << "never attached, never counted";
    EXPECT_TRUE(sim.Data().mInvaders.empty());
}

// A record written before invaders carried a contact region loads whole through the game's own
// start-up: its components are matched by type, and the one it lacks keeps its defaults.
TEST(GameComponents, InvaderRecordWithoutTheRegionLoadsItsMeshAndFields)
{
    TempDir old;
    std::filesystem::copy(GameDataFolder(), old.Path("data"), std::filesystem::copy_options::recursive);
    const std::string record = old.Path("data/Data/Invaders/Grunt.xml");
    std::string text = TempDir::Read(record);
    const size_t begin = text.find("\t\t<comp name=\"RegionComp\"");
    ASSERT_NE(begin, std::string::npos);
    const std::string close = "</comp>\n";
    const size_t end = text.find(close, begin) + close.size();
    text.erase(begin, end - begin);
    ASSERT_EQ(text.find("RegionComp"), std::string::npos);
    std::ofstream(record, std::ios::binary | std::ios::trunc) << text;

    LogCapture log;
    GameSim sim(old.Path("data"));
    Cog* grunt = sim.Cogs().Allocate("grunt");
    ASSERT_NE(grunt, nullptr);
    const Kestrane& k = InvaderField::K(grunt);
    EXPECT_EQ(k.mName, "grunt");
    EXPECT_FLOAT_EQ(k.mMaxHP, 10.0f);
    EXPECT_FLOAT_EQ(k.mMoveSpeed, 1.5f);
    EXPECT_EQ(k.mPathingName, "Basic");
    const SkinModel* skin = grunt->Get<SkinModel>();
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->MeshFileName, "Models/Invaders/Grunt.lmf");
    EXPECT_EQ(skin->SkelFileName, "Models/Invaders/Grunt.lmf");
    const RegionComp* region = grunt->Get<RegionComp>();
    ASSERT_NE(region, nullptr) << "the composition still gives it a region";
    EXPECT_EQ(log.Count("XML File is not correct"), 0);
    // A record that breaks off inside a component is still refused as it was.
    const size_t mesh = text.find("\t\t<comp name=\"SkinModel\"");
    ASSERT_NE(mesh, std::string::npos);
    Cog* cut = sim.Cogs().Allocate("grunt");
    const std::string mangled =
        text.substr(0, mesh) + "\t\t<comp name=\"Bogus\" CompID=\"9999\">\n" + text.substr(mesh);
    std::filesystem::create_directories(sim.Path("Test"));
    std::ofstream(sim.Path("Test/Mangled.xml"), std::ios::binary | std::ios::trunc) << mangled;
    EXPECT_FALSE(LoadArchetypeXml(*cut, sim.Path("Test/Mangled.xml")));

    // A refused asset name is refused where the file is opened, and kept: saving the record again
    // writes it back as it was.
    std::string outside = text;
    const std::string meshLine = "<file name=\"MeshFileName\">Models/Invaders/Grunt.lmf</file>";
    ASSERT_NE(outside.find(meshLine), std::string::npos);
    outside.replace(outside.find(meshLine), meshLine.size(), "<file name=\"MeshFileName\">../Outsider.lmf</file>");
    std::ofstream(sim.Path("Test/Outside.xml"), std::ios::binary | std::ios::trunc) << outside;
    LogCapture opened;
    Cog* strayed = sim.Cogs().Create("Test/Outside.xml");
    ASSERT_NE(strayed, nullptr);
    EXPECT_EQ(strayed->Get<SkinModel>()->MeshFileName, "../Outsider.lmf");
    EXPECT_EQ(opened.Count("Outsider.lmf\" leaves the data folder"), 1) << testing::PrintToString(opened.Errors());
    ASSERT_TRUE(SaveArchetypeXml(*strayed, sim.Path("Test/Saved.xml")));
    EXPECT_NE(TempDir::Read(sim.Path("Test/Saved.xml")).find("../Outsider.lmf"), std::string::npos);
    for (Cog* cog : {grunt, cut, strayed})
        sim.Cogs().Destroy(cog);
    sim.Step();
}
