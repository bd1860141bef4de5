// The simulated registry and the Reg* calls over it.
#include <cstring>
#include <sstream>

#include "winsim/machine.h"

namespace winsim {

namespace {

std::vector<std::string> SplitKeyPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// "HKLM\A\B" -> {"A","B"} below HKEY_LOCAL_MACHINE; HKCR maps to SOFTWARE\Classes.
bool RootRelative(const std::string& path, std::vector<std::string>* parts)
{
    std::vector<std::string> all = SplitKeyPath(path);
    std::string root = Upper(all[0]);
    all.erase(all.begin());
    while (!all.empty() && all.back().empty())
        all.pop_back();
    if (root == "HKEY_CLASSES_ROOT" || root == "HKCR") {
        all.insert(all.begin(), {"SOFTWARE", "Classes"});
    } else if (root != "HKEY_LOCAL_MACHINE" && root != "HKLM") {
        return false;
    }
    *parts = all;
    return true;
}

std::vector<BYTE> Bytes(const std::string& text, bool withNul)
{
    std::vector<BYTE> data(text.begin(), text.end());
    if (withNul)
        data.push_back(0);
    return data;
}

}  // namespace

RegValue* RegKeyNode::FindValue(const std::string& valueName)
{
    for (RegValue& value : values) {
        if (Upper(value.name) == Upper(valueName))
            return &value;
    }
    return nullptr;
}

void RegKeyNode::SetValue(const std::string& valueName, DWORD type, const std::vector<BYTE>& data)
{
    if (RegValue* existing = FindValue(valueName)) {
        existing->type = type;
        existing->data = data;
        return;
    }
    values.push_back(RegValue{valueName, type, data});
}

bool RegKeyNode::DeleteValue(const std::string& valueName)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (Upper(it->name) == Upper(valueName)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

RegKeyNode* RegKeyNode::FindSubkey(const std::string& subkeyName) const
{
    auto it = subkeys.find(subkeyName);
    return it == subkeys.end() ? nullptr : it->second.get();
}

std::string RegKeyNode::Path() const
{
    if (!parent)
        return "HKEY_LOCAL_MACHINE";
    return parent->Path() + "\\" + name;
}

Registry::Registry() : root_(std::make_shared<RegKeyNode>())
{
    root_->name = "HKEY_LOCAL_MACHINE";
}

RegKeyNode* Registry::Find(const std::string& path) const
{
    std::vector<std::string> parts;
    if (!RootRelative(path, &parts))
        return nullptr;
    RegKeyNode* node = root_.get();
    for (const std::string& part : parts) {
        node = node ? node->FindSubkey(part) : nullptr;
    }
    return node;
}

RegKeyNode* Registry::Create(const std::string& path)
{
    std::vector<std::string> parts;
    if (!RootRelative(path, &parts))
        return nullptr;
    RegKeyNode* node = root_.get();
    for (const std::string& part : parts) {
        RegKeyNode* child = node->FindSubkey(part);
        if (!child) {
            auto created = std::make_shared<RegKeyNode>();
            created->name = part;
            created->parent = node;
            child = created.get();
            node->subkeys.emplace(part, created);
        }
        node = child;
    }
    return node;
}

static void MarkDeleted(RegKeyNode* node)
{
    node->deleted = true;
    for (auto& child : node->subkeys)
        MarkDeleted(child.second.get());
}

bool Registry::Delete(const std::string& path)
{
    RegKeyNode* node = Find(path);
    if (!node || !node->parent)
        return false;
    MarkDeleted(node);
    node->parent->subkeys.erase(node->name);
    return true;
}

void Registry::SetValue(const std::string& path, const std::string& name, DWORD type, const std::vector<BYTE>& data)
{
    Create(path)->SetValue(name, type, data);
}

void Registry::SetString(const std::string& path, const std::string& name, const std::string& value, DWORD type)
{
    SetValue(path, name, type, Bytes(value, true));
}

void Registry::SetDword(const std::string& path, const std::string& name, DWORD value)
{
    std::vector<BYTE> data(4);
    for (int i = 0; i < 4; i++)
        data[i] = static_cast<BYTE>(value >> (8 * i));
    SetValue(path, name, REG_DWORD, data);
}

void Registry::SetMultiString(const std::string& path, const std::string& name,
                              const std::vector<std::string>& entries)
{
    std::vector<BYTE> data;
    for (const std::string& entry : entries) {
        data.insert(data.end(), entry.begin(), entry.end());
        data.push_back(0);
    }
    data.push_back(0);
    SetValue(path, name, REG_MULTI_SZ, data);
}

const RegValue* Registry::GetValue(const std::string& path, const std::string& name) const
{
    RegKeyNode* key = Find(path);
    return key ? key->FindValue(name) : nullptr;
}

std::string Registry::GetString(const std::string& path, const std::string& name) const
{
    const RegValue* value = GetValue(path, name);
    if (!value)
        return "";
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

std::vector<std::string> Registry::GetMultiString(const std::string& path, const std::string& name) const
{
    std::vector<std::string> entries;
    const RegValue* value = GetValue(path, name);
    if (!value)
        return entries;
    // Entries end at each NUL; the list ends at an empty entry that is the last one.
    std::string current;
    const std::vector<BYTE>& d = value->data;
    for (size_t i = 0; i < d.size(); i++) {
        if (d[i] != 0) {
            current += static_cast<char>(d[i]);
            continue;
        }
        bool finalTerminator = current.empty() && i + 1 == d.size();
        if (!finalTerminator)
            entries.push_back(current);
        current.clear();
    }
    if (!current.empty())
        entries.push_back(current);
    return entries;
}

RegKeyNode* Registry::RootFor(HKEY key) const
{
    if (key == HKEY_LOCAL_MACHINE)
        return root_.get();
    if (key == HKEY_CLASSES_ROOT)
        return Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
    return nullptr;
}

// ---------------------------------------------------------------- .reg text

namespace {

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(const std::string& text, size_t* pos, std::string* out)
{
    if (*pos >= text.size() || text[*pos] != '"')
        return false;
    out->clear();
    for (size_t i = *pos + 1; i < text.size(); i++) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char n = text[++i];
            *out += (n == 'n') ? '\n' : (n == 'r') ? '\r' : (n == '0') ? '\0' : n;
        } else if (c == '"') {
            *pos = i + 1;
            return true;
        } else {
            *out += c;
        }
    }
    return false;
}

std::vector<BYTE> ParseHex(const std::string& text)
{
    std::vector<BYTE> data;
    std::stringstream in(text);
    std::string byte;
    while (std::getline(in, byte, ',')) {
        byte = Trim(byte);
        if (!byte.empty())
            data.push_back(static_cast<BYTE>(std::stoul(byte, nullptr, 16)));
    }
    return data;
}

// The version 5 format stores string-typed hex data as UTF-16LE; the A calls see narrow text.
std::vector<BYTE> Utf16ToNarrow(const std::vector<BYTE>& wide)
{
    std::vector<BYTE> narrow;
    for (size_t i = 0; i + 1 < wide.size(); i += 2) {
        unsigned code = wide[i] | (wide[i + 1] << 8);
        narrow.push_back(code < 256 ? static_cast<BYTE>(code) : '?');
    }
    return narrow;
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

void AppendHex(std::string* out, const std::string& prefix, const std::vector<BYTE>& data)
{
    std::string line = prefix;
    char byte[4];
    for (size_t i = 0; i < data.size(); i++) {
        snprintf(byte, sizeof byte, "%02x", data[i]);
        line += byte;
        if (i + 1 < data.size()) {
            line += ',';
            // regedit wraps long hex data into continuation lines.
            if (line.size() > 76) {
                *out += line + "\\\n";
                line = "  ";
            }
        }
    }
    *out += line + "\n";
}

void ExportKey(const RegKeyNode* key, std::string* out)
{
    *out += "[" + key->Path() + "]\n";
    for (const RegValue& value : key->values) {
        std::string name = value.name.empty() ? "@" : Quote(value.name);
        std::string text(value.data.begin(), value.data.end());
        bool terminated = !value.data.empty() && value.data.back() == 0;
        if (value.type == REG_SZ && terminated && text.find('\0') == text.size() - 1) {
            *out += name + "=" + Quote(text.substr(0, text.size() - 1)) + "\n";
        } else if (value.type == REG_DWORD && value.data.size() == 4) {
            char dword[16];
            DWORD v = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) | (DWORD(value.data[3]) << 24);
            snprintf(dword, sizeof dword, "dword:%08x", v);
            *out += name + "=" + dword + "\n";
        } else {
            std::vector<BYTE> data = value.data;
            if (IsStringType(value.type)) {
                std::vector<BYTE> wide;
                for (BYTE b : value.data) {
                    wide.push_back(b);
                    wide.push_back(0);
                }
                data = wide;
            }
            char prefix[16];
            if (value.type == REG_BINARY)
                snprintf(prefix, sizeof prefix, "hex:");
            else
                snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
            AppendHex(out, name + "=" + prefix, data);
        }
    }
    *out += "\n";
    for (const auto& child : key->subkeys)
        ExportKey(child.second.get(), out);
}

}  // namespace

void Registry::Import(const std::string& regText)
{
    // Join continuation lines first.
    std::vector<std::string> lines;
    std::stringstream in(regText);
    std::string line, pending;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed.back() == '\\' && trimmed.find('=') != std::string::npos &&
            trimmed.find("=hex") != std::string::npos) {
            pending += trimmed.substr(0, trimmed.size() - 1);
            continue;
        }
        if (!pending.empty()) {
            if (!trimmed.empty() && trimmed.back() == '\\') {
                pending += trimmed.substr(0, trimmed.size() - 1);
                continue;
            }
            lines.push_back(pending + trimmed);
            pending.clear();
            continue;
        }
        lines.push_back(trimmed);
    }
    if (!pending.empty())
        lines.push_back(pending);

    std::string currentKey;
    for (const std::string& l : lines) {
        if (l.empty() || l[0] == ';' || l == "REGEDIT4" || l.rfind("Windows Registry Editor", 0) == 0)
            continue;
        if (l[0] == '[') {
            std::string path = l.substr(1, l.rfind(']') - 1);
            if (!path.empty() && path[0] == '-') {
                Delete(path.substr(1));
                currentKey.clear();
            } else {
                currentKey = path;
                Create(path);
            }
            continue;
        }
        if (currentKey.empty())
            continue;
        std::string name;
        size_t pos = 0;
        if (l[0] == '@') {
            pos = 1;
        } else if (!ReadQuoted(l, &pos, &name)) {
            continue;
        }
        if (pos >= l.size() || l[pos] != '=')
            continue;
        std::string data = l.substr(pos + 1);
        if (data == "-") {
            if (RegKeyNode* key = Find(currentKey))
                key->DeleteValue(name);
        } else if (data[0] == '"') {
            std::string text;
            size_t p = 0;
            if (ReadQuoted(data, &p, &text))
                SetString(currentKey, name, text);
        } else if (data.rfind("dword:", 0) == 0) {
            SetDword(currentKey, name, static_cast<DWORD>(std::stoul(data.substr(6), nullptr, 16)));
        } else if (data.rfind("hex:", 0) == 0) {
            SetValue(currentKey, name, REG_BINARY, ParseHex(data.substr(4)));
        } else if (data.rfind("hex(", 0) == 0) {
            size_t close = data.find("):");
            DWORD type = static_cast<DWORD>(std::stoul(data.substr(4, close - 4), nullptr, 16));
            std::vector<BYTE> bytes = ParseHex(data.substr(close + 2));
            if (IsStringType(type))
                bytes = Utf16ToNarrow(bytes);
            SetValue(currentKey, name, type, bytes);
        }
    }
}

