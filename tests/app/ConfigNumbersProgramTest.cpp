#include <gtest/gtest.h>

#include <string>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/DataFolderBeside.h"
#include "tests/app/ProgramRun.h"

namespace {
// The log's Message of an entry and whether that entry is an Error.
bool LoggedAsError(const std::string& log, const std::string& message)
{
    const size_t at = log.find("<Message>" + message + "</Message>");
    return at != std::string::npos && log.compare(log.rfind("<Type>", at), 18, "<Type>Error</Type>") == 0;
}
} // namespace

// config.xml is read before the log file opens: the numbers it gives that their settings cannot
// take are refused there with the file, the line, the field and the text, kept, and written to
// the log as Errors once it opens. The program plays on with the settings' defaults.
TEST(ConfigNumbers, RefusedNumbersOfConfigXmlReachTheLog)
{
    beside::ThreeFrames folders;
    std::string config = TempDir::Read(folders.Data("config.xml"));
    config.replace(config.find(">640<"), 5, ">nan<");
    config.replace(config.find(">480<"), 5, ">99999999999<");
    folders.dir.Write("data/config.xml", config);

    ASSERT_EQ(RunToEnd(folders.Command("LOOM_ASSERT=continue"), kProgramLimit), 0) << folders.Stderr();

    const std::string log = folders.Log();
    const std::string x = "config.xml line 9: WindowX &quot;nan&quot; refused (not a whole decimal number); it keeps 0";
    const std::string y = "config.xml line 10: WindowY &quot;99999999999&quot; refused (out of range for an int: "
                          "-2147483648 to 2147483647); it keeps 0";
    EXPECT_TRUE(LoggedAsError(log, x)) << log;
    EXPECT_TRUE(LoggedAsError(log, y)) << log;
    EXPECT_LT(log.find("</LogHeader>"), log.find(x));
    EXPECT_LT(log.find(x), log.find(y));
    EXPECT_NE(log.find("<Message>End-to-end run</Message>"), std::string::npos) << "the rest of config.xml is taken";
    EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>"), std::string::npos) << "it played on";
}
