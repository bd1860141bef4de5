// Scenarios: a machine described by files, shared with the Wine tests.
//   registry.reg  keys and values in the regedit text format
//   files.txt     "<dir|file|locked> <-|RHSA letters> <path>", "watch <path>", "windir <path>"
//   args.txt      the program's arguments, one per line
#pragma once

#include <string>
#include <vector>

#include "winsim/machine.h"

namespace winsim {

struct Scenario {
    std::vector<std::string> args;
    std::vector<std::string> watch;  // roots whose final tree is compared
};

// Arranges the machine from a scenario directory; false with *error set when a file is malformed.
bool LoadScenario(Machine& machine, const std::string& directory, Scenario* scenario, std::string* error);
// Applies the lines of a files.txt text to the machine.
bool ApplyFileList(Machine& machine, const std::string& text, Scenario* scenario, std::string* error);

// "dir <path>" / "file <path>" for each watched root and everything below it, sorted by upper-cased path.
std::string WatchedTree(const Machine& machine, const std::vector<std::string>& watch);
// Console text as a Windows program writes it to a file or pipe: each "\n" as "\r\n".
std::string TextModeBytes(const std::string& text);

}  // namespace winsim
