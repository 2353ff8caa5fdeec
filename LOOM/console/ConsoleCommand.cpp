#include "LOOM/console/ConsoleCommand.h"

#include "LOOM/base/FileUtils.h"
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

DataPathCommand::DataPathCommand(std::unique_ptr<ConsoleCommand> command) : mCommand(std::move(command)) {}

uint32_t DataPathCommand::Signature() const { return mCommand ? mCommand->Signature() : 0; }

void DataPathCommand::Execute(ParamBuffer& params)
{
    if (!mCommand)
        return;
    // A buffer that does not fit is the command's to report.
    if (params.GetSignature() == mCommand->Signature())
    {
        // Read from a copy: the command reads the buffer from its start.
        ParamBuffer copy = params.Copy();
        std::string path, inside;
        for (uint32_t i = 0; i < copy.GetCount() && copy.GetTag(i) == ParamString; ++i)
        {
            copy.PopString(path);
            if (!path.empty() && !DataPathInside(path, inside))
                return;
        }
    }
    mCommand->Execute(params);
}

void DataPathCommand::Execute()
{
    if (mCommand)
        mCommand->Execute();
}
