#include "winsim/machine.h"

#include <cctype>

namespace winsim {

const char* const kSessionManagerKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::string Upper(const std::string& text)
{
    std::string result = text;
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

Machine::Machine()
{
    registry.Create(kSessionManagerKey);
    registry.Create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
    registry.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       "C:\\Program Files");
    registry.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                       "Common Programs", "C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    files.AddDirectory("C:\\WINDOWS\\system32\\drivers");
    files.AddDirectory("C:\\Program Files");
    files.AddDirectory("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
}

void Machine::FailCall(const std::string& call, DWORD code, const std::string& argument, int times)
{
    faults.push_back(Fault{call, argument, code, times});
}

DWORD Machine::TakeFault(const std::string& call, const std::string& argument)
{
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->call != call)
            continue;
        if (!it->argument.empty() && Upper(argument).find(Upper(it->argument)) == std::string::npos)
            continue;
        DWORD code = it->code;
        if (it->remaining > 0 && --it->remaining == 0)
            faults.erase(it);
        return code;
    }
    return 0;
}

std::vector<std::string> Machine::PendingFileRenames() const
{
    return registry.GetMultiString(kSessionManagerKey, "PendingFileRenameOperations");
}

void Machine::Restart()
{
    // Pairs of source and target; an empty target deletes the source.
    std::vector<std::string> pending = PendingFileRenames();
    for (size_t i = 0; i + 1 < pending.size(); i += 2) {
        std::string source = pending[i];
        if (source.rfind("\\??\\", 0) == 0)
            source = source.substr(4);
        if (!pending[i + 1].empty())
            continue;
        std::string leaf;
        FileNode* parent = files.FindParent(source, &leaf);
        if (!parent)
            continue;
        auto child = parent->children.find(leaf);
        if (child != parent->children.end() && (!child->second->directory || child->second->children.empty()))
            parent->children.erase(child);
    }
    if (RegKeyNode* key = registry.Find(kSessionManagerKey))
        key->DeleteValue("PendingFileRenameOperations");
    // Every process is gone after a restart, and so is every lock.
    std::vector<FileNode*> stack;
    for (char drive = 'A'; drive <= 'Z'; drive++) {
        if (FileNode* root = files.Find(std::string(1, drive) + ":\\"))
            stack.push_back(root);
    }
    while (!stack.empty()) {
        FileNode* node = stack.back();
        stack.pop_back();
        node->locked = false;
        for (auto& child : node->children)
            stack.push_back(child.second.get());
    }
    handles_.clear();
}

uintptr_t Machine::AddHandle(Handle handle)
{
    uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    handles_.emplace(value, std::move(handle));
    return value;
}

Handle* Machine::GetHandle(uintptr_t value)
{
    auto it = handles_.find(value);
    return it == handles_.end() ? nullptr : &it->second;
}

bool Machine::CloseHandleValue(uintptr_t value)
{
    return handles_.erase(value) != 0;
}

static std::unique_ptr<Machine> g_machine = std::make_unique<Machine>();

Machine& Current()
{
    return *g_machine;
}

void Reset()
{
    g_machine = std::make_unique<Machine>();
}

}  // namespace winsim
