#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim_fixture.h"

namespace {

std::string ReadSourceFile(const std::string& relative)
{
    std::ifstream in(std::string(PELLSWEEP_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The help text as the program writes it, before the runtime turns "\n" into CR LF.
std::string HelpText()
{
    std::string golden = ReadSourceFile("tests/golden/help.txt");
    std::string text;
    for (size_t i = 0; i < golden.size(); i++) {
        if (!(golden[i] == '\r' && i + 1 < golden.size() && golden[i + 1] == '\n'))
            text += golden[i];
    }
    return text;
}

// Console output of -c on a machine where nothing of the suite is left.
const char* const kEmptyCleanupConsole =
    "\nRemoving WMI classes and deregistering COM objects"
    "\nStopping Pelliton Services"
    "\n\nRBX does not appear to be installed. Cleaning up RBX shared files"
    "\n\nRemoving any remaining Pelliton files";

const char* const kDriverFile = "C:\\WINDOWS\\system32\\drivers\\SBUSNT.sys";

class CommandLineTest : public SimTest {};

TEST_F(CommandLineTest, HelpOnlyWithoutArgumentsOrWithDashHFirst)
{
    ASSERT_FALSE(HelpText().empty()) << "tests/golden/help.txt missing";
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-h"},
        {"-h", "-l", "C:\\run.log", "-d", "-c", "-r"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        winsim::Reset();
        g_logSettings = LogSettings();
        EXPECT_EQ(Run(args), 0);
        EXPECT_EQ(M().console, HelpText());
        EXPECT_FALSE(M().files.Exists("C:\\run.log"));
        EXPECT_EQ(g_logSettings.logging, 0);
    }
}

TEST_F(CommandLineTest, UnrecognisedArgumentsAreIgnoredSilently)
{
    const std::vector<std::vector<std::string>> cases = {
        {"-H"}, {"/h"}, {"/?"}, {"-C"}, {"--help"}, {"c"}, {"-cr"}, {"-l"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0]);
        winsim::Reset();
        g_logSettings = LogSettings();
        EXPECT_EQ(Run(args), 0);
        EXPECT_EQ(M().console, "");
        EXPECT_TRUE(M().messageBoxes.empty());
        EXPECT_EQ(g_logSettings.logging, 0);
    }
}

TEST_F(CommandLineTest, DashHAfterTheFirstArgumentIsIgnored)
{
    EXPECT_EQ(Run({"-c", "-h"}), 0);
    EXPECT_EQ(M().console, kEmptyCleanupConsole);
}

TEST_F(CommandLineTest, OptionsActOnlyOnWhatFollowsThem)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> logStartsWith;
        bool hasDebugLines;
        size_t boxes;
        size_t cleanups;
    } cases[] = {
        // The cleanup runs before logging is on.
        {{"-c", "-l", "C:\\run.log"}, {"Logging enabled"}, false, 0, 1},
        {{"-l", "C:\\run.log", "-c"}, {"Logging enabled", "Removing WMI classes and deregistering COM objects"},
         false, 0, 1},
        {{"-l", "C:\\run.log", "-d", "-c"},
         {"Logging enabled", "Debug logging enabled", "Removing WMI classes and deregistering COM objects"}, true,
         0, 1},
        // -d before -l: its line finds no path yet and shows the error box once.
        {{"-d", "-l", "C:\\run.log"}, {"Logging enabled"}, false, 1, 0},
        {{"-c", "-c"}, {}, false, 0, 2},
        // A trailing -l has no path to take and changes nothing.
        {{"-l", "C:\\run.log", "-c", "-l"},
         {"Logging enabled", "Removing WMI classes and deregistering COM objects"}, false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        winsim::Reset();
        g_logSettings = LogSettings();
        EXPECT_EQ(Run(c.args), 0);
        std::vector<std::string> log = LogMessages("C:\\run.log");
        ASSERT_GE(log.size(), c.logStartsWith.size());
        EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + c.logStartsWith.size()), c.logStartsWith);
        if (c.logStartsWith.size() == 1)
            EXPECT_EQ(log.size(), 1u);
        bool debugLines = HasLine(log, "Failed to open XQS Registry Key");
        EXPECT_EQ(debugLines, c.hasDebugLines);
        EXPECT_EQ(M().messageBoxes.size(), c.boxes);
        std::string expectedConsole;
        for (size_t i = 0; i < c.cleanups; i++)
            expectedConsole += kEmptyCleanupConsole;
        EXPECT_EQ(M().console, expectedConsole);
    }
}

TEST_F(CommandLineTest, ThePathAfterDashLIsAlsoTestedAsAnOption)
{
    // "-c" becomes the log path (relative, so in the current directory) and the cleanup runs too.
    EXPECT_EQ(Run({"-l", "-c"}), 0);
    EXPECT_EQ(M().console, kEmptyCleanupConsole);
    std::vector<std::string> log = LogMessages("C:\\-c");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "Logging enabled");
    EXPECT_EQ(log[1], "Removing WMI classes and deregistering COM objects");

    winsim::Reset();
    g_logSettings = LogSettings();
    EXPECT_EQ(Run({"-l", "-d"}), 0);
    EXPECT_EQ(LogMessages("C:\\-d"), (std::vector<std::string>{"Logging enabled", "Debug logging enabled"}));
}

