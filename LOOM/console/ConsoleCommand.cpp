#include "LOOM/console/ConsoleCommand.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"

namespace {
// How the console line writes a value it cannot tell by its look alone.
const char* TypedAs(uint8_t code)
{
    switch (code)
    {
    case ParamVector:
        return "a vector is typed v and its three numbers (v 200 2 60)";
    case ParamColor:
        return "a color is typed color and its red, green, blue and alpha (color 1 0.5 0 1)";
    case ParamUInt:
        return "a uint is typed with a u after it (5u)";
    case ParamDouble:
        return "a double is typed with a d after it (2.5d)";
    case ParamBool:
        return "a bool is typed true, false, on or off";
    default:
        return nullptr;
    }
}
} // namespace

void LogSignatureMismatch(uint32_t expected, uint32_t given)
{
    std::string text =
        "Command Parameter Mismatch: expected " + SignatureText(expected) + ", given " + SignatureText(given);
    // Each kind of value the line got wrong says once how it is typed.
    uint32_t told = 0;
    for (uint32_t e = expected, g = given; e != 0; e >>= 8, g >>= 8)
    {
        const auto code = uint8_t(e & 0xFF);
        const char* how = TypedAs(code);
        if (code == uint8_t(g & 0xFF) || !how || (told & (1u << (code - ParamUInt))))
            continue;
        told |= 1u << (code - ParamUInt);
        text += "; ";
        text += how;
    }
    Console::Instance().Log(text, LogError);
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
