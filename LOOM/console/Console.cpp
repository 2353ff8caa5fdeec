#include "LOOM/console/Console.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <system_error>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/StringUtils.h"
#include "LOOM/calls/CallScope.h"
#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/console/XmlWriter.h"
#include "LOOM/files/FileGuard.h"

namespace {
const char* const kLineDelimiters = " ,\"()";

// Cut on a character boundary, so the rest stays valid UTF-8.
void CapEntry(std::string& text)
{
    if (text.size() <= Console::kMaxEntryBytes)
        return;
    const size_t total = text.size();
    size_t end = Console::kMaxEntryBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    text += " [cut: " + std::to_string(total) + " bytes]";
}
// File names are logged from the data folder on: where the game lives is no script's to learn
// from its log. Text is compared after FixSlashes, so the folder is too.
void StripDataFolder(std::string& text)
{
    std::string folder = GetDataPath();
    if (folder.size() <= 1)
        return;
    Console::FixSlashes(folder);
    if (folder.back() == '\\')
        folder.pop_back();
    for (size_t at = text.find(folder); at != std::string::npos; at = text.find(folder, at))
    {
        // A name inside the folder keeps its own part; the folder itself is named as such.
        const size_t after = at + folder.size();
        const bool slash = after < text.size() && text[after] == '\\';
        const bool named = slash && after + 1 < text.size() && std::strchr(" :,;)\"'", text[after + 1]) == nullptr;
        text.replace(at, folder.size() + (slash ? 1 : 0), named ? "" : "the data folder");
    }
}
// Lines the console display shows at once; scrolling stops when the oldest is in view.
constexpr int64_t kShownEntries = 18;
} // namespace

void EntryRing::Push(LogEntry entry)
{
    mEntries[mNext] = std::move(entry);
    mNext = (mNext + 1) % kCapacity;
    if (mCount < kCapacity)
        ++mCount;
}

const LogEntry& EntryRing::FromNewest(size_t index) const
{
    return mEntries[(mNext + kCapacity - 1 - (index % kCapacity)) % kCapacity];
}

Console& Console::Instance()
{
    static Console instance;
    return instance;
}

Console::Console()
{
    RegisterCommand("Mes", MakeConsoleCommand(this, &Console::Mes), "Message the console");
    RegisterCommand("Script", MakeConsoleCommand(this, &Console::Script), "Run a console script");
    RegisterCommand("console", MakeConsoleCommand(this, &Console::ShowConsole), "Shows the console");
    RegisterCommand("DebugValue", MakeConsoleCommand(&mDebugValues, &DebugValues::Set),
                    "Maps a debug value to the console");
    RegisterCommand("RemoveDebugValue", MakeConsoleCommand(&mDebugValues, &DebugValues::Remove),
                    "Removes a debug value");
    RegisterCommand("List", MakeConsoleCommand(this, &Console::List), "List console commands");
}

Console::~Console()
{
    mCommands.clear();
    ++sCommandsVersion;
    mRetired.clear();
    CloseLog();
}

void Console::FixSlashes(std::string& text) { std::replace(text.begin(), text.end(), '/', '\\'); }

const char* Console::CategoryText(uint32_t category)
{
    switch (category)
    {
    case LogGeneral:
        return "General";
    case LogEngine:
        return "Engine";
    case LogLoading:
        return "Loading";
    case LogError:
        return "Error";
    case LogFunctional:
        return "Functional";
    case LogScripting:
        return "Scripting";
    case LogCommands:
        return "Commands";
    case LogInit:
        return "Init";
    default:
        return "None";
    }
}

std::string Console::TimeText(int64_t ms)
{
    const int64_t minutes = ms / 60000;
    const int64_t seconds = (ms / 1000) % 60;
    const int64_t rest = ms % 1000;
    return std::to_string(minutes / 10) + std::to_string(minutes % 10) + ":" + std::to_string(seconds / 10) +
        std::to_string(seconds % 10) + ":" + std::to_string(rest);
}

