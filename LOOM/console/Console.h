#pragma once
#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "LOOM/base/Clocks.h"
#include "LOOM/base/SystemInfo.h"
#include "LOOM/console/ConsoleInputLine.h"
#include "LOOM/console/DebugValues.h"
#include "LOOM/console/KeyListener.h"

class ConsoleCommand;
class ParamBuffer;

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
    int64_t mTimeMs = 0;
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

// The engine's log and command registry: every subsystem registers its commands here, scripts
// call them through it and typed lines run them. One instance, created on first use.
class Console : public KeyListener
{
public:
    // Key codes the platform window hands to Console::OnKey besides typed characters.
    enum Key : int
    {
        KeyUp = kKeyUp,
        KeyDown = kKeyDown,
        KeyRight = kKeyRight,
        KeyLeft = kKeyLeft,
        KeyDelete = kKeyDelete,
        KeyPageUp = kKeyPageUp,
        KeyPageDown = kKeyPageDown,
        KeyBackspace = kCharBackspace,
        KeyEnter = kCharEnter,
        KeyBackquote = '`',
        KeyF11 = kKeyF11,
        KeyF12 = kKeyF12,
    };

    struct CommandEntry
    {
        std::unique_ptr<ConsoleCommand> mCommand;
        std::string mDescription;
    };
    using CommandMap = std::map<std::string, CommandEntry>;
    using TokenIterator = std::vector<std::string>::const_iterator;

    static Console& Instance();

    void OnKey(int code) override;
    virtual void Print(const std::string&) {}
    virtual ~Console();

    // Run-time log. An entry longer than this is cut there and marked as cut.
    static constexpr size_t kMaxEntryBytes = 4096;
    // The most one run writes to the log file: past it entries are counted, and one entry at the
    // close says how many. Room is kept for that entry and the closing tag.
    static constexpr uint64_t kMaxLogBytes = uint64_t(64) << 20;
    static constexpr uint64_t kLogClosingRoom = 1024;
    // A log file that cannot be made, or that the file guard refuses, is reported once on stderr
    // (false); the ring goes on. Each entry goes into the file whole or not at all: while the
    // file takes no writes (a full disk) entries are counted, and the count is logged once it
    // takes them again. The file is closed well formed even then.
    bool OpenLogFile(const std::string& fileName);
    void OpenLog(const SystemInfo& info);
    void Log(std::string text, uint32_t category = LogGeneral);
    void LogWithPrefix(const std::string& first, const std::string& second, uint32_t category);
    void CloseLog();
    bool IsLogOpen() const { return mLogFd >= 0; }
    // The log file's descriptor (-1 when none): no script may open that file for writing.
    int LogDescriptor() const { return mLogFd; }
    // Writes an entry logged before the log file opened to the file; the ring has it already.
    void WriteToLogFile(const LogEntry& entry);

    // The entries are stamped with this clock (the core engine's); until set, the console's own.
    void SetLogClock(const PreciseTimer* clock) { mLogClock = clock; }

    const EntryRing& GetEntries() const { return mEntries; }
    uint32_t GetEntryCounter() const { return mEntryCounter; }
    int GetScroll() const { return mScroll; }

    static void FixSlashes(std::string& text);
    static const char* CategoryText(uint32_t category);
    // mm:ss:ms as the log writes it.
    static std::string TimeText(int64_t ms);

    // Commands. Names are matched in lower case; registering a name again replaces (and frees)
    // the earlier command.
    void RegisterCommand(std::string name, std::unique_ptr<ConsoleCommand> command, std::string description);
    void AddCommand(std::string name, std::unique_ptr<ConsoleCommand> command);
    // For owners that go before the console: their commands must not outlive them.
    void RemoveCommand(std::string name);
    // Null when no command has the name (any case).
    ConsoleCommand* FindCommand(std::string name) const;
    const CommandMap& GetCommands() const { return mCommands; }
    // Changes whenever a command is added, replaced or removed: lets callers keep a found command.
    static uint64_t CommandsVersion() { return sCommandsVersion; }

    void ExecuteLine(std::string line);
    static std::vector<std::string> Tokenize(const std::string& line, const char* delimiters);

    // Built-in commands.
    void Mes(std::string text);
    void Script(std::string fileName);
    // Closing the console (even when it is closed already) drops what is typed on its line and
    // stops the typing: a closed console takes no keys.
    void ShowConsole(bool show);
    // Logs every command with its description and writes the same lines to "Commands.txt".
    void List();

    // Input line and display state.
    const ConsoleInputLine& InputLine() const { return mInputLine; }
    bool GetInputActive() const { return mInputActive; }
    bool GetShowConsole() const { return mShowConsole; }
    // While the console is open or its line is being typed, no key is the game's.
    bool TakesKeys() const { return mShowConsole || mInputActive; }
    // The values shown under the log; the "DebugValue" and "RemoveDebugValue" commands change them.
    DebugValues& GetDebugValues() { return mDebugValues; }

    // F12 stops the engine and F11 restarts it; the core engine installs what that means.
    void SetEngineKeys(std::function<void()> stop, std::function<void()> restart);

    void SetConfigFolder(std::string folder) { mConfigFolder = std::move(folder); }
    const std::string& GetConfigFolder() const { return mConfigFolder; }

protected:
    Console();

private:
    // Converts up to four arguments into params; false when a token cannot be pushed or more
    // than four arguments are given. expected is the called function's signature (0: unknown).
    static bool ParseArgs(TokenIterator first, TokenIterator end, ParamBuffer& params, uint32_t expected);
    // Converts the argument starting at pos by the look of its text and moves pos past the
    // tokens it used. A whole number goes in as the decimal the function expects there.
    static bool ParseArg(TokenIterator& pos, TokenIterator end, ParamBuffer& params, uint8_t expected);
    void ExecuteCogLine(const std::string& line, const std::vector<std::string>& tokens);
    // To the log file, when one is open; under the log lock. False when it did not go in.
    bool WriteEntry(const LogEntry& entry);
    // The bytes at the end of the file, whole or not at all; why says what refused them.
    bool AppendToLog(const std::string& bytes, std::string& why);
    // The count of entries the file missed, as an entry of its own; false while it cannot go in.
    bool WriteLostNote(int64_t ms);

    std::string mConfigFolder;
    bool mInputActive = false;
    uint32_t mEntryCounter = 0;
    DebugValues mDebugValues;
    bool mShowConsole = false;
    int mScroll = 0;
    EntryRing mEntries;
    CommandMap mCommands;
    // Shared by every console, so a cache made against one never matches another.
    static inline uint64_t sCommandsVersion = 1;
    int mLogFd = -1;
    // The end of what went in whole, and where the newest entry starts (0: none since the header).
    uint64_t mLogEnd = 0;
    uint64_t mLastEntryAt = 0;
    uint32_t mLostEntries = 0;
    uint64_t mOverLimit = 0;
    std::string mLostWhy;
    std::string mLogPath;
    ConsoleInputLine mInputLine;

    // Commands replaced while a line runs are freed once it has finished.
    int mExecuteDepth = 0;
    std::vector<std::unique_ptr<ConsoleCommand>> mRetired;

    std::function<void()> mStopEngine;
    std::function<void()> mRestartEngine;
    PreciseTimer mOwnClock;
    const PreciseTimer* mLogClock = nullptr;
    std::recursive_mutex mLogMutex;
};
