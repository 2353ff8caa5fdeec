#include "game/logic/GameOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"

namespace {
// An options file is a few short lines; anything bigger is not one.
constexpr size_t kMaxOptionsBytes = 4096;

std::string Trim(const std::string& text)
{
    size_t from = 0, to = text.size();
    while (from < to && (text[from] == ' ' || text[from] == '\t' || text[from] == '\r'))
        ++from;
    while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t' || text[to - 1] == '\r'))
        --to;
    return text.substr(from, to - from);
}

bool ParseVolume(const std::string& value, float& out)
{
    if (value.empty())
        return false;
    char* end = nullptr;
    const double read = std::strtod(value.c_str(), &end);
    if (end != value.c_str() + value.size() || !std::isfinite(read) || read < 0.0 || read > 1.0)
        return false;
    out = static_cast<float>(read);
    return true;
}
} // namespace

bool ParseGameOptions(const std::string& text, GameOptions& out, std::string& why)
{
    GameOptions read;
    size_t at = 0;
    int line = 0;
    while (at < text.size())
    {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string entry = Trim(text.substr(at, end - at));
        at = end + 1;
        ++line;
        if (entry.empty())
            continue;
        const size_t equals = entry.find('=');
        const std::string name = equals == std::string::npos ? entry : Trim(entry.substr(0, equals));
        const std::string value = equals == std::string::npos ? std::string() : Trim(entry.substr(equals + 1));
        bool good = false;
        if (name == "Shadows" && (value == "0" || value == "1"))
        {
            read.mShadows = value == "1";
            good = true;
        }
        else if (name == "Volume")
            good = ParseVolume(value, read.mVolume);
        if (!good)
        {
            why = "line " + std::to_string(line) + " is not \"Shadows=0|1\" or \"Volume=0..1\"";
            return false;
        }
    }
    out = read;
    return true;
}

std::string FormatGameOptions(const GameOptions& options)
{
    char volume[32];
    std::snprintf(volume, sizeof(volume), "%.3g", double(options.mVolume));
    return std::string("Shadows=") + (options.mShadows ? "1" : "0") + "\nVolume=" + volume + "\n";
}

GameOptions LoadGameOptions(const std::string& file)
{
    Console& console = Console::Instance();
    const std::string path = DataFilePath(file);
    if (!FileExists(path))
    {
        console.Log("No " + file + " yet: the default options are used", LogGeneral);
        return GameOptions();
    }
    std::string text;
    if (!ReadWholeFile(path, text, kMaxOptionsBytes))
    {
        console.Log(file + " cannot be read: the default options are used", LogError);
        return GameOptions();
    }
    GameOptions options;
    std::string why;
    if (!ParseGameOptions(text, options, why))
    {
        console.Log(file + " is not an options file (" + why + "): the default options are used", LogError);
        return GameOptions();
    }
    return options;
}

bool SaveGameOptions(const std::string& file, const GameOptions& options)
{
    std::string why;
    if (!SaveWholeFile(DataFilePath(file), FormatGameOptions(options), &why))
    {
        Console::Instance().Log(file + " cannot be written (" + why + "): the options hold until the game ends",
                                LogError);
        return false;
    }
    return true;
}