bool Console::OpenLogFile(const std::string& fileName)
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    // As given: a backslash separates only inside the data folder, never in the folder's own path.
    const std::string& path = fileName;
    mLogPath = path;
    // Through the file guard: inside the data folder, never through a link, a plain file of one
    // name, and emptied only once all that is known.
    FileRefusal refusal;
    const int fd = OpenDataFile(path, "w", &refusal);
    if (fd >= 0)
    {
        if (mLogFd >= 0)
            ::close(mLogFd);
        // Written through the very descriptor checked, whatever happens to its name meanwhile.
        mLogFd = fd;
        mLogEnd = 0;
        mLastEntryAt = 0;
        mLostEntries = 0;
        mOverLimit = 0;
        mLostWhy.clear();
        return true;
    }
    const std::string why = !refusal.mWhy.empty() ? refusal.mWhy : std::generic_category().message(errno);
    // Entries still reach the on-screen ring; say where the file went missing, on stderr too,
    // since the log cannot.
    std::fprintf(stderr, "Could not create the log file %s: %s\n", path.c_str(), why.c_str());
    Log("Could not create the log file " + path + ": " + why, LogError);
    return false;
}

void Console::OpenLog(const SystemInfo& info)
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    if (mLogFd < 0)
        return;
    std::ostringstream out;
    out << "<?xml version=\"1.0\" ?> \n";
    out << "<?xml-stylesheet type=\"text/xsl\" href=\"LogXSLT.xsl\" ?>\n";
    WriteXmlOpenTag(out, "LoomRunTimeLog");
    WriteXmlOpenTag(out, "LogHeader");
    WriteXmlElement(out, "UserName", info.mUserName);
    WriteXmlElement(out, "StartTime", info.mTime);
    WriteXmlElement(out, "OutputLevel", "Debug");
    WriteXmlOpenTag(out, "Configuration");
    WriteXmlElement(out, "OperatingSystem", info.mOperatingSystem);
    WriteXmlOpenTag(out, "Memory");
    WriteXmlElement(out, "Available", info.mAvailableMemory);
    WriteXmlElement(out, "Total", info.mTotalMemory);
    WriteXmlCloseTag(out, "Memory");
    WriteXmlOpenTag(out, "Processor");
    WriteXmlElement(out, "Name", info.mProcessorName);
    WriteXmlElement(out, "Vendor", info.mProcessorVendor);
    WriteXmlElement(out, "Architecture", info.mProcessorIdentifier);
    WriteXmlElement(out, "ClockSpeed", info.mClockSpeed);
    WriteXmlCloseTag(out, "Processor");
    WriteXmlCloseTag(out, "Configuration");
    WriteXmlCloseTag(out, "LogHeader");
    std::string why;
    if (AppendToLog(out.str(), why))
        return;
    // Entries without the head would never make a whole file: the ring alone keeps them.
    std::fprintf(stderr, "The log file %s cannot be written (%s): no log file is written\n", mLogPath.c_str(),
                 why.c_str());
    ::close(mLogFd);
    mLogFd = -1;
}

void Console::Log(std::string text, uint32_t category)
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    CapEntry(text);
    FixSlashes(text);
    StripDataFolder(text);
    const int64_t ms = mLogClock ? mLogClock->CurrentMs() : mOwnClock.CurrentMs();
    mScroll = 0;
    // Entries that missed the file are named there before the next one, in number order.
    if (mLostEntries > 0)
        WriteLostNote(ms);
    LogEntry entry{mEntryCounter++, category, std::move(text), ms};
    WriteEntry(entry);
    mEntries.Push(std::move(entry));
}

void Console::WriteToLogFile(const LogEntry& entry)
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    WriteEntry(entry);
}

namespace {
std::string EntryXml(const LogEntry& entry)
{
    std::ostringstream out;
    WriteXmlOpenTagWithAttribute(out, "Entry", "ID", std::to_string(entry.mNumber));
    WriteXmlElement(out, "Type", Console::CategoryText(entry.mCategory));
    WriteXmlElement(out, "Time", Console::TimeText(entry.mTimeMs));
    WriteXmlElement(out, "Message", entry.mText);
    WriteXmlCloseTag(out, "Entry");
    return out.str();
}

const char* const kLogEnd = "</LoomRunTimeLog>\n";
} // namespace

