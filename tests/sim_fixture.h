// Shared arrangement for the tests that run program code on the simulated machine.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "run/log.h"
#include "winsim/machine.h"

extern const char* const kTestLog;

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;

    winsim::Machine& M() { return winsim::Current(); }
    // Switches the two log levels on, into kTestLog.
    void EnableLogs(bool logging, bool debug);
    // The messages of the log file, each line checked against the line format.
    std::vector<std::string> LogMessages(const std::string& path = kTestLog);
    // Runs the program with these arguments (argv[0] supplied); returns its exit status.
    int Run(const std::vector<std::string>& args);
};

// What one arrangement and action left behind, done twice on fresh machines:
// once with only the application log on, once with the debug log on as well.
struct LoggedRun {
    std::vector<std::string> app;    // lines written with the application log alone
    std::vector<std::string> all;    // lines written with both logs on
    std::string console;             // console text of the first run
};
LoggedRun RunLogged(const std::function<void()>& arrangeAndAct);

// Whether one of the lines is exactly this one.
bool HasLine(const std::vector<std::string>& lines, const std::string& line);

// The lines of a log file split at CR LF; fails the test on a malformed line.
std::vector<std::string> SplitLogLines(const std::string& bytes);
