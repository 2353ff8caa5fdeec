#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "LOOM/engine/EngineConfig.h"
#include "tests/LOOM/support/TempDir.h"

// A config.xml that is there but cannot be read hands its reason on, for the engine to show; a
// missing one is no problem to show (the defaults are what the engine is made for), and a good
// one none at all.
TEST(EngineConfig, ProblemNamesWhyAFileThereCannotBeRead)
{
    struct Case
    {
        const char* name;
        const char* content; // nullptr: no file; "/": a folder; "=": the example configuration
        bool read;
        const char* problem; // empty: none
    };
    const Case cases[] = {
        {"missing", nullptr, false, ""},
        {"a folder", "/", false, "config.xml cannot be read (not a file)"},
        {"cut short", "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n", false,
         "config.xml cannot be read (XML File is not correct: the file ends too early"},
        {"good", "=", true, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.Path("config.xml");
        if (c.content && std::string(c.content) == "/")
            std::filesystem::create_directory(path);
        else if (c.content && std::string(c.content) == "=")
            std::filesystem::copy_file(LOOM_TEST_DATA "/config.xml", path);
        else if (c.content)
            dir.Write("config.xml", c.content);
        EngineConfig config;
        std::string problem;
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadEngineConfig(path, config, &problem), c.read);
        const std::string err = testing::internal::GetCapturedStderr();
        if (*c.problem)
        {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
            EXPECT_NE(err.find(c.problem), std::string::npos) << err;
        }
        else
        {
            EXPECT_TRUE(problem.empty()) << problem;
        }
        EXPECT_EQ(config.mMotD, c.read ? "Welcome to the Loom engine" : "");
    }
}