bool Console::AppendToLog(const std::string& bytes, std::string& why)
{
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t wrote =
            ::pwrite(mLogFd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(mLogEnd + done));
        if (wrote > 0)
            done += static_cast<size_t>(wrote);
        else if (wrote < 0 && errno == EINTR)
            continue;
        else
        {
            why = std::generic_category().message(wrote < 0 ? errno : EIO);
            break;
        }
    }
    if (done == bytes.size())
    {
        mLogEnd += done;
        return true;
    }
    // Part of it went in before the disk filled: cut it off, so the file ends on a whole entry.
    if (done > 0 && ::ftruncate(mLogFd, static_cast<off_t>(mLogEnd)) != 0)
        std::fprintf(stderr, "The log file %s could not be cut back to its last whole entry (%s)\n", mLogPath.c_str(),
                     std::strerror(errno));
    return false;
}

bool Console::WriteEntry(const LogEntry& entry)
{
    if (mLogFd < 0)
        return false;
    std::string why;
    const uint64_t start = mLogEnd;
    const std::string xml = EntryXml(entry);
    // Past the limit entries are counted, not written; the room kept is for the note and the end.
    if (mOverLimit > 0 || mLogEnd + xml.size() > kMaxLogBytes - kLogClosingRoom)
    {
        if (mOverLimit++ == 0)
            std::fprintf(stderr,
                         "The log file %s reached its limit of %zu MiB: further entries are counted, not written\n",
                         mLogPath.c_str(), size_t(kMaxLogBytes >> 20));
        return false;
    }
    // Until the missed ones are named in the file, later ones stay out with them.
    if (mLostEntries == 0 && AppendToLog(xml, why))
    {
        mLastEntryAt = start;
        return true;
    }
    if (mLostEntries++ == 0)
    {
        mLostWhy = why;
        std::fprintf(stderr, "The log file %s cannot be written (%s): entries are kept out of it until it can be\n",
                     mLogPath.c_str(), why.c_str());
    }
    return false;
}

bool Console::WriteLostNote(int64_t ms)
{
    if (mLogFd < 0 || mLostEntries == 0)
        return true;
    LogEntry note{mEntryCounter, LogError,
                  std::to_string(mLostEntries) + (mLostEntries == 1 ? " entry" : " entries") +
                      " could not be written to the log file (" + mLostWhy + ")",
                  ms};
    std::string why;
    const uint64_t start = mLogEnd;
    if (!AppendToLog(EntryXml(note), why))
        return false;
    mLastEntryAt = start;
    ++mEntryCounter;
    mLostEntries = 0;
    mEntries.Push(std::move(note));
    std::fprintf(stderr, "The log file %s takes entries again\n", mLogPath.c_str());
    return true;
}

void Console::LogWithPrefix(const std::string& first, const std::string& second, uint32_t category)
{
    Log(first + " " + second, category);
}

void Console::CloseLog()
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    if (mLogFd < 0)
        return;
    const int64_t ms = mLogClock ? mLogClock->CurrentMs() : mOwnClock.CurrentMs();
    if (!WriteLostNote(ms))
        std::fprintf(stderr, "The log file %s is full: %u entries never reached it\n", mLogPath.c_str(), mLostEntries);
    std::string why;
    if (mOverLimit > 0)
    {
        LogEntry note{mEntryCounter++, LogError,
                      std::to_string(mOverLimit) + (mOverLimit == 1 ? " entry was" : " entries were") +
                          " not written: the log reached its limit of " + std::to_string(kMaxLogBytes >> 20) +
                          " MiB for one run",
                      ms};
        const uint64_t start = mLogEnd;
        if (AppendToLog(EntryXml(note), why))
            mLastEntryAt = start;
        mEntries.Push(std::move(note));
        mOverLimit = 0;
    }
    if (!AppendToLog(kLogEnd, why))
    {
        // Still full: the newest entry makes way for the end tag. Written over bytes the file
        // holds already, it needs no new space.
        const uint64_t end = mLogEnd;
        mLogEnd = mLastEntryAt;
        if (mLastEntryAt > 0 && AppendToLog(kLogEnd, why) && ::ftruncate(mLogFd, static_cast<off_t>(mLogEnd)) == 0)
            std::fprintf(stderr, "The log file %s is full: its newest entry made way for its end\n", mLogPath.c_str());
        else
        {
            mLogEnd = end;
            std::fprintf(stderr, "The log file %s could not be closed (%s)\n", mLogPath.c_str(), why.c_str());
        }
    }
    ::close(mLogFd);
    mLogFd = -1;
    mLostEntries = 0;
}

