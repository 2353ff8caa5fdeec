#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/audio/AudioTestSupport.h"

namespace {
class CdTrayTest : public AudioFixture, public ::testing::WithParamInterface<const char*>
{
protected:
    // Never a real drive: the same name in a folder of the player's, for nothing there, a plain
    // file, a folder or a FIFO (whose open would wait for a writer).
    std::string Device() const
    {
        const std::string kind = GetParam();
        std::string path = mOutside.Path("drive");
        if (kind == "plain")
            mOutside.Write("drive", "not a drive");
        else if (kind == "folder")
            std::filesystem::create_directory(path);
        else if (kind == "fifo")
        {
            EXPECT_EQ(mkfifo(path.c_str(), 0644), 0);
        }
        return path;
    }

    // Everything done to the folder or what is in it, opening included, as the kernel saw it.
    static std::vector<uint32_t> Events(int watch)
    {
        std::vector<uint32_t> events;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(watch, buffer, sizeof(buffer))) > 0;)
            for (char* at = buffer; at < buffer + n;)
            {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                events.push_back(event->mask);
                at += sizeof(inotify_event) + event->len;
            }
        return events;
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

    TempDir mOutside;
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
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    const uint32_t touched = IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB | IN_CLOSE;
    ASSERT_GE(inotify_add_watch(watch, mOutside.Path().c_str(), touched), 0);
    if (std::string(GetParam()) != "missing")
    {
        ASSERT_GE(inotify_add_watch(watch, fields.mCDDevice.c_str(), touched), 0);
    }
    LogProbe log;
    Console::Instance().ExecuteLine("OpenCDTray");
    ASSERT_TRUE(loom.IsCDTrayBusy());
    Console::Instance().ExecuteLine("OpenCDTray");
    EXPECT_EQ(log.Count("OpenCDTray: the CD tray is still being opened; ignored"), 1);
    WaitForTask(loom);
    EXPECT_FALSE(loom.IsCDTrayBusy());
    EXPECT_EQ(log.Count("OpenCDTray: "), 2) << "the refusal and the one failure";
    EXPECT_EQ(log.Count(shown), 1);
    // One text whatever stands there: it tells nothing of the path.
    EXPECT_EQ(log.Errors(), std::vector<std::string>{"OpenCDTray: " + shown + " is not a CD drive (a block device)"});
    // Nothing but a block device is opened.
    EXPECT_EQ(Events(watch), std::vector<uint32_t>());
    close(watch);

    // Free again once answered.
    LogProbe again;
    loom.OpenCDTray();
    EXPECT_TRUE(loom.IsCDTrayBusy());
    // Shutdown in the middle waits for the task and still reports it.
    loom.Shutdown();
    EXPECT_FALSE(loom.IsCDTrayBusy());
    EXPECT_EQ(again.Count(shown), 1);
}

INSTANTIATE_TEST_SUITE_P(Devices, CdTrayTest, ::testing::Values("missing", "plain", "folder", "fifo"));
