#pragma once
#include <string>

// The player's choices kept between runs, as "Name=value" lines of a small text file in the
// data folder.
struct GameOptions
{
    static constexpr const char* kFileName = "Options.txt";

    bool mShadows = true;
    float mVolume = 1.0f;
};

// The options of the file (a path in the data folder). A missing file gives the defaults with a
// note in the log; a file with anything but known options gives the defaults and one error line.
GameOptions LoadGameOptions(const std::string& file);
// Parses the text; false with the reason (naming the line) when it is not an options file.
bool ParseGameOptions(const std::string& text, GameOptions& out, std::string& why);
std::string FormatGameOptions(const GameOptions& options);
// False with one error line when the file cannot be written.
bool SaveGameOptions(const std::string& file, const GameOptions& options);
