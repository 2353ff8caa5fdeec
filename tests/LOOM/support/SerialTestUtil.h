#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "LOOM/console/Console.h"

// A file name under the temp folder unique to this process.
inline std::string TempPath(const std::string& name)
{
    const auto folder = std::filesystem::temp_directory_path() / ("loom_serial_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

inline void WriteTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string NewestLog()
{
    const EntryRing& ring = Console::Instance().GetEntries();
    return ring.Size() ? ring.FromNewest(0).mText : std::string();
}

// A stream file around the given body lines.
inline std::string StreamText(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">" + body + "\n</Stream>";
}

// The all-fields record as a file, every field filled.
inline const std::string kAllFields = std::string(LOOM_TEST_DATA) + "/all_fields.xml";
