#include <gtest/gtest.h>

#include <memory>

#include "graphics/GraphicsLoom.h"
#include "graphics/device/GraphicsDevice.h"
#include "input/IOLoom.h"
#include "tests/LOOM/support/LoomTestSupport.h"
#include "tests/input/LogProbe.h"
#include "tests/platform/WindowFixture.h"

// The suite runs with SDL_VIDEODRIVER=offscreen; Mesa's software renderer normally gives a 3.3
// core context there. Where it cannot, the loom must say so in one line and stay inert.
class GraphicsLoomWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenTestWindow(mWindow));
        mLoom.reset(GraphicsLoom::Create());
        ASSERT_NE(mLoom, nullptr);
    }

    void TearDown() override
    {
        mLoom.reset();
        PinLoadedLibraries();
        PlatformWindow::Destroy();
    }

    void ExpectContextOrOneLine(const LogProbe& log)
    {
        if (mLoom->GetDevice())
        {
            EXPECT_EQ(log.Count("GraphicsLoom:"), 0);
            EXPECT_NE(mLoom->GetDevice(), nullptr);
        }
        else
        {
            EXPECT_EQ(log.Count("GraphicsLoom: no OpenGL 3.3 context"), 1);
        }
    }

    PlatformWindow* mWindow = nullptr;
    std::unique_ptr<GraphicsLoom> mLoom;
};

TEST_F(GraphicsLoomWindow, InitMakesAContextOrSaysWhyNot)
{
    LogProbe log;
    mLoom->RegisterTypes();
    mLoom->Init();
    ExpectContextOrOneLine(log);
}

TEST_F(GraphicsLoomWindow, ScreenSizeIsTheMainWindowsSize)
{
    mLoom->Init();
    EXPECT_EQ(mLoom->GetScreenWidth(), PlatformWindow::kMainWidth);
    EXPECT_EQ(mLoom->GetScreenHeight(), PlatformWindow::kMainHeight);
}

TEST_F(GraphicsLoomWindow, InitHandsTheScreenSizeToTheInputLoom)
{
    std::unique_ptr<IOLoom> io(IOLoom::Create());
    io->Init();
    mLoom->Init();
    EXPECT_EQ(io->GetScreenWidth(), mLoom->GetScreenWidth());
    EXPECT_EQ(io->GetScreenHeight(), mLoom->GetScreenHeight());
    EXPECT_GT(io->GetScreenWidth(), 0);
}

TEST_F(GraphicsLoomWindow, ClearAndPresentEveryFrame)
{
    mLoom->Init();
    for (int frame = 0; frame < 5; ++frame)
        mLoom->Update();
    if (mLoom->GetDevice())
    {
        EXPECT_EQ(mLoom->GetDevice()->Counters().mPresents, 5u);
    }
}

TEST_F(GraphicsLoomWindow, InitAgainAfterShutdownGivesTheSameResult)
{
    mLoom->Init();
    const bool first = mLoom->GetDevice() != nullptr;
    mLoom->Shutdown();
    EXPECT_EQ(mLoom->GetDevice(), nullptr);
    EXPECT_EQ(mLoom->GetScreenWidth(), 0);
    mLoom->Update();

    LogProbe log;
    mLoom->Init();
    EXPECT_EQ(mLoom->GetDevice() != nullptr, first);
    ExpectContextOrOneLine(log);
    mLoom->Update();
}

TEST_F(GraphicsLoomWindow, InitTwiceInARowKeepsOneContext)
{
    mLoom->Init();
    const bool first = mLoom->GetDevice() != nullptr;
    mLoom->Init();
    EXPECT_EQ(mLoom->GetDevice() != nullptr, first);
    mLoom->Update();
}

TEST_F(GraphicsLoomWindow, LoadingScreenUntilDoneLoading)
{
    mLoom->Init();
    EXPECT_FALSE(mLoom->Loading().IsUp());
    mLoom->RenderLoading();
    EXPECT_TRUE(mLoom->Loading().IsUp());
    mLoom->Update();
    mLoom->RenderLoading();
    mLoom->RenderLoading();
    EXPECT_TRUE(mLoom->Loading().IsUp());

    LogProbe log;
    mLoom->Loading().Done();
    EXPECT_FALSE(mLoom->Loading().IsUp());
    EXPECT_EQ(log.Count("Loading Time: "), 1);
    EXPECT_EQ(log.Count(" secs"), 1);
    mLoom->Update();
}

TEST(GraphicsLoom, NamesAndInstance) { ExpectInstanceFromCreateToDelete<GraphicsLoom>("Graphics Loom", "Graphics"); }

TEST(GraphicsLoom, WithoutWindowInitLogsAndStaysInert)
{
    ASSERT_EQ(PlatformWindow::GetHandle(), nullptr);
    std::unique_ptr<GraphicsLoom> loom(GraphicsLoom::Create());
    LogProbe log;
    loom->Init();
    EXPECT_EQ(log.Count("GraphicsLoom: no main window"), 1);
    EXPECT_EQ(loom->GetDevice(), nullptr);
    EXPECT_EQ(loom->GetScreenWidth(), 0);
    EXPECT_EQ(loom->GetScreenHeight(), 0);
    loom->Update();
    loom->RenderLoading();
    loom->Loading().Done();
    loom->Shutdown();
    loom->Init();
    EXPECT_EQ(loom->GetDevice(), nullptr);
}

TEST(GraphicsLoom, DoneLoadingLogsTheLoadingTimeInSeconds)
{
    std::unique_ptr<GraphicsLoom> loom(GraphicsLoom::Create());
    loom->RenderLoading();
    LogProbe log;
    loom->Loading().Done();
    ASSERT_EQ(log.Written(), 1u);
    const std::string text = Console::Instance().GetEntries().FromNewest(0).mText;
    ASSERT_EQ(text.rfind("Loading Time: ", 0), 0u) << text;
    ASSERT_GE(text.size(), 5u);
    EXPECT_EQ(text.substr(text.size() - 5), " secs") << text;
    const std::string number = text.substr(14, text.size() - 14 - 5);
    EXPECT_GE(std::stod(number), 0.0) << text;
}
