#include "tests/audio/AudioTestSupport.h"

namespace {
class CdTrayTest : public AudioFixture, public ::testing::WithParamInterface<const char*>
{
protected:
    std::string Device() const
    {
        // Never a real drive: a path that is not there, or a plain file.
        return std::string(GetParam()) == "missing" ? mDir.Path("no-such-drive") : mDir.Write("plain", "not a drive");
    }

    void WaitForTask(AudioLoom& loom)
    {
        WaitUntil(
            [&] {
                loom.Update();
                return !loom.IsCDTrayBusy();
            },
            60.0);
    }
};
} // namespace

TEST_P(CdTrayTest, AFailureIsOneLineTheTaskEndsAndACommandWhileItRunsIsRefused)
{
    ConfigFields fields;
    fields.mCDDevice = Device();
    WriteConfig(fields);
    AudioLoom& loom = Start();
    loom.RegisterTypes();
    // The log shows paths with the data files' separator.
    std::string shown = fields.mCDDevice;
    Console::FixSlashes(shown);
    LogProbe log;
    Console::Instance().ExecuteLine("OpenCDTray");
    ASSERT_TRUE(loom.IsCDTrayBusy());
    Console::Instance().ExecuteLine("OpenCDTray");
    EXPECT_EQ(log.Count("OpenCDTray: the CD tray is still being opened; ignored"), 1);
    WaitForTask(loom);
    EXPECT_FALSE(loom.IsCDTrayBusy());
    EXPECT_EQ(log.Count("OpenCDTray: "), 2) << "the refusal and the one failure";
    EXPECT_EQ(log.Count(shown), 1);

    // Free again once answered.
    LogProbe again;
    loom.OpenCDTray();
    EXPECT_TRUE(loom.IsCDTrayBusy());
    // Shutdown in the middle waits for the task and still reports it.
    loom.Shutdown();
    EXPECT_FALSE(loom.IsCDTrayBusy());
    EXPECT_EQ(again.Count(shown), 1);
}

INSTANTIATE_TEST_SUITE_P(Devices, CdTrayTest, ::testing::Values("missing", "plain"));