TEST_F(CommandLineTest, LongLogPathIsKeptWholeNeverCut)
{
    std::string path = "C:\\" + std::string(300, 'a') + ".log";
    EXPECT_EQ(Run({"-l", path}), 0);
    EXPECT_EQ(g_logSettings.path, path);
    // The system refuses a path this long: the box, and no file under any shortened name.
    EXPECT_EQ(M().messageBoxes.size(), 1u);
    EXPECT_EQ(M().files.Listing("C:\\").find("aaaa"), std::string::npos);
}

TEST_F(CommandLineTest, CleanupWritesEveryStepInOrder)
{
    EXPECT_EQ(Run({"-l", "C:\\run.log", "-d", "-c"}), 0);
    const std::vector<std::string> expected = {
        "Logging enabled",
        "Debug logging enabled",
        "Removing WMI classes and deregistering COM objects",
        "Stopping Pelliton Services",
        "Failed to open XQS Registry Key",
        "Failed to get XQS version from registry",
        "Failed to open XQS Registry Key",
        "Failed to get XQS path from registry",
        "Could not find the XQS path in the registry. Assuming path is SYS_DRIVE\\Program Files\\XQS",
        "RecursiveDelete is unable to find the directory C:\\Program Files\\XQS",
        "Failed to remove the contents of directory C:\\Program Files\\XQS",
        "Removing directory C:\\Program Files\\XQS",
        "Failed to remove the directory C:\\Program Files\\XQS",
        "Failed to open Pelliton Registry Key",
        "Failed to get XQS path from registry",
        "Could not find the Pelliton path in the registry. Assuming path is SYS_DRIVE\\Program Files\\Pelliton",
        "RecursiveDelete is unable to find the directory C:\\Program Files\\Pelliton",
        "Failed to remove the contents of directory C:\\Program Files\\Pelliton",
        "Removing directory C:\\Program Files\\Pelliton",
        "Failed to remove the directory C:\\Program Files\\Pelliton",
        "RecursiveDelete is unable to find the directory C:\\LOGS",
        "Failed to remove the contents of directory C:\\LOGS",
        "Removing directory C:\\LOGS",
        "Failed to remove the directory C:\\LOGS",
        "RecursiveDelete is unable to find the directory C:\\Program Files\\Brenmoor\\Deskreach",
        "Failed to remove the contents of directory C:\\Program Files\\Brenmoor\\Deskreach",
        "Removing directory C:\\Program Files\\Brenmoor\\Deskreach",
        "Failed to remove the directory C:\\Program Files\\Brenmoor\\Deskreach",
    };
    std::vector<std::string> log = LogMessages("C:\\run.log");
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected);
    const std::vector<std::string> tail = {
        "RBX does not appear to be installed. Cleaning up RBX shared files",
        "Unable to find or delete file C:\\WINDOWS\\system32\\qvxwdt.dll",
    };
    EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()), tail);
    EXPECT_EQ(M().console, kEmptyCleanupConsole);
}

TEST_F(CommandLineTest, LegacyDriverFileIsDeletedPlainlyAndReportedToTheLogOnly)
{
    struct Case {
        const char* label;
        std::function<void(winsim::Machine&)> arrange;
        bool deleted;
    } cases[] = {
        {"present", [](winsim::Machine& m) { m.files.AddFile(kDriverFile); }, true},
        {"absent", [](winsim::Machine&) {}, false},
        // In use or read-only: a plain deletion fails and nothing is scheduled for restart.
        {"in use",
         [](winsim::Machine& m) {
             m.files.AddFile(kDriverFile);
             m.files.Lock(kDriverFile);
         },
         false},
        {"read-only", [](winsim::Machine& m) { m.files.AddFile(kDriverFile, "", FILE_ATTRIBUTE_READONLY); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LoggedRun run = RunLogged([&] {
            c.arrange(winsim::Current());
            std::vector<std::string> args = {"-r"};
            EXPECT_EQ(Run(args), 0);
        });
        std::string deleted = std::string("Deleted file ") + kDriverFile;
        std::string failed = std::string("Unable to find or delete file ") + kDriverFile;
        EXPECT_EQ(HasLine(run.app, deleted), c.deleted);
        EXPECT_EQ(HasLine(run.all, deleted), c.deleted);
        EXPECT_FALSE(HasLine(run.app, failed));
        EXPECT_EQ(HasLine(run.all, failed), !c.deleted);
        EXPECT_EQ(run.console.find("SBUSNT"), std::string::npos);
        EXPECT_EQ(M().files.Exists(kDriverFile), !c.deleted && std::string(c.label) != "absent");
        EXPECT_TRUE(M().PendingFileRenames().empty());
    }
}

TEST_F(CommandLineTest, CleanupThenDriverRemovalRunInArgumentOrder)
{
    M().files.AddFile(kDriverFile);
    EXPECT_EQ(Run({"-l", "C:\\run.log", "-c", "-r"}), 0);
    std::vector<std::string> log = LogMessages("C:\\run.log");
    auto cleanup = std::find(log.begin(), log.end(), "Stopping Pelliton Services");
    auto driver = std::find(log.begin(), log.end(), std::string("Deleted file ") + kDriverFile);
    ASSERT_NE(cleanup, log.end());
    ASSERT_NE(driver, log.end());
    EXPECT_LT(cleanup - log.begin(), driver - log.begin());
    EXPECT_FALSE(M().files.Exists(kDriverFile));
}

}  // namespace
