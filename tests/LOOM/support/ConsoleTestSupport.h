#pragma once
#include <string>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"

// The newest entry of the engine's console.
inline const LogEntry& LastLog() { return Console::Instance().GetEntries().FromNewest(0); }

// A console of its own per test, with the built-in commands.
class TestConsole : public Console
{
public:
    TestConsole() = default;

    const LogEntry& Last() const { return GetEntries().FromNewest(0); }
};

// Keeps a copy of the buffer it was run with, whatever its signature.
class RecordingCommand : public ConsoleCommand
{
public:
    explicit RecordingCommand(int* deleted = nullptr) : mDeleted(deleted) {}
    ~RecordingCommand() override
    {
        if (mDeleted)
            ++*mDeleted;
    }
    uint32_t Signature() const override { return 0; }
    void Execute(ParamBuffer& params) override
    {
        ++mCalls;
        mLast = params.Copy();
    }
    void Execute() override { ++mCalls; }

    int mCalls = 0;
    ParamBuffer mLast;
    int* mDeleted = nullptr;
};