std::string Registry::Export(const std::string& path) const
{
    std::string out = "Windows Registry Editor Version 5.00\n\n";
    if (RegKeyNode* key = Find(path))
        ExportKey(key, &out);
    return out;
}

}  // namespace winsim

// ---------------------------------------------------------------- Reg* calls

using winsim::Current;
using winsim::Handle;
using winsim::RegKeyNode;

namespace {

// The key behind a handle: a root, or an open key. Sets *code when unusable.
RegKeyNode* KeyOf(HKEY key, LSTATUS* code)
{
    winsim::Machine& m = Current();
    if (RegKeyNode* root = m.registry.RootFor(key))
        return root;
    Handle* handle = m.GetHandle(reinterpret_cast<uintptr_t>(key));
    if (!handle || handle->kind != Handle::RegistryKey) {
        *code = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (handle->key->deleted) {
        *code = ERROR_KEY_DELETED;
        return nullptr;
    }
    return handle->key.get();
}

std::shared_ptr<RegKeyNode> SharedOf(RegKeyNode* node)
{
    if (!node->parent)
        return std::shared_ptr<RegKeyNode>(std::shared_ptr<RegKeyNode>(), node);
    return node->parent->subkeys.at(node->name);
}

// Walks a relative path. The configuration manager skips a run of backslashes
// between or after names as one separator; a leading one is a syntax error, except
// below HKEY_CLASSES_ROOT, which accepts it.
LSTATUS Walk(HKEY key, RegKeyNode* start, const char* subKey, RegKeyNode** result)
{
    RegKeyNode* node = start;
    std::string path = subKey ? subKey : "";
    if (!path.empty() && path[0] == '\\' && key != HKEY_CLASSES_ROOT)
        return ERROR_BAD_PATHNAME;
    std::string part;
    for (char c : path + "\\") {
        if (c != '\\') {
            part += c;
            continue;
        }
        if (part.empty())
            continue;
        node = node->FindSubkey(part);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
        part.clear();
    }
    *result = node;
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    winsim::Machine& m = Current();
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (!key)
        return ERROR_INVALID_HANDLE;  // refused before the result is touched
    *result = nullptr;  // as on Windows, a failed open leaves a null handle
    LSTATUS code = ERROR_SUCCESS;
    RegKeyNode* start = KeyOf(key, &code);
    if (!start)
        return code;
    if (DWORD fault = m.TakeFault("RegOpenKeyExA", subKey ? subKey : ""))
        return static_cast<LSTATUS>(fault);
    RegKeyNode* node = nullptr;
    code = Walk(key, start, subKey, &node);
    if (code != ERROR_SUCCESS)
        return code;
    Handle handle{Handle::RegistryKey, SharedOf(node), {}, 0};
    *result = reinterpret_cast<HKEY>(m.AddHandle(handle));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key)
{
    winsim::Machine& m = Current();
    if (m.registry.RootFor(key))
        return ERROR_SUCCESS;
    Handle* handle = m.GetHandle(reinterpret_cast<uintptr_t>(key));
    if (!handle || handle->kind != Handle::RegistryKey)
        return ERROR_INVALID_HANDLE;
    m.CloseHandleValue(reinterpret_cast<uintptr_t>(key));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize)
{
    LSTATUS code = ERROR_SUCCESS;
    RegKeyNode* node = KeyOf(key, &code);
    if (!node)
        return code;
    if (reserved || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    if (DWORD fault = Current().TakeFault("RegQueryValueExA", valueName ? valueName : ""))
        return static_cast<LSTATUS>(fault);
    winsim::RegValue* value = node->FindValue(valueName ? valueName : "");
    if (!value) {
        // Asked for the size alone, Windows answers zero for a missing value.
        if (!data && dataSize)
            *dataSize = 0;
        return ERROR_FILE_NOT_FOUND;
    }
    if (type)
        *type = value->type;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (data) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        memcpy(data, value->data.data(), size);
    }
    if (dataSize)
        *dataSize = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR, LPDWORD,
                             FILETIME* lastWriteTime)
{
    LSTATUS code = ERROR_SUCCESS;
    RegKeyNode* node = KeyOf(key, &code);
    if (!node)
        return code;
    if (reserved || !name || !nameSize)
        return ERROR_INVALID_PARAMETER;
    if (DWORD fault = Current().TakeFault("RegEnumKeyExA", node->Path()))
        return static_cast<LSTATUS>(fault);
    if (index >= node->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    auto it = node->subkeys.begin();
    std::advance(it, index);
    const std::string& subkeyName = it->second->name;
    if (subkeyName.size() >= *nameSize)
        return ERROR_MORE_DATA;
    memcpy(name, subkeyName.c_str(), subkeyName.size() + 1);
    *nameSize = static_cast<DWORD>(subkeyName.size());
    if (lastWriteTime)
        *lastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize)
{
    LSTATUS code = ERROR_SUCCESS;
    RegKeyNode* node = KeyOf(key, &code);
    if (!node)
        return code;
    if (reserved || !name || !nameSize || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    if (DWORD fault = Current().TakeFault("RegEnumValueA", node->Path()))
        return static_cast<LSTATUS>(fault);
    if (index >= node->values.size())
        return ERROR_NO_MORE_ITEMS;
    const winsim::RegValue& value = node->values[index];
    DWORD size = static_cast<DWORD>(value.data.size());
    // Type and data size come back even when the name or the data does not fit;
    // the name, its length and the data are written only when both fit.
    if (type)
        *type = value.type;
    if (value.name.size() >= *nameSize || (data && *dataSize < size)) {
        if (dataSize)
            *dataSize = size;
        return ERROR_MORE_DATA;
    }
    memcpy(name, value.name.c_str(), value.name.size() + 1);
    *nameSize = static_cast<DWORD>(value.name.size());
    if (data)
        memcpy(data, value.data.data(), size);
    if (dataSize)
        *dataSize = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    LSTATUS code = ERROR_SUCCESS;
    RegKeyNode* node = KeyOf(key, &code);
    if (!node)
        return code;
    if (reserved || (!data && size))
        return ERROR_INVALID_PARAMETER;
    if (DWORD fault = Current().TakeFault("RegSetValueExA", valueName ? valueName : ""))
        return static_cast<LSTATUS>(fault);
    std::string name = valueName ? valueName : "";
    node->SetValue(name, type, std::vector<BYTE>(data, data + size));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName)
{
    LSTATUS code = ERROR_SUCCESS;
    RegKeyNode* node = KeyOf(key, &code);
    if (!node)
        return code;
    std::string name = valueName ? valueName : "";
    if (DWORD fault = Current().TakeFault("RegDeleteValueA", name))
        return static_cast<LSTATUS>(fault);
    return node->DeleteValue(name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI SHDeleteKeyA(HKEY key, LPCSTR subKey)
{
    LSTATUS code = ERROR_SUCCESS;
    RegKeyNode* start = KeyOf(key, &code);
    if (!start)
        return code;
    if (DWORD fault = Current().TakeFault("SHDeleteKeyA", subKey ? subKey : ""))
        return static_cast<LSTATUS>(fault);
    RegKeyNode* node = nullptr;
    code = Walk(key, start, subKey, &node);
    if (code != ERROR_SUCCESS)
        return code;
    if (!node->parent)
        return ERROR_ACCESS_DENIED;
    std::string path = node->Path();
    Current().registry.Delete(path);
    return ERROR_SUCCESS;
}
