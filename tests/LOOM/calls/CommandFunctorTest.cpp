#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/calls/MulticastFunctor.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "tests/LOOM/support/ConsoleTestSupport.h"

namespace {

struct Target
{
    int mCalls = 0;
    std::string mFirst;
    std::string mSecond;
    int32_t mNumber = -1;
    Vector3 mVector;
    DamageInfo mDamage;

    void TwoStrings(std::string a, const std::string& b)
    {
        ++mCalls;
        mFirst = std::move(a);
        mSecond = b;
    }
    void Number(int32_t n)
    {
        ++mCalls;
        mNumber = n;
    }
    Cog* Spawn(std::string name, Vector3 where)
    {
        ++mCalls;
        mFirst = std::move(name);
        mVector = where;
        return reinterpret_cast<Cog*>(this);
    }
    bool IsBusy() const { return mCalls > 0; }
    void Damage(DamageInfo d)
    {
        ++mCalls;
        mDamage = d;
    }
    // Pushes a result that lands on the argument bytes.
    int32_t Doubled(int32_t n)
    {
        mNumber = n;
        ++mCalls;
        return n * 2;
    }
};

int gFreeCalls = 0;
float gFreeSum = 0.0f;
void FreeSum(float a, float b, float c)
{
    ++gFreeCalls;
    gFreeSum = a + b + c;
}

struct Watched : CommandFunctor
{
    explicit Watched(int* deleted) : mDeleted(deleted) {}
    ~Watched() override { ++*mDeleted; }
    void Invoke(void*, ParamBuffer&) override {}
    uint32_t Signature() const override { return 0; }
    int* mDeleted;
};
} // namespace

TEST(CommandFunctor, MemberCommandWithWrongSignatureNeverCallsAndKeepsBuffer)
{
    Target target;
    auto command = MakeConsoleCommand(&target, &Target::TwoStrings);
    EXPECT_EQ(command->Signature(), 0x6A6Au);
    ParamBuffer params;
    params.PushStdString("only one");
    const uint32_t logged = Console::Instance().GetEntryCounter();
    command->Execute(params);
    EXPECT_EQ(target.mCalls, 0);
    EXPECT_EQ(params.GetCount(), 1u);
    EXPECT_EQ(params.GetSignature(), 0x6Au);
    EXPECT_EQ(params.GetOffset(), 128u);
    // One line, naming both signatures.
    EXPECT_EQ(Console::Instance().GetEntryCounter(), logged + 1);
    EXPECT_EQ(LastLog().mCategory, LogError);
    EXPECT_EQ(LastLog().mText, "Command Parameter Mismatch: expected (string, string), given (string)");
}

TEST(CommandFunctor, MemberCommandWithMatchingSignatureReadsInOrder)
{
    Target target;
    auto command = MakeConsoleCommand(&target, &Target::TwoStrings);
    ParamBuffer params;
    params.PushStdString("first");
    params.PushStdString("second");
    command->Execute(params);
    EXPECT_EQ(target.mCalls, 1);
    EXPECT_EQ(target.mFirst, "first");
    EXPECT_EQ(target.mSecond, "second");
    // The functor cleared the buffer and returned nothing.
    EXPECT_EQ(params.GetCount(), 0u);
    EXPECT_EQ(params.GetSignature(), 0u);
}

TEST(CommandFunctor, ExecuteWithoutArgumentsCallsWithZeros)
{
    Target target;
    auto command = MakeConsoleCommand(&target, &Target::Number);
    command->Execute();
    EXPECT_EQ(target.mCalls, 1);
    EXPECT_EQ(target.mNumber, 0);
    auto strings = MakeConsoleCommand(&target, &Target::TwoStrings);
    target.mFirst = "stale";
    strings->Execute();
    EXPECT_EQ(target.mFirst, "");
}

TEST(CommandFunctor, CogResultIsPushedBack)
{
    Target target;
    MemberFunctor<decltype(&Target::Spawn)> functor(&Target::Spawn);
    EXPECT_EQ(functor.Signature(), 0x6C6Au);
    ParamBuffer params;
    params.PushStdString("Barrel");
    params.PushVector(Vector3(1, 2, 0));
    functor.Invoke(&target, params);
    EXPECT_EQ(target.mFirst, "Barrel");
    EXPECT_EQ(target.mVector, Vector3(1, 2, 0));
    EXPECT_EQ(params.GetCount(), 1u);
    EXPECT_EQ(params.GetSignature(), 0x6Bu);
    params.Rewind();
    EXPECT_EQ(ParamTraits<Cog*>::Pop(params), reinterpret_cast<Cog*>(&target));
}

