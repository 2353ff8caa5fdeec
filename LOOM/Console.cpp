#include "LOOM/Console.h"

#include <algorithm>

#include "LOOM/XmlWriter.h"

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

Console::Console() = default;

Console::~Console()
{
    CloseLog();
}

void Console::FixSlashes(std::string& text)
{
    std::replace(text.begin(), text.end(), '/', '\\');
}

const char* Console::CategoryText(uint32_t category)
{
    switch (category)
    {
    case LogGeneral: return "General";
    case LogEngine: return "Engine";
    case LogLoading: return "Loading";
    case LogError: return "Error";
    case LogFunctional: return "Functional";
    case LogScripting: return "Scripting";
    case LogCommands: return "Commands";
    case LogInit: return "Init";
    default: return "None";
    }
}

std::string Console::TimeText(int32_t ms)
{
    const int32_t minutes = ms / 60000;
    const int32_t seconds = (ms / 1000) % 60;
    const int32_t rest = ms % 1000;
    return std::to_string(minutes / 10) + std::to_string(minutes % 10) + ":" + std::to_string(seconds / 10) +
           std::to_string(seconds % 10) + ":" + std::to_string(rest);
}

void Console::OpenLogFile(const std::string& fileName)
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    std::string path = fileName;
    std::replace(path.begin(), path.end(), '\\', '/');
    mLogStream = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
}

void Console::OpenLog(const SystemInfo& info)
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    if (!mLogStream)
        return;
    std::ostream& out = *mLogStream;
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
    out.flush();
}

void Console::Log(std::string text, uint32_t category)
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    FixSlashes(text);
    const uint32_t number = mEntryCounter++;
    const int32_t ms = mLogClock ? mLogClock->CurrentMs() : mOwnClock.CurrentMs();
    mScroll = 0;
    if (mLogStream)
    {
        std::ostream& out = *mLogStream;
        WriteXmlOpenTagWithAttribute(out, "Entry", "ID", std::to_string(number));
        WriteXmlElement(out, "Type", CategoryText(category));
        WriteXmlElement(out, "Time", TimeText(ms));
        WriteXmlElement(out, "Message", text);
        WriteXmlCloseTag(out, "Entry");
        out.flush();
    }
    mEntries.Push(LogEntry{number, category, std::move(text), ms});
}

void Console::LogText(const char* text)
{
    Log(text ? std::string(text) : std::string(), LogGeneral);
}

void Console::LogWithPrefix(const std::string& first, const std::string& second, uint32_t category)
{
    Log(first + " " + second, category);
}

void Console::CloseLog()
{
    std::lock_guard<std::recursive_mutex> lock(mLogMutex);
    if (!mLogStream)
        return;
    WriteXmlCloseTag(*mLogStream, "LoomRunTimeLog");
    mLogStream->flush();
    mLogStream.reset();
}