void Console::RegisterCommand(std::string name, std::unique_ptr<ConsoleCommand> command, std::string description)
{
    ToLower(name);
    ++sCommandsVersion;
    CommandEntry& entry = mCommands[name];
    if (mExecuteDepth > 0 && entry.mCommand)
        mRetired.push_back(std::move(entry.mCommand));
    entry.mCommand = std::move(command);
    entry.mDescription = std::move(description);
}

void Console::RemoveCommand(std::string name)
{
    ToLower(name);
    auto it = mCommands.find(name);
    if (it == mCommands.end())
        return;
    if (mExecuteDepth > 0 && it->second.mCommand)
        mRetired.push_back(std::move(it->second.mCommand));
    mCommands.erase(it);
    ++sCommandsVersion;
}

void Console::AddCommand(std::string name, std::unique_ptr<ConsoleCommand> command)
{
    RegisterCommand(std::move(name), std::move(command), std::string());
}

ConsoleCommand* Console::FindCommand(std::string name) const
{
    ToLower(name);
    auto it = mCommands.find(name);
    return it == mCommands.end() ? nullptr : it->second.mCommand.get();
}

std::vector<std::string> Console::Tokenize(const std::string& line, const char* delimiters)
{
    std::vector<std::string> tokens;
    size_t start = line.find_first_not_of(delimiters);
    while (start != std::string::npos)
    {
        // A token opened by a double quote runs to the closing quote and keeps the opening one.
        const bool quoted = !tokens.empty() && line[start - 1] == '"';
        size_t end = quoted ? line.find('"', start) : line.find_first_of(delimiters, start);
        if (end == std::string::npos)
            end = line.size();
        if (quoted)
            tokens.push_back(line.substr(start - 1, end - start + 1));
        else
            tokens.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(delimiters, end);
    }
    return tokens;
}

bool Console::ParseArgs(TokenIterator first, TokenIterator end, ParamBuffer& params, uint32_t expected)
{
    for (uint32_t count = 0; first != end; ++count)
    {
        // The buffer holds four parameters; a fifth is refused rather than dropped unseen.
        if (count == ParamBlock::kMaxParams ||
            !ParseArg(first, end, params, static_cast<uint8_t>(expected >> (8 * params.GetCount()))))
            return false;
    }
    return true;
}