TEST(CommandFunctor, ConstMemberReturningBool)
{
    Target target;
    MemberFunctor<decltype(&Target::IsBusy)> functor(&Target::IsBusy);
    EXPECT_EQ(functor.Signature(), 0u);
    ParamBuffer params;
    functor.Invoke(&target, params);
    EXPECT_EQ(params.GetSignature(), 0x69u);
    EXPECT_EQ(params.GetOffset(), 1u);
}

TEST(CommandFunctor, DamageRecordReachesHandler)
{
    Target target;
    auto command = MakeConsoleCommand(&target, &Target::Damage);
    EXPECT_EQ(command->Signature(), 12u);
    ParamBuffer wrong;
    wrong.PushFloat(-5.0f);
    command->Execute(wrong);
    EXPECT_EQ(target.mCalls, 0);
    ParamBuffer params;
    ParamTraits<DamageInfo>::Push(params, DamageInfo{0, -5.0f, 4});
    command->Execute(params);
    EXPECT_EQ(target.mCalls, 1);
    EXPECT_FLOAT_EQ(target.mDamage.mAmount, -5.0f);
    EXPECT_EQ(target.mDamage.mType, 4);
}

TEST(CommandFunctor, FunctionCommandComparesSignatures)
{
    gFreeCalls = 0;
    auto command = MakeFunctionCommand(&FreeSum);
    EXPECT_EQ(command->Signature(), 0x666666u);
    ParamBuffer wrong;
    wrong.PushInt(1);
    wrong.PushInt(2);
    wrong.PushInt(3);
    command->Execute(wrong);
    EXPECT_EQ(gFreeCalls, 0);
    EXPECT_EQ(wrong.GetCount(), 3u);
    EXPECT_EQ(LastLog().mCategory, LogError);

    ParamBuffer params;
    params.PushFloat(1.0f);
    params.PushFloat(2.0f);
    params.PushFloat(3.5f);
    command->Execute(params);
    EXPECT_EQ(gFreeCalls, 1);
    EXPECT_FLOAT_EQ(gFreeSum, 6.5f);
}

TEST(CommandFunctor, MulticastGivesEveryMemberTheOriginalArguments)
{
    Target first;
    // Both members run on one target; the first pushes a result over the argument.
    auto multicast = MakeMulticast(std::make_unique<MemberFunctor<decltype(&Target::Doubled)>>(&Target::Doubled),
                                   std::make_unique<MemberFunctor<decltype(&Target::Number)>>(&Target::Number));
    EXPECT_EQ(multicast->Size(), 2u);
    EXPECT_EQ(multicast->Signature(), 0x65u);
    ParamBuffer params;
    params.PushInt(21);
    multicast->Invoke(&first, params);
    EXPECT_EQ(first.mCalls, 2);
    EXPECT_EQ(first.mNumber, 21) << "the second member read the first one's result";
}

TEST(CommandFunctor, MulticastResultIsTheLastMembers)
{
    Target target;
    MulticastFunctor multicast(std::make_unique<MemberFunctor<decltype(&Target::Doubled)>>(&Target::Doubled));
    multicast.Add(std::make_unique<MemberFunctor<decltype(&Target::Doubled)>>(&Target::Doubled));
    ParamBuffer params;
    params.PushInt(4);
    multicast.Invoke(&target, params);
    EXPECT_EQ(target.mCalls, 2);
    params.Rewind();
    EXPECT_EQ(params.GetSignature(), 0x65u);
    EXPECT_EQ(ParamTraits<int32_t>::Pop(params), 8);
}

TEST(CommandFunctor, MulticastRefusesAnotherSignature)
{
    MulticastFunctor multicast(std::make_unique<MemberFunctor<decltype(&Target::Number)>>(&Target::Number));
    multicast.Add(std::make_unique<MemberFunctor<decltype(&Target::TwoStrings)>>(&Target::TwoStrings));
    EXPECT_EQ(multicast.Size(), 1u);
    EXPECT_EQ(LastLog().mCategory, LogError);
    Target target;
    ParamBuffer params;
    params.PushInt(3);
    multicast.Invoke(&target, params);
    EXPECT_EQ(target.mCalls, 1);
}

TEST(CommandFunctor, MulticastDeletesEveryMember)
{
    int deleted = 0;
    {
        auto multicast = MakeMulticast(std::make_unique<Watched>(&deleted), std::make_unique<Watched>(&deleted));
        multicast->Add(nullptr);
        multicast->Add(std::make_unique<Watched>(&deleted));
        EXPECT_EQ(multicast->Size(), 3u);
    }
    EXPECT_EQ(deleted, 3);
}

TEST(CommandFunctor, NullMemberCommandDoesNothing)
{
    MemberCommand command;
    ParamBuffer params;
    params.PushInt(1);
    command.Execute(params);
    command.Execute();
    EXPECT_EQ(command.Signature(), 0u);
    EXPECT_EQ(params.GetCount(), 1u);
}
