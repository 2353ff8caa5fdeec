#include "LOOM/console/ConsoleCommand.h"

#include "LOOM/console/Console.h"

void LogSignatureMismatch(uint32_t expected, uint32_t given)
{
    Console::Instance().Log("Command Parameter Mismatch: expected " + SignatureText(expected) + ", given " +
                                SignatureText(given),
                            LogError);
}

namespace {
// A call whose buffer does not match the bound function never reaches it.
bool SignatureMatches(uint32_t expected, const ParamBuffer& params)
{
    if (expected == params.GetSignature())
        return true;
    LogSignatureMismatch(expected, params.GetSignature());
    return false;
}
} // namespace

MemberCommand::MemberCommand(void* target, std::unique_ptr<CommandFunctor> functor)
    : mTarget(target), mFunctor(std::move(functor))
{
}

uint32_t MemberCommand::Signature() const { return mFunctor ? mFunctor->Signature() : 0; }

void MemberCommand::Execute(ParamBuffer& params)
{
    if (mFunctor && SignatureMatches(mFunctor->Signature(), params))
        mFunctor->Invoke(mTarget, params);
}

void MemberCommand::Execute()
{
    if (!mFunctor)
        return;
    ParamBuffer params;
    mFunctor->Invoke(mTarget, params);
}

FunctionCommand::FunctionCommand(std::unique_ptr<FunctionFunctor> functor) : mFunctor(std::move(functor)) {}

uint32_t FunctionCommand::Signature() const { return mFunctor ? mFunctor->Signature() : 0; }

void FunctionCommand::Execute(ParamBuffer& params)
{
    if (mFunctor && SignatureMatches(mFunctor->Signature(), params))
        mFunctor->Invoke(params);
}

void FunctionCommand::Execute()
{
    if (!mFunctor)
        return;
    ParamBuffer params;
    mFunctor->Invoke(params);
}