bool Console::ParseArg(TokenIterator& pos, TokenIterator end, ParamBuffer& params, uint8_t expected)
{
    if (pos == end)
        return false;
    const std::string& token = *pos++;
    if (token.empty())
        return params.PushStdString(token);
    if (token == "true" || token == "on")
        return params.PushBool(true);
    if (token == "false" || token == "off")
        return params.PushBool(false);
    if (token[0] == '"')
        return params.PushStdString(token.substr(1));
    if (token == "vector" || token == "v")
    {
        float xyz[3] = {0.0f, 0.0f, 0.0f};
        for (float& value : xyz)
            if (pos != end)
                value = StringToFloat(*pos++);
        return params.PushVector(Vector3(xyz[0], xyz[1], xyz[2]));
    }
    if (token == "color")
    {
        float rgba[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        for (float& value : rgba)
            if (pos != end)
                value = StringToFloat(*pos++);
        return params.PushColor(Color(rgba[0], rgba[1], rgba[2], rgba[3]));
    }
    const std::string head = token.substr(0, token.size() - 1);
    if (token.back() == 'u')
        return IsRealNumber(head) ? params.PushUInt(StringToUInt(head)) : params.PushStdString(token);
    if (token.back() == 'd')
        return IsRealNumber(head) ? params.PushDouble(StringToDouble(head)) : params.PushStdString(token);
    // 120 typed for a decimal is 120.0; a decimal typed for a whole number stays refused.
    if (IsInteger(token) && expected == ParamFloat)
        return params.PushFloat(StringToFloat(token));
    if (IsInteger(token) && expected == ParamDouble)
        return params.PushDouble(StringToDouble(token));
    if (IsRealNumber(token))
        return IsInteger(token) ? params.PushInt(StringToInt(token)) : params.PushFloat(StringToFloat(token));
    return params.PushStdString(token);
}

void Console::ExecuteLine(std::string line)
{
    if (line.empty())
        return;
    mInputLine.Ran(line);
    mScroll = 0;
    const std::vector<std::string> tokens = Tokenize(line, kLineDelimiters);

    std::string name = tokens.empty() ? std::string() : tokens.front();
    ToLower(name);
    CallScope scope;
    ++mExecuteDepth;
    auto it = mCommands.find(name);
    if (it != mCommands.end() && it->second.mCommand)
    {
        ParamBuffer params;
        if (ParseArgs(tokens.begin() + 1, tokens.end(), params, it->second.mCommand->Signature()))
        {
            Log("]" + line, LogCommands);
            it->second.mCommand->Execute(params);
        }
        else
        {
            Log("Invalid Command: Bad Parameters", LogGeneral);
        }
    }
    else if (name == "c" || name == "cog")
    {
        ExecuteCogLine(line, tokens);
    }
    else
    {
        Log("Invalid Command: " + name, LogError);
    }
    if (--mExecuteDepth == 0)
        mRetired.clear();
}

void Console::ExecuteCogLine(const std::string& line, const std::vector<std::string>& tokens)
{
    if (tokens.size() < 2)
    {
        Log("Invalid Command: No Cog ID ", LogError);
        return;
    }
    CogDirectory* directory = CogDirectory::Get();
    Cog* cog = nullptr;
    if (directory)
        cog = IsInteger(tokens[1]) ? directory->FindCogById(StringToUInt(tokens[1]))
                                   : directory->FindCogByName(tokens[1]);
    if (!cog)
    {
        Log("Invalid Command: No Cog with given ID", LogError);
        return;
    }
    if (tokens.size() < 3)
    {
        Log("Invalid Command: No Command Given", LogError);
        return;
    }
    ParamBuffer params;
    if (!ParseArgs(tokens.begin() + 3, tokens.end(), params, directory->FunctionSignature(*cog, tokens[2])))
    {
        Log("Invalid Command: Bad Parameters", LogError);
        return;
    }
    Log("]" + line, LogCommands);
    directory->CallFunction(*cog, tokens[2], params);
}

void Console::Mes(std::string text) { Log(std::move(text), LogGeneral); }

void Console::Script(std::string)
{
    // Console scripts are not run; the command stays so lines naming it are not errors.
}

void Console::List()
{
    std::vector<std::string> lines;
    std::string list;
    for (const auto& [name, entry] : mCommands)
    {
        lines.push_back("] " + name + " : " + entry.mDescription);
        list += lines.back() + '\n';
    }
    const std::string path = DataFilePath("Commands.txt");
    std::string why;
    if (!SaveWholeFile(path, list, &why))
        Log("Could not write the command list to " + path + ": " + why, LogError);
    for (std::string& line : lines)
        Log(std::move(line), LogGeneral);
}

void Console::SetEngineKeys(std::function<void()> stop, std::function<void()> restart)
{
    mStopEngine = std::move(stop);
    mRestartEngine = std::move(restart);
}

void Console::ShowConsole(bool show)
{
    // Text left on the line would be joined to the next command typed after reopening. Closed,
    // the console takes no keys, even a line opened by Enter over the game (the loading screen
    // closes it after every load).
    if (!show)
    {
        mInputLine.Clear();
        mInputActive = false;
    }
    mShowConsole = show;
}

void Console::OnKey(int code)
{
    if (code == KeyEnter)
    {
        if (mInputLine.Text().empty())
        {
            mInputActive = !mInputActive;
        }
        else if (mInputActive)
        {
            const std::string line = mInputLine.Take();
            // The open console keeps its line for the next command.
            mInputActive = mShowConsole;
            ExecuteLine(line);
        }
        else
        {
            mInputActive = true;
        }
        return;
    }
    switch (code)
    {
    case KeyPageUp:
        if (mScroll < static_cast<int64_t>(mEntries.Size()) - kShownEntries)
            ++mScroll;
        break;
    case KeyPageDown:
        if (mScroll > 0)
            --mScroll;
        break;
    case KeyF12:
        if (mStopEngine)
            mStopEngine();
        break;
    case KeyF11:
        if (mRestartEngine)
            mRestartEngine();
        break;
    case KeyBackquote:
        // The key that opens and closes the console is never typed into it. Opened, the console
        // takes what is typed at once; closed, the keys are the game's again.
        ShowConsole(!mShowConsole);
        mInputActive = mShowConsole;
        return;
    default:
        break;
    }
    if (mInputActive)
        mInputLine.Edit(code);
}
