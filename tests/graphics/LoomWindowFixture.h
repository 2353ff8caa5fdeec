#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/GraphicsLoom.h"
#include "tests/platform/WindowFixture.h"

// The headless window and a data folder for one test, with the graphics loom on it; the data and
// config folders are given back at the end, so the next test starts where this one did.
class LoomWindowFixture : public ::testing::Test
{
protected:
    // First in SetUp, before anything reads data.
    void OpenWindow(const std::string& dataFolder)
    {
        mWindow = CreateTestWindow();
        ASSERT_TRUE(mWindow && mWindow->IsAlive());
        mOldData = GetDataPath();
        mOldConfig = Console::Instance().GetConfigFolder();
        SetDataPath(dataFolder);
        Console::Instance().SetConfigFolder("Config\\");
    }

    void StartLoom()
    {
        mLoom.reset(GraphicsLoom::Create());
        mLoom->Init();
        ASSERT_NE(mLoom->GetDevice(), nullptr);
    }

    // Last in TearDown, once nothing holds the loom's resources.
    void CloseWindow()
    {
        mLoom.reset();
        SetDataPath(mOldData);
        Console::Instance().SetConfigFolder(mOldConfig);
        PinLoadedLibraries();
        PlatformWindow::Destroy();
    }

    PlatformWindow* mWindow = nullptr;
    std::unique_ptr<GraphicsLoom> mLoom;
    std::string mOldData;
    std::string mOldConfig;
};
