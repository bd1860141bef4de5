#include <gtest/gtest.h>

#include "run/log.h"
#include "sim_fixture.h"

namespace {

class LogTest : public SimTest {};

TEST_F(LogTest, LineFormatPadsOnlyTheSecondToTwoColumns)
{
    struct Case {
        SYSTEMTIME time;
        const char* text;
        const char* expected;
    } cases[] = {
        {{2003, 11, 2, 4, 14, 7, 9, 0}, "Deleted file C:\\x", "2003/11/4 14:7:9  - Deleted file C:\\x\r\n"},
        {{2003, 11, 2, 4, 14, 7, 10, 0}, "ten", "2003/11/4 14:7:10 - ten\r\n"},
        {{2026, 1, 4, 1, 0, 0, 0, 0}, "midnight", "2026/1/1 0:0:0  - midnight\r\n"},
        {{2026, 12, 4, 31, 23, 59, 59, 999}, "", "2026/12/31 23:59:59 - \r\n"},
        // A message ending in a line feed leaves an empty line after its own.
        {{2003, 11, 2, 4, 14, 7, 9, 0}, "with break\n", "2003/11/4 14:7:9  - with break\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        winsim::Reset();
        M().localTime = c.time;
        EnableLogs(true, false);
        LogMessage(c.text);
        EXPECT_EQ(M().files.Content(kTestLog), c.expected);
    }
}

TEST_F(LogTest, SwitchesDecideWhichWriterWrites)
{
    struct Case {
        int logging, debug;
        const char* expected;
    } cases[] = {
        {0, 0, ""},
        {1, 0, "app|"},
        {0, 1, "app|debug|"},
        {1, 1, "app|debug|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.logging) + "/" + std::to_string(c.debug));
        winsim::Reset();
        g_logSettings.logging = c.logging;
        g_logSettings.debug = c.debug;
        g_logSettings.path = kTestLog;
        LogMessage("app");
        LogDebug("debug");
        std::string joined;
        for (const std::string& line : LogMessages())
            joined += line + "|";
        EXPECT_EQ(joined, c.expected);
        EXPECT_EQ(M().files.Exists(kTestLog), c.logging || c.debug);
        EXPECT_TRUE(M().messageBoxes.empty());
        EXPECT_EQ(M().console, "");
    }
}

TEST_F(LogTest, AppendsToWhatIsThereAndClosesAfterEachLine)
{
    M().files.AddFile(kTestLog, "earlier run\r\n");
    EnableLogs(true, true);
    LogMessage("one");
    // Closed between lines: another process may delete it, and the next line recreates it.
    EXPECT_EQ(M().files.Find(kTestLog)->openByProgram, 0);
    LogDebug("two");
    std::string content = M().files.Content(kTestLog);
    EXPECT_EQ(content.rfind("earlier run\r\n", 0), 0u);
    EXPECT_EQ(SplitLogLines(content.substr(13)), (std::vector<std::string>{"one", "two"}));
}

TEST_F(LogTest, UnopenableLogShowsTheErrorBoxForEveryLineAndDropsIt)
{
    const char* expectedText =
        "The Pellsweep application has encountered a problem opening the log file Pellsweep.log. Please contact your "
        "local Administrator or Qarvex technical support for further assistance with this error.";
    struct Case {
        const char* label;
        std::string path;
        std::function<void(winsim::Machine&)> arrange;
    } cases[] = {
        {"empty path", "", [](winsim::Machine&) {}},
        {"missing directory", "C:\\nowhere\\x.log", [](winsim::Machine&) {}},
        {"a directory", "C:\\WINDOWS", [](winsim::Machine&) {}},
        {"read-only file", "C:\\ro.log",
         [](winsim::Machine& m) { m.files.AddFile("C:\\ro.log", "", FILE_ATTRIBUTE_READONLY); }},
        {"locked file", "C:\\held.log",
         [](winsim::Machine& m) {
             m.files.AddFile("C:\\held.log");
             m.files.Lock("C:\\held.log");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        winsim::Reset();
        c.arrange(M());
        g_logSettings.logging = 1;
        g_logSettings.debug = 1;
        g_logSettings.path = c.path;
        LogMessage("first");
        LogDebug("second");
        ASSERT_EQ(M().messageBoxes.size(), 2u);
        for (const winsim::MessageBoxRecord& box : M().messageBoxes) {
            EXPECT_EQ(box.text, expectedText);
            EXPECT_EQ(box.caption, "Application Execution Error");
            EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
            EXPECT_EQ(box.owner, nullptr);
        }
        if (!c.path.empty() && M().files.Exists(c.path) && !M().files.IsDirectory(c.path))
            EXPECT_EQ(M().files.Content(c.path).find("first"), std::string::npos);
    }
}

}  // namespace
