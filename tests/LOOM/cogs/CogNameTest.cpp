#include "LOOM/factory/CogScriptGlobals.h"
#include "tests/LOOM/support/CogTestSupport.h"

namespace {
std::map<std::string, Cog*>& Globals()
{
    static std::map<std::string, Cog*> globals;
    return globals;
}

void RecordGlobal(const std::string& name, Cog* cog)
{
    if (cog)
        Globals()[name] = cog;
    else
        Globals().erase(name);
}

class CogNames : public CogFixture
{
protected:
    void SetUp() override
    {
        CogFixture::SetUp();
        Globals().clear();
        mPreviousSetter = SetCogGlobalSetter(&RecordGlobal);
        MakeType("Scenery", {kMarkerId});
    }
    void TearDown() override
    {
        CogFixture::TearDown();
        // The script manager installed its setter at static start; it must find it again.
        SetCogGlobalSetter(mPreviousSetter);
    }

    CogGlobalSetter mPreviousSetter = nullptr;

    Cog* Named(const std::string& name)
    {
        Cog* cog = mCogs.Allocate("Scenery");
        cog->SetName(name);
        cog->Initialize();
        return cog;
    }

    void Kill(Cog* cog)
    {
        cog->Destroy();
        mCogs.ProcessDestroyList();
    }
};

TEST_F(CogNames, InitialisedNamedCogIsFoundAndPublished)
{
    Cog* level = Named("Level");
    EXPECT_EQ(mCogs.FindCogByName("Level"), level);
    EXPECT_EQ(mCogs.FindCogByName("level"), nullptr);
    EXPECT_EQ(Globals().at("Level"), level);
    Kill(level);
    EXPECT_EQ(mCogs.FindCogByName("Level"), nullptr);
    EXPECT_EQ(Globals().count("Level"), 0u);
}

TEST_F(CogNames, EmptyNameGetsNoEntryAndNoGlobal)
{
    Named("");
    EXPECT_TRUE(Globals().empty());
    EXPECT_EQ(mCogs.FindCogByName(""), nullptr);
}

TEST_F(CogNames, SecondCogOfANameDoesNotTakeTheEntry)
{
    Cog* first = Named("Level");
    Cog* second = Named("Level");
    EXPECT_EQ(mCogs.FindCogByName("Level"), first);
    EXPECT_EQ(Globals().at("Level"), second);
}

TEST_F(CogNames, DestroyingTheSecondCogKeepsTheLivingOneFindable)
{
    Cog* first = Named("Level");
    Cog* second = Named("Level");
    Kill(second);
    EXPECT_EQ(mCogs.FindCogByName("Level"), first);
    // The global no longer names the dead cog; it names the living one again.
    EXPECT_EQ(Globals().at("Level"), first);
}

TEST_F(CogNames, DestroyingTheEntryHolderFreesTheName)
{
    Cog* first = Named("Level");
    Named("Level");
    Kill(first);
    EXPECT_EQ(mCogs.FindCogByName("Level"), nullptr);
    EXPECT_EQ(Globals().count("Level"), 0u);
    Cog* third = Named("Level");
    EXPECT_EQ(mCogs.FindCogByName("Level"), third);
}

TEST_F(CogNames, PublishingWithoutAScriptManagerIsHarmless)
{
    SetCogGlobalSetter(nullptr);
    Cog* cog = Named("Cursor");
    EXPECT_EQ(mCogs.FindCogByName("Cursor"), cog);
    Kill(cog);
    EXPECT_EQ(mCogs.FindCogByName("Cursor"), nullptr);
}

TEST_F(CogNames, DestroyAllForgetsEveryName)
{
    Named("Tower");
    mCogs.DestroyAll();
    EXPECT_EQ(mCogs.FindCogByName("Tower"), nullptr);
}
} // namespace
