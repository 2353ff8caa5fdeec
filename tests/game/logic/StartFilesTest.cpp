#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "LOOM/base/FileUtils.h"
#include "LOOM/engine/EngineConfig.h"
#include "game/logic/GameOptions.h"
#include "graphics/GraphicsSettings.h"
#include "tests/LOOM/support/FifoWatch.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/TempDir.h"

// Opening a FIFO waits for a writer that never comes: each start file in its place (or a folder)
// is refused without being opened, with an Error naming it, and the start goes on with the
// defaults. An open of the FIFO is seen by the kernel and fails the test; it cannot hang it.
TEST(StartFiles, AFifoOrFolderInPlaceOfAStartFileIsRefusedAtOnce)
{
    struct StartFile
    {
        const char* mName;
        std::function<void(const std::string&)> mLoad;
        bool mLogged;
    };
    const StartFile files[] = {
        {"config.xml",
         [](const std::string& name) {
             // Said in the start's message box rather than the log, which config.xml sets up.
             EngineConfig config;
             std::string problem;
             EXPECT_FALSE(LoadEngineConfig(name, config, &problem));
             EXPECT_NE(problem.find(name + " cannot be read (not a file)"), std::string::npos) << problem;
         },
         false},
        {"Graphics.xml",
         [](const std::string& name) {
             const GraphicsSettings settings = GraphicsSettings::Load(name, 640, 480);
             EXPECT_EQ(settings.mResolutionWidth, 640u);
         },
         true},
        {"Options.txt",
         [](const std::string& name) {
             const GameOptions options = LoadGameOptions(name);
             EXPECT_EQ(options.mVolume, GameOptions().mVolume);
         },
         true},
    };
    const std::string saved = GetDataPath();
    for (const bool fifo : {true, false})
    {
        TempDir dir;
        SetDataPath(dir.Path() + "/");
        for (const StartFile& file : files)
        {
            SCOPED_TRACE(std::string(file.mName) + (fifo ? " as a FIFO" : " as a folder"));
            if (fifo)
                ASSERT_EQ(::mkfifo(dir.Path(file.mName).c_str(), 0644), 0);
            else
                std::filesystem::create_directories(dir.Path(file.mName));
            const std::unique_ptr<FifoWatch> watch = fifo ? std::make_unique<FifoWatch>(dir.Path(file.mName)) : nullptr;
            LogCapture log;
            file.mLoad(file.mName);
            if (watch)
            {
                EXPECT_EQ(watch->Touches(), 0) << "the FIFO was opened";
            }
            if (file.mLogged)
            {
                EXPECT_EQ(log.Count(std::string(file.mName) + " is not a file"), 1);
            }
        }
    }
    SetDataPath(saved);
}
