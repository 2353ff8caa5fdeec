#include "LOOM/engine/CoreRegistrations.h"
#include "LOOM/base/Clocks.h"
#include "LOOM/engine/TimedCallList.h"
#include "tests/LOOM/support/CogTestSupport.h"

namespace {
class CoreRegistrations : public CogFixture
{
protected:
    void SetUp() override
    {
        CogFixture::SetUp();
        RegisterCoreFunctions(mCogs, [this] { return &mList; });
        mType = MakeType("Core", {kMarkerId});
        for (const char* name : {"Death", "AutoFire", "TestFunc", "TestConstruct", "TestDestroy"})
            mType->BindFunction(name, mCogs.Types().FindFunction(name));
    }

    GameClock mClock;
    TimedCallList mList{mCogs, mClock};
    std::shared_ptr<Composer> mType;
};

TEST_F(CoreRegistrations, AllFiveTakeNoParameters)
{
    for (const char* name : {"Death", "AutoFire", "TestFunc", "TestConstruct", "TestDestroy"})
    {
        ASSERT_NE(mCogs.Types().FindFunction(name), nullptr) << name;
        EXPECT_EQ(mCogs.Types().FindFunction(name)->Signature(), 0u) << name;
    }
}

TEST_F(CoreRegistrations, DeathRemovesTheCogAtTheEndOfTheFrame)
{
    Cog* cog = mCogs.Create("Core");
    const uint32_t id = cog->GetID();
    cog->CallFunctionByName("Death");
    EXPECT_EQ(mCogs.GetCog(id), cog);
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetCog(id), nullptr);
}

TEST_F(CoreRegistrations, TestFunctionsLogTheirLines)
{
    Cog* cog = mCogs.Create("Core");
    const uint32_t mark = LogMark();
    cog->CallFunctionByName("TestFunc");
    cog->CallFunctionByName("TestFunc");
    EXPECT_EQ(CountLogSince(mark, "Test Func Fired"), 2);
    cog->CallFunctionByName("TestConstruct");
    EXPECT_EQ(NewestLogText(), "Constructed");
    cog->CallFunctionByName("TestDestroy");
    EXPECT_EQ(NewestLogText(), "Destroyed");
}
} // namespace
