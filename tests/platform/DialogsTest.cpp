#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"
#include "WindowFixture.h"
#include "platform/Dialogs.h"

namespace {
// Puts a stand-in zenity first on PATH for the life of the object.
class FakeZenity
{
public:
    explicit FakeZenity(const std::string& script)
        : mFolder("zenity"), mOldPath(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        if (!script.empty())
        {
            const std::filesystem::path program = mFolder.Path() / "zenity";
            std::ofstream(program) << "#!/bin/sh\n" << script;
            chmod(program.c_str(), 0755);
        }
        setenv("PATH", (mFolder.Path().string() + ":/usr/bin:/bin").c_str(), 1);
    }
    ~FakeZenity() { setenv("PATH", mOldPath.c_str(), 1); }
    std::filesystem::path Folder() const { return mFolder.Path(); }

private:
    ScratchFolder mFolder;
    std::string mOldPath;
};
} // namespace

TEST(Dialogs, HeadlessDriverShowsNoBox)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_FALSE(CanShowDialogs());
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_FALSE(CanShowDialogs());
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
}

TEST(Dialogs, ErrorWithoutDisplayGoesToStderrAndCarriesOn)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    testing::internal::CaptureStderr();
    const bool debug = ShowErrorDialog("mState != THREAD_RUNNING", "VirtualThread Line Number 35",
                                       "The thread task is already spawned");
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(debug);
    EXPECT_NE(text.find("LOOM Error"), std::string::npos);
    EXPECT_NE(text.find("mState != THREAD_RUNNING"), std::string::npos);
    EXPECT_NE(text.find("VirtualThread Line Number 35"), std::string::npos);
    EXPECT_NE(text.find("The thread task is already spawned"), std::string::npos);
}

TEST(Dialogs, MessageOnlyErrorKeepsExpressionAndLocation)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    testing::internal::CaptureStderr();
    ShowErrorDialog("isvalid", "XMLLoader Line Number 12", "first");
    ShowErrorMessage("second");
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find(FormatErrorText("isvalid", "XMLLoader Line Number 12", "second")), std::string::npos);
}

TEST(Dialogs, ErrorTextNamesEveryPart)
{
    const std::string text = FormatErrorText("a > b", "QTree Line Number 7", "Out of range");
    EXPECT_EQ(text,
              "Error Information\nExpression: a > b\nLocation: QTree Line Number 7\n\nError Message\nOut of range");
}

TEST(Dialogs, WindowAskErrorAnswersDebugWhenHeadless)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    PlatformWindow* window = CreateTestWindow();
    ASSERT_NE(window, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window->AskError("x", "File Line Number 1", "message"));
    window->ShowError("only a message");
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find("only a message"), std::string::npos);
    PlatformWindow::Destroy();
}

TEST(Dialogs, MessageBoxWithoutDisplayGoesToStderr)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    testing::internal::CaptureStderr();
    ShowMessageBox("Fx Compile Error", "0:12(3): error: syntax error");
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Console::Instance().GetEntries().FromNewest(0).mText, "Fx Compile Error: 0:12(3): error: syntax error");
    EXPECT_EQ(Console::Instance().GetEntries().FromNewest(0).mCategory, LogError);
    EXPECT_NE(text.find("Fx Compile Error"), std::string::npos);
    EXPECT_NE(text.find("0:12(3): error: syntax error"), std::string::npos);
}

TEST(OpenFileDialog, ReturnsTheChosenPath)
{
    FakeZenity zenity("printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\necho '/home/player/Levels/level one.xml'\n");
    EXPECT_EQ(ShowOpenFileDialog(), "/home/player/Levels/level one.xml");
    std::ifstream argsFile(zenity.Folder() / "args");
    std::string args((std::istreambuf_iterator<char>(argsFile)), std::istreambuf_iterator<char>());
    EXPECT_EQ(args, "--file-selection\n--file-filter=Data Files (*.xml,*.lmf) | *.lmf *.xml\n");
}

TEST(OpenFileDialog, CancelGivesEmpty)
{
    FakeZenity zenity("exit 1\n");
    EXPECT_EQ(ShowOpenFileDialog(), "");
}

TEST(OpenFileDialog, FailureAfterOutputGivesEmpty)
{
    FakeZenity zenity("echo /tmp/partial.xml\nexit 5\n");
    EXPECT_EQ(ShowOpenFileDialog(), "");
}

TEST(OpenFileDialog, MissingZenityGivesEmpty)
{
    FakeZenity zenity("");
    setenv("PATH", zenity.Folder().c_str(), 1);
    EXPECT_EQ(ShowOpenFileDialog(), "");
}

TEST(OpenFileDialog, WindowUsesTheSameDialog)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    FakeZenity zenity("echo /data/Config/Game.lmf\n");
    PlatformWindow* window = CreateTestWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->OpenFileDialog(), "/data/Config/Game.lmf");
    PlatformWindow::Destroy();
}

namespace {
// Lets the assertion handler ask the dialog for the life of the object.
class AssertDialogsOn
{
public:
    AssertDialogsOn() : mOld(std::getenv("LOOM_ASSERT") ? std::getenv("LOOM_ASSERT") : "") { unsetenv("LOOM_ASSERT"); }
    ~AssertDialogsOn()
    {
        if (!mOld.empty())
            setenv("LOOM_ASSERT", mOld.c_str(), 1);
    }

private:
    std::string mOld;
};
} // namespace

TEST(Dialogs, WindowRegistersTheErrorDialogForAssertions)
{
    AssertDialogsOn dialogs;
    CreateTestWindow();
    testing::internal::CaptureStderr();
    const bool debug = AssertFailed("count > 0", "QTree", 41, "No nodes");
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(debug);
    EXPECT_NE(text.find(FormatErrorText("count > 0", "QTree Line Number 41", "No nodes")), std::string::npos) << text;
    PlatformWindow::Destroy();

    // Without the window the handler carries on without a dialog.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(AssertFailed("count > 0", "QTree", 42, "No nodes"));
    const std::string after = testing::internal::GetCapturedStderr();
    EXPECT_EQ(after.find("Error Information"), std::string::npos) << after;
}
