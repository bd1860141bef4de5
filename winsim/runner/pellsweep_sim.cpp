// pellsweep-sim: runs the program on a simulated machine loaded from a scenario
// and writes what a run on Windows would leave: console output, exit status,
// the watched file trees, pending restart deletions, the registry and the logs.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "run/command_line.h"
#include "winsim/machine.h"
#include "winsim/scenario.h"

static bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::cerr << "usage: pellsweep-sim <scenario-dir> <out-dir>\n";
        return 2;
    }
    std::string scenarioDir = argv[1];
    std::string outDir = argv[2];

    winsim::Reset();
    winsim::Machine& machine = winsim::Current();
    winsim::Scenario scenario;
    std::string error;
    if (!winsim::LoadScenario(machine, scenarioDir, &scenario, &error)) {
        std::cerr << "pellsweep-sim: " << error << "\n";
        return 2;
    }

    std::vector<std::string> args = {"Pellsweep.exe"};
    args.insert(args.end(), scenario.args.begin(), scenario.args.end());
    std::vector<char*> argvProgram;
    for (std::string& arg : args)
        argvProgram.push_back(&arg[0]);
    argvProgram.push_back(nullptr);
    int status = RunCommandLine(static_cast<int>(args.size()), argvProgram.data());

    mkdir(outDir.c_str(), 0755);
    mkdir((outDir + "/logs").c_str(), 0755);
    std::string pending;
    for (const std::string& entry : machine.PendingFileRenames())
        pending += entry + "\n";
    bool ok = WriteFile(outDir + "/console.txt", winsim::TextModeBytes(machine.console)) &&
              WriteFile(outDir + "/exit.txt", std::to_string(status) + "\n") &&
              WriteFile(outDir + "/tree.txt", winsim::WatchedTree(machine, scenario.watch)) &&
              WriteFile(outDir + "/pending.txt", pending) &&
              WriteFile(outDir + "/registry.reg", machine.registry.Export()) &&
              WriteFile(outDir + "/files.txt", machine.files.Listing());
    for (size_t i = 1; i + 1 < args.size(); i++) {
        if (args[i] != "-l" || !machine.files.Exists(args[i + 1]))
            continue;
        std::string name = args[i + 1].substr(args[i + 1].find_last_of("\\/") + 1);
        ok = WriteFile(outDir + "/logs/" + name, machine.files.Content(args[i + 1])) && ok;
    }
    for (const winsim::MessageBoxRecord& box : machine.messageBoxes)
        std::cerr << "message box: " << box.caption << ": " << box.text << "\n";
    if (!ok) {
        std::cerr << "pellsweep-sim: cannot write to " << outDir << "\n";
        return 2;
    }
    return 0;
}
