#include "sim_fixture.h"

#include <algorithm>
#include <regex>

#include "run/command_line.h"

const char* const kTestLog = "C:\\test.log";

void SimTest::SetUp()
{
    winsim::Reset();
    g_logSettings = LogSettings();
}

void SimTest::EnableLogs(bool logging, bool debug)
{
    g_logSettings.logging = logging ? 1 : 0;
    g_logSettings.debug = debug ? 1 : 0;
    g_logSettings.path = kTestLog;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> SplitLogLines(const std::string& bytes)
{
    // year/month/day hour:minute:second, the second left-aligned in two columns.
    static const std::regex line("(\\d{4})/(\\d{1,2})/(\\d{1,2}) (\\d{1,2}):(\\d{1,2}):(\\d |\\d\\d) - (.*)");
    std::vector<std::string> messages;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "log ends without CR LF: " << bytes.substr(start);
            break;
        }
        std::string text = bytes.substr(start, end - start);
        std::smatch match;
        if (std::regex_match(text, match, line)) {
            messages.push_back(match[7]);
        } else if (text.empty() && !messages.empty()) {
            // A message ending in a line feed leaves an empty line after its own.
            messages.back() += "\n";
        } else {
            ADD_FAILURE() << "malformed log line: \"" << text << "\"";
        }
        start = end + 2;
    }
    return messages;
}

std::vector<std::string> SimTest::LogMessages(const std::string& path)
{
    return SplitLogLines(M().files.Content(path));
}

int SimTest::Run(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"Pellsweep.exe"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return RunCommandLine(static_cast<int>(all.size()), argv.data());
}

LoggedRun RunLogged(const std::function<void()>& arrangeAndAct)
{
    LoggedRun result;
    for (int pass = 0; pass < 2; pass++) {
        winsim::Reset();
        g_logSettings = LogSettings();
        g_logSettings.logging = 1;
        g_logSettings.debug = pass;
        g_logSettings.path = kTestLog;
        arrangeAndAct();
        std::vector<std::string> lines = SplitLogLines(winsim::Current().files.Content(kTestLog));
        if (pass == 0) {
            result.app = lines;
            result.console = winsim::Current().console;
        } else {
            result.all = lines;
        }
    }
    return result;
}
