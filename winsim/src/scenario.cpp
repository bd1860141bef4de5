#include "winsim/scenario.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace winsim {

namespace {

bool ReadFile(const std::string& path, std::string* text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

DWORD ParseAttributes(const std::string& letters, bool* ok)
{
    DWORD attributes = 0;
    *ok = true;
    if (letters == "-")
        return 0;
    for (char c : letters) {
        switch (c) {
        case 'R': attributes |= FILE_ATTRIBUTE_READONLY; break;
        case 'H': attributes |= FILE_ATTRIBUTE_HIDDEN; break;
        case 'S': attributes |= FILE_ATTRIBUTE_SYSTEM; break;
        case 'A': attributes |= FILE_ATTRIBUTE_ARCHIVE; break;
        default: *ok = false;
        }
    }
    return attributes;
}

void CollectTree(const FileNode* node, const std::string& path, std::vector<std::string>* lines)
{
    lines->push_back(std::string(node->directory ? "dir " : "file ") + path);
    for (const auto& child : node->children)
        CollectTree(child.second.get(), path + "\\" + child.second->name, lines);
}

}  // namespace

bool ApplyFileList(Machine& machine, const std::string& text, Scenario* scenario, std::string* error)
{
    std::stringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        number++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        size_t space = line.find(' ');
        std::string kind = line.substr(0, space);
        std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (kind == "watch") {
            scenario->watch.push_back(rest);
            continue;
        }
        if (kind == "windir") {
            machine.windowsDirectory = rest;
            continue;
        }
        size_t second = rest.find(' ');
        bool ok = false;
        DWORD attributes = second == std::string::npos ? 0 : ParseAttributes(rest.substr(0, second), &ok);
        std::string path = second == std::string::npos ? "" : rest.substr(second + 1);
        if (!ok || !FileSystem::Split(path).valid || (kind != "dir" && kind != "file" && kind != "locked")) {
            *error = "files.txt line " + std::to_string(number) + ": cannot read \"" + line + "\"";
            return false;
        }
        if (kind == "dir") {
            machine.files.AddDirectory(path, attributes | FILE_ATTRIBUTE_DIRECTORY);
        } else {
            machine.files.AddFile(path, "leftover\r\n", attributes);
            machine.files.Lock(path, kind == "locked");
        }
    }
    return true;
}

bool LoadScenario(Machine& machine, const std::string& directory, Scenario* scenario, std::string* error)
{
    std::string text;
    if (ReadFile(directory + "/registry.reg", &text))
        machine.registry.Import(text);
    if (ReadFile(directory + "/files.txt", &text) && !ApplyFileList(machine, text, scenario, error))
        return false;
    if (ReadFile(directory + "/args.txt", &text)) {
        std::stringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty())
                scenario->args.push_back(line);
        }
    }
    return true;
}

std::string WatchedTree(const Machine& machine, const std::vector<std::string>& watch)
{
    std::vector<std::string> lines;
    for (const std::string& root : watch) {
        const FileNode* node = machine.files.Find(root);
        if (!node)
            continue;
        // The root as stored, with the case it has on the machine.
        SplitPath split = FileSystem::Split(root);
        std::string path = std::string(1, split.drive) + ":";
        const FileNode* walk = machine.files.Find(path + "\\");
        for (const std::string& part : split.parts) {
            walk = walk->children.at(part).get();
            path += "\\" + walk->name;
        }
        CollectTree(node, path, &lines);
    }
    auto key = [](const std::string& line) { return Upper(line.substr(line.find(' ') + 1)); };
    std::sort(lines.begin(), lines.end(),
              [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

std::string TextModeBytes(const std::string& text)
{
    std::string bytes;
    for (char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

}  // namespace winsim
