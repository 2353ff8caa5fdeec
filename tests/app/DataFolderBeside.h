#pragma once

// A data folder beside a folder of the player's own, the program run on it, and a watch on what
// the program does to the player's folder.

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace beside {
namespace fs = std::filesystem;

// A data folder in data/ of the test's folder, beside outside/ that holds the player's files,
// and the program run on it.
struct Beside
{
    std::string Data(const std::string& name = "") const { return dir.Path("data/" + name); }
    std::string Outside(const std::string& name = "") const { return dir.Path("outside/" + name); }
    // config.xml with one string setting changed.
    void Configure(const std::string& setting, const std::string& value) const
    {
        std::string config = TempDir::Read(Data("config.xml"));
        const std::string open = "<string name=\"" + setting + "\">";
        const size_t start = config.find(open) + open.size();
        config.replace(start, config.find('<', start) - start, value);
        dir.Write("data/config.xml", config);
    }
    std::string Command(const std::string& env) const
    {
        return "cd '" + Data() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null " +
            "LP_NUM_THREADS=0 " + env + " " + LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' > '" + dir.Path("stdout.txt") +
            "' 2> '" + dir.Path("stderr.txt") + "'";
    }
    std::string Stderr() const { return TempDir::Read(dir.Path("stderr.txt")); }
    std::string Log() const { return TempDir::Read(Data("Log.xml")); }

    TempDir dir;
};

// The test data folder with an empty outside/; the start script ends the program after three
// frames.
struct ThreeFrames : Beside
{
    ThreeFrames()
    {
        fs::copy(LOOM_TEST_DATA "/e2e", Data(), fs::copy_options::recursive);
        dir.Write("data/Scripts/Start.lua",
                  "local frames = 0\n"
                  "function GUpdate()\n"
                  "    frames = frames + 1\n"
                  "    if frames == 3 then G.exit() end\n"
                  "end\n");
        fs::create_directories(Outside());
    }
};

// Whatever touches outside/ or a file in it (opened, read, written, made, removed), as the
// kernel reports it: a file reached through a link or another name of it is seen too.
class OutsideWatch
{
public:
    explicit OutsideWatch(const std::string& folder) : mFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(mFd, 0);
        const uint32_t touched = IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE;
        // The folder last: listing it is a touch of its own.
        for (const auto& entry : fs::directory_iterator(folder))
            mNames[inotify_add_watch(mFd, entry.path().c_str(), touched)] = entry.path().filename().string();
        EXPECT_GE(inotify_add_watch(mFd, folder.c_str(), touched | IN_CREATE | IN_DELETE | IN_MOVED_TO), 0);
    }
    ~OutsideWatch() { close(mFd); }
    OutsideWatch(const OutsideWatch&) = delete;
    OutsideWatch& operator=(const OutsideWatch&) = delete;

    std::vector<std::string> Events() const
    {
        std::vector<std::string> events;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(mFd, buffer, sizeof(buffer))) > 0;)
            for (char* at = buffer; at < buffer + n;)
            {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                const auto name = mNames.find(event->wd);
                events.push_back((name != mNames.end() ? name->second : std::string("outside/")) +
                                 (event->len ? event->name : "") + " mask " + std::to_string(event->mask));
                at += sizeof(inotify_event) + event->len;
            }
        return events;
    }

private:
    int mFd;
    std::map<int, std::string> mNames;
};

} // namespace beside
