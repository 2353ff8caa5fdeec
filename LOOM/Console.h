#pragma once
#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>

#include "LOOM/Clocks.h"
#include "LOOM/SystemInfo.h"

enum LogCategory : uint32_t
{
    LogGeneral = 0,
    LogEngine = 1,
    LogLoading = 2,
    LogError = 3,
    LogFunctional = 4,
    LogScripting = 5,
    LogCommands = 6,
    LogNone = 7,
    LogInit = 8,
};

struct LogEntry
{
    uint32_t mNumber = 0;
    uint32_t mCategory = 0;
    std::string mText;
    int32_t mTimeMs = 0;
};

// The last 256 log entries, for the on-screen console.
class EntryRing
{
public:
    static constexpr size_t kCapacity = 256;
    void Push(LogEntry entry);
    size_t Size() const { return mCount; }
    // 0 is the newest entry.
    const LogEntry& FromNewest(size_t index) const;

private:
    std::array<LogEntry, kCapacity> mEntries;
    size_t mNext = 0;
    size_t mCount = 0;
};

// The engine's log and command line; one instance, created on first use.
class Console
{
public:
    static Console& Instance();

    virtual void Print(const std::string&) {}
    virtual ~Console();

    // Run-time log.
    void OpenLogFile(const std::string& fileName);
    void OpenLog(const SystemInfo& info);
    void Log(std::string text, uint32_t category = LogGeneral);
    void LogString(std::string text) { Log(std::move(text), LogGeneral); }
    void LogText(const char* text);
    void LogWithPrefix(const std::string& first, const std::string& second, uint32_t category);
    void CloseLog();
    bool IsLogOpen() const { return mLogStream != nullptr; }

    // The entries are stamped with this clock (the core engine's); until set, the console's own.
    void SetLogClock(const PreciseTimer* clock) { mLogClock = clock; }

    const EntryRing& GetEntries() const { return mEntries; }
    uint32_t GetEntryCounter() const { return mEntryCounter; }
    int GetScroll() const { return mScroll; }

    static void FixSlashes(std::string& text);
    static const char* CategoryText(uint32_t category);
    // mm:ss:ms as the log writes it.
    static std::string TimeText(int32_t ms);

protected:
    Console();

private:
    uint32_t mEntryCounter = 0;
    int mScroll = 0;
    EntryRing mEntries;
    std::unique_ptr<std::ofstream> mLogStream;
    PreciseTimer mOwnClock;
    const PreciseTimer* mLogClock = nullptr;
    std::recursive_mutex mLogMutex;
};
