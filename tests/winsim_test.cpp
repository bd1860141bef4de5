#include <gtest/gtest.h>

#include "platform/win32.h"
#include "winsim/machine.h"
#include "winsim/scenario.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

// Conformance of the simulated machine with the Win32 calls it stands in for.
// Every call starts with a poisoned last error and poisoned out-parameters, so a
// row also shows what the call must leave alone.

namespace {

using Bytes = std::vector<BYTE>;
using Names = std::vector<std::string>;

constexpr DWORD kPoison = 0xdeadbeef;
constexpr BYTE kFill = 0xcc;
HKEY const kPoisonKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5a5a5a50));

// The bytes of a literal that may hold NULs, without the literal's own terminator.
template <size_t N>
Bytes B(const char (&text)[N])
{
    return Bytes(text, text + N - 1);
}

Bytes B(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

class WinsimTest : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
    winsim::Machine& M() { return winsim::Current(); }

    // Opens a key below HKEY_LOCAL_MACHINE through the API, failing the test when it cannot.
    HKEY Open(const char* subKey, HKEY root = HKEY_LOCAL_MACHINE)
    {
        HKEY key = kPoisonKey;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &key)) << subKey;
        return key;
    }

    struct Value {
        LSTATUS code = 0;
        DWORD type = kPoison;
        Bytes data;
    };
    // One value read through RegQueryValueExA with a generous buffer.
    Value Query(HKEY key, const char* name)
    {
        Value value;
        BYTE buffer[512];
        DWORD size = sizeof buffer;
        value.code = RegQueryValueExA(key, name, nullptr, &value.type, buffer, &size);
        if (value.code == ERROR_SUCCESS)
            value.data.assign(buffer, buffer + size);
        return value;
    }

    // Every name a find handle yields, first to last, and the error that ended the listing.
    Names List(const char* pattern, DWORD* endError)
    {
        Names names;
        WIN32_FIND_DATAA data;
        memset(&data, kFill, sizeof data);
        SetLastError(kPoison);
        HANDLE find = FindFirstFileA(pattern, &data);
        if (find == INVALID_HANDLE_VALUE) {
            *endError = GetLastError();
            EXPECT_EQ(kFill, static_cast<BYTE>(data.cFileName[0])) << "a failed search wrote its output";
            return names;
        }
        do {
            names.push_back(data.cFileName);
            memset(&data, kFill, sizeof data);
            SetLastError(kPoison);
        } while (FindNextFileA(find, &data));
        *endError = GetLastError();
        EXPECT_EQ(kFill, static_cast<BYTE>(data.cFileName[0])) << "the end of a search wrote its output";
        EXPECT_TRUE(FindClose(find));
        return names;
    }
};

// ================================================================ registry

class WinsimRegistry : public WinsimTest {};

TEST_F(WinsimRegistry, OpenKeyExResolvesSubkeyPaths)
{
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest", "Id", "pelltest");
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest\\Inner", "Id", "inner");
    M().registry.SetString("HKLM\\SOFTWARE\\Classes\\.pell", "Id", "classes");
    enum Outcome { Opened, NullResult, Untouched };
    struct Case {
        const char* label;
        HKEY root;
        const char* subKey;
        LSTATUS code;
        Outcome outcome;
        const char* id;
    } cases[] = {
        {"exact case", HKEY_LOCAL_MACHINE, "SOFTWARE\\Pelltest", ERROR_SUCCESS, Opened, "pelltest"},
        {"other case", HKEY_LOCAL_MACHINE, "software\\PELLTEST\\inner", ERROR_SUCCESS, Opened, "inner"},
        {"one trailing backslash", HKEY_LOCAL_MACHINE, "SOFTWARE\\Pelltest\\", ERROR_SUCCESS, Opened, "pelltest"},
        {"two trailing backslashes", HKEY_LOCAL_MACHINE, "SOFTWARE\\Pelltest\\\\", ERROR_SUCCESS, Opened,
         "pelltest"},
        {"doubled separator", HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Pelltest\\Inner", ERROR_SUCCESS, Opened, "inner"},
        {"missing leaf", HKEY_LOCAL_MACHINE, "SOFTWARE\\Pelltest\\Nope", ERROR_FILE_NOT_FOUND, NullResult, nullptr},
        {"missing middle", HKEY_LOCAL_MACHINE, "SOFTWARE\\Nope\\Inner", ERROR_FILE_NOT_FOUND, NullResult, nullptr},
        {"value name is not a key", HKEY_LOCAL_MACHINE, "SOFTWARE\\Pelltest\\Id", ERROR_FILE_NOT_FOUND, NullResult,
         nullptr},
        {"leading backslash", HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Pelltest", ERROR_BAD_PATHNAME, NullResult, nullptr},
        {"classes root", HKEY_CLASSES_ROOT, ".PELL", ERROR_SUCCESS, Opened, "classes"},
        {"classes root takes a leading backslash", HKEY_CLASSES_ROOT, "\\.pell", ERROR_SUCCESS, Opened, "classes"},
        {"classes root, missing", HKEY_CLASSES_ROOT, "Pelltest", ERROR_FILE_NOT_FOUND, NullResult, nullptr},
        {"null root", nullptr, "SOFTWARE", ERROR_INVALID_HANDLE, Untouched, nullptr},
    };
    const size_t handlesBefore = M().OpenHandleCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HKEY key = kPoisonKey;
        SetLastError(kPoison);
        EXPECT_EQ(c.code, RegOpenKeyExA(c.root, c.subKey, 0, KEY_READ, &key));
        EXPECT_EQ(kPoison, GetLastError()) << "registry calls return their error, they do not set it";
        if (c.outcome == NullResult) {
            EXPECT_EQ(nullptr, key);
        }
        if (c.outcome == Untouched) {
            EXPECT_EQ(kPoisonKey, key);
        }
        if (c.outcome == Opened) {
            ASSERT_NE(kPoisonKey, key);
            EXPECT_EQ(B(std::string(c.id) + '\0'), Query(key, "ID").data);
            EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
        }
        EXPECT_EQ(handlesBefore, M().OpenHandleCount());
    }
}

TEST_F(WinsimRegistry, NamesAreCaseInsensitiveAndKeepTheirCase)
{
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest\\MixedCase", "ValueName", "one");
    HKEY parent = Open("SOFTWARE\\PELLTEST");
    char name[32];
    DWORD nameSize = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(parent, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("MixedCase", name);
    EXPECT_EQ(9u, nameSize);

    HKEY key = Open("software\\pelltest\\MIXEDCASE");
    // Writing under another spelling replaces the value in place and keeps its name.
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "VALUENAME", 0, REG_SZ, reinterpret_cast<const BYTE*>("two"), 4));
    const winsim::RegKeyNode* node = M().registry.Find("HKLM\\SOFTWARE\\Pelltest\\MixedCase");
    ASSERT_NE(nullptr, node);
    ASSERT_EQ(1u, node->values.size());
    EXPECT_EQ("ValueName", node->values[0].name);
    EXPECT_EQ(B("two\0"), node->values[0].data);
    EXPECT_EQ(B("two\0"), Query(key, "valuename").data);

    nameSize = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("ValueName", name);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(parent));
}

TEST_F(WinsimRegistry, QueryValueExReportsSizes)
{
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest", "Str", "hello");
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest", "", "dflt");
    M().registry.SetDword("HKLM\\SOFTWARE\\Pelltest", "Num", 0x01020304);
    struct Case {
        const char* label;
        const char* name;
        bool buffer;
        DWORD size;
        LSTATUS code;
        DWORD sizeAfter;
        DWORD type;  // kPoison: not looked at
        Bytes data;  // written on success; on not-found the buffer stays filled
    } cases[] = {
        {"size only", "Str", false, kPoison, ERROR_SUCCESS, 6, REG_SZ, {}},
        {"exact buffer", "STR", true, 6, ERROR_SUCCESS, 6, REG_SZ, B("hello\0")},
        {"large buffer", "str", true, 64, ERROR_SUCCESS, 6, REG_SZ, B("hello\0")},
        {"one byte short", "Str", true, 5, ERROR_MORE_DATA, 6, kPoison, {}},
        {"empty buffer", "Str", true, 0, ERROR_MORE_DATA, 6, kPoison, {}},
        {"dword", "Num", true, 4, ERROR_SUCCESS, 4, REG_DWORD, B("\x04\x03\x02\x01")},
        {"default value by null name", nullptr, true, 64, ERROR_SUCCESS, 5, REG_SZ, B("dflt\0")},
        {"default value by empty name", "", true, 64, ERROR_SUCCESS, 5, REG_SZ, B("dflt\0")},
        {"missing, size only", "Nope", false, kPoison, ERROR_FILE_NOT_FOUND, 0, kPoison, {}},
        {"missing, with buffer", "Nope", true, 64, ERROR_FILE_NOT_FOUND, 64, kPoison, {}},
    };
    HKEY key = Open("SOFTWARE\\Pelltest");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        BYTE buffer[64];
        memset(buffer, kFill, sizeof buffer);
        DWORD type = kPoison;
        DWORD size = c.size;
        SetLastError(kPoison);
        EXPECT_EQ(c.code, RegQueryValueExA(key, c.name, nullptr, &type, c.buffer ? buffer : nullptr, &size));
        EXPECT_EQ(kPoison, GetLastError());
        EXPECT_EQ(c.sizeAfter, size);
        if (c.type != kPoison) {
            EXPECT_EQ(c.type, type);
        }
        if (c.code == ERROR_SUCCESS && c.buffer) {
            EXPECT_EQ(c.data, Bytes(buffer, buffer + size));
            EXPECT_EQ(kFill, buffer[size]) << "wrote past the data";
        }
        if (c.code == ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(kFill, buffer[0]);
        }
    }
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(WinsimRegistry, EnumValueWritesNameAndDataOnlyWhenBothFit)
{
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest", "Test", "foobar");
    struct Case {
        const char* label;
        DWORD index;
        DWORD nameSize;
        bool data;
        DWORD dataSize;
        LSTATUS code;
        DWORD nameSizeAfter;
        DWORD dataSizeAfter;
        bool written;  // name and data written
    } cases[] = {
        {"both fit", 0, 20, true, 20, ERROR_SUCCESS, 4, 7, true},
        {"both fit exactly", 0, 5, true, 7, ERROR_SUCCESS, 4, 7, true},
        {"size only", 0, 20, false, 0, ERROR_SUCCESS, 4, 7, true},
        {"name one short", 0, 4, true, 20, ERROR_MORE_DATA, 4, 7, false},
        {"data too small", 0, 20, true, 2, ERROR_MORE_DATA, 20, 7, false},
        {"both too small", 0, 2, true, 2, ERROR_MORE_DATA, 2, 7, false},
        {"past the end", 1, 20, true, 20, ERROR_NO_MORE_ITEMS, 20, 20, false},
    };
    HKEY key = Open("SOFTWARE\\Pelltest");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        char name[32];
        BYTE data[32];
        memset(name, kFill, sizeof name);
        memset(data, kFill, sizeof data);
        DWORD nameSize = c.nameSize;
        DWORD dataSize = c.dataSize;
        DWORD type = kPoison;
        SetLastError(kPoison);
        EXPECT_EQ(c.code, RegEnumValueA(key, c.index, name, &nameSize, nullptr, &type, c.data ? data : nullptr,
                                        &dataSize));
        EXPECT_EQ(kPoison, GetLastError());
        EXPECT_EQ(c.nameSizeAfter, nameSize);
        EXPECT_EQ(c.dataSizeAfter, dataSize);
        EXPECT_EQ(c.code == ERROR_NO_MORE_ITEMS ? kPoison : DWORD(REG_SZ), type);
        if (c.written) {
            EXPECT_STREQ("Test", name);
        } else {
            EXPECT_EQ(kFill, static_cast<BYTE>(name[0]));
        }
        if (c.written && c.data) {
            EXPECT_EQ(B("foobar\0"), Bytes(data, data + 7));
        } else {
            EXPECT_EQ(kFill, data[0]);
        }
    }
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(WinsimRegistry, EnumKeyExNeedsRoomForTheTerminator)
{
    M().registry.Create("HKLM\\SOFTWARE\\Pelltest\\Abc");
    struct Case {
        const char* label;
        DWORD index;
        DWORD nameSize;
        LSTATUS code;
        DWORD nameSizeAfter;
    } cases[] = {
        {"room for the terminator", 0, 4, ERROR_SUCCESS, 3},
        {"no room for the terminator", 0, 3, ERROR_MORE_DATA, 3},
        {"past the end", 1, 32, ERROR_NO_MORE_ITEMS, 32},
    };
    HKEY key = Open("SOFTWARE\\Pelltest");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        char name[32];
        memset(name, kFill, sizeof name);
        DWORD nameSize = c.nameSize;
        SetLastError(kPoison);
        EXPECT_EQ(c.code, RegEnumKeyExA(key, c.index, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(kPoison, GetLastError());
        EXPECT_EQ(c.nameSizeAfter, nameSize);
        if (c.code == ERROR_SUCCESS) {
            EXPECT_STREQ("Abc", name);
        } else {
            EXPECT_EQ(kFill, static_cast<BYTE>(name[0]));
        }
    }
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(WinsimRegistry, SubkeysEnumerateInNameOrderValuesInCreationOrder)
{
    const char* const path = "HKLM\\SOFTWARE\\Pelltest";
    for (const char* sub : {"b", "A_x", "ab", "a1", "Zz"})
        M().registry.Create(std::string(path) + "\\" + sub);
    for (const char* value : {"zeta", "Alpha", "mid"})
        M().registry.SetDword(path, value, 1);

    HKEY key = Open("SOFTWARE\\Pelltest");
    Names subkeys, values;
    char name[32];
    DWORD nameSize = sizeof name;
    for (DWORD i = 0; RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         i++, nameSize = sizeof name)
        subkeys.push_back(name);
    for (DWORD i = 0; RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         i++, nameSize = sizeof name)
        values.push_back(name);
    // Upper-cased comparison: '_' (0x5f) sorts after the letters.
    EXPECT_EQ((Names{"a1", "ab", "A_x", "b", "Zz"}), subkeys);
    EXPECT_EQ((Names{"zeta", "Alpha", "mid"}), values);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(WinsimRegistry, DeletingAtAnIndexMovesTheNextEntryThere)
{
    const char* const path = "HKLM\\SOFTWARE\\Pelltest";
    for (const char* sub : {"k1", "k2", "k3"})
        M().registry.Create(std::string(path) + "\\" + sub);
    for (const char* value : {"v1", "v2", "v3"})
        M().registry.SetString(path, value, value);

    // The cleanup pattern: read index 0, delete it, read index 0 again.
    HKEY key = Open("SOFTWARE\\Pelltest");
    Names deletedValues, deletedKeys;
    char name[32];
    DWORD nameSize = sizeof name;
    while (RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, name));
        deletedValues.push_back(name);
        nameSize = sizeof name;
        ASSERT_LE(deletedValues.size(), 3u);
    }
    nameSize = sizeof name;
    while (RegEnumKeyExA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        ASSERT_EQ(ERROR_SUCCESS, SHDeleteKeyA(key, name));
        deletedKeys.push_back(name);
        nameSize = sizeof name;
        ASSERT_LE(deletedKeys.size(), 3u);
    }
    EXPECT_EQ((Names{"v1", "v2", "v3"}), deletedValues);
    EXPECT_EQ((Names{"k1", "k2", "k3"}), deletedKeys);
    const winsim::RegKeyNode* node = M().registry.Find(path);
    ASSERT_NE(nullptr, node);
    EXPECT_TRUE(node->values.empty());
    EXPECT_TRUE(node->subkeys.empty());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(WinsimRegistry, DeleteValue)
{
    const char* const path = "HKLM\\SOFTWARE\\Pelltest";
    struct Case {
        const char* label;
        const char* name;
        LSTATUS code;
        const char* gone;  // stored name that must be gone afterwards
    } cases[] = {
        {"other case", "KEEPME", ERROR_SUCCESS, "KeepMe"},
        {"default value by null name", nullptr, ERROR_SUCCESS, ""},
        {"missing", "Nope", ERROR_FILE_NOT_FOUND, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        winsim::Reset();
        M().registry.SetString(path, "KeepMe", "x");
        M().registry.SetString(path, "", "d");
        M().registry.SetString(path, "Other", "o");
        HKEY key = Open("SOFTWARE\\Pelltest");
        SetLastError(kPoison);
        EXPECT_EQ(c.code, RegDeleteValueA(key, c.name));
        EXPECT_EQ(kPoison, GetLastError());
        EXPECT_TRUE(M().registry.HasValue(path, "Other"));
        EXPECT_EQ(c.gone ? 2u : 3u, M().registry.Find(path)->values.size());
        if (c.gone) {
            EXPECT_FALSE(M().registry.HasValue(path, c.gone));
        }
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    }
}

TEST_F(WinsimRegistry, DeletedKeyHandlesReportKeyDeleted)
{
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest\\Tree", "Top", "t");
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest\\Tree\\A\\B", "Leaf", "l");
    M().registry.Create("HKLM\\SOFTWARE\\Pelltest\\Tree\\A\\C");
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest\\Keep", "Stay", "s");
    const size_t handlesBefore = M().OpenHandleCount();
    HKEY tree = Open("SOFTWARE\\Pelltest\\Tree");
    HKEY leaf = Open("SOFTWARE\\Pelltest\\Tree\\A\\B");

    SetLastError(kPoison);
    EXPECT_EQ(ERROR_SUCCESS, SHDeleteKeyA(HKEY_LOCAL_MACHINE, "software\\pelltest\\TREE"));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_FALSE(M().registry.Exists("HKLM\\SOFTWARE\\Pelltest\\Tree"));
    EXPECT_TRUE(M().registry.HasValue("HKLM\\SOFTWARE\\Pelltest\\Keep", "Stay"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Pelltest\\Tree"));

    // A key of the same name made afterwards is another key: the old handles stay dead.
    M().registry.SetString("HKLM\\SOFTWARE\\Pelltest\\Tree", "Top", "new");
    char name[32];
    DWORD size = sizeof name;
    const BYTE one[] = {1, 0, 0, 0};
    struct Case {
        const char* label;
        std::function<LSTATUS(HKEY)> call;
    } cases[] = {
        {"RegQueryValueExA", [&](HKEY k) { return RegQueryValueExA(k, "Top", nullptr, nullptr, nullptr, &size); }},
        {"RegSetValueExA", [&](HKEY k) { return RegSetValueExA(k, "New", 0, REG_DWORD, one, 4); }},
        {"RegDeleteValueA", [&](HKEY k) { return RegDeleteValueA(k, "Top"); }},
        {"RegEnumKeyExA",
         [&](HKEY k) { return RegEnumKeyExA(k, 0, name, &size, nullptr, nullptr, nullptr, nullptr); }},
        {"RegEnumValueA", [&](HKEY k) { return RegEnumValueA(k, 0, name, &size, nullptr, nullptr, nullptr, nullptr); }},
        {"RegOpenKeyExA below it",
         [&](HKEY k) {
             HKEY sub = kPoisonKey;
             return RegOpenKeyExA(k, "A", 0, KEY_READ, &sub);
         }},
        {"SHDeleteKeyA below it", [&](HKEY k) { return SHDeleteKeyA(k, "A"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        for (HKEY stale : {tree, leaf}) {
            size = sizeof name;
            SetLastError(kPoison);
            EXPECT_EQ(ERROR_KEY_DELETED, c.call(stale));
            EXPECT_EQ(kPoison, GetLastError());
        }
    }
    EXPECT_EQ(B("new\0"), M().registry.GetValue("HKLM\\SOFTWARE\\Pelltest\\Tree", "Top")->data);
    EXPECT_FALSE(M().registry.HasValue("HKLM\\SOFTWARE\\Pelltest\\Tree", "New"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(tree));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(leaf));
    EXPECT_EQ(handlesBefore, M().OpenHandleCount());
}

TEST_F(WinsimRegistry, CloseKeyAcceptsOnlyOpenKeyHandles)
{
    M().files.AddFile("C:\\T\\f.txt");
    const size_t handlesBefore = M().OpenHandleCount();
    HKEY a = Open("SOFTWARE");
    HKEY b = Open("SOFTWARE");
    EXPECT_NE(a, b) << "each open gives its own handle";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\T\\*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_EQ(handlesBefore + 3, M().OpenHandleCount());

    struct Case {
        const char* label;
        HKEY key;
        LSTATUS code;
    } cases[] = {
        {"open key", a, ERROR_SUCCESS},
        {"the same key again", a, ERROR_INVALID_HANDLE},
        {"null", nullptr, ERROR_INVALID_HANDLE},
        {"never opened", kPoisonKey, ERROR_INVALID_HANDLE},
        {"a find handle", reinterpret_cast<HKEY>(find), ERROR_INVALID_HANDLE},
        {"predefined key", HKEY_LOCAL_MACHINE, ERROR_SUCCESS},
        {"other open key", b, ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(kPoison);
        EXPECT_EQ(c.code, RegCloseKey(c.key));
        EXPECT_EQ(kPoison, GetLastError());
    }
    EXPECT_EQ(handlesBefore + 1, M().OpenHandleCount()) << "the find handle is still open";
    EXPECT_TRUE(FindClose(find));
    EXPECT_EQ(handlesBefore, M().OpenHandleCount());
    // The predefined key still works after being "closed".
    HKEY again = Open("SOFTWARE");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
}

TEST_F(WinsimRegistry, ClassesRootIsTheMachineClassesKey)
{
    M().registry.Create("HKLM\\SOFTWARE\\Classes\\CLSID");
    M().registry.Create("HKLM\\SOFTWARE\\Classes\\.pell");
    char name[32];
    DWORD nameSize = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(HKEY_CLASSES_ROOT, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ(".pell", name);

    HKEY ext = Open(".Pell", HKEY_CLASSES_ROOT);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(ext, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("pellfile"), 9));
    EXPECT_EQ("pellfile", M().registry.GetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.pell", ""));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(ext));

    ASSERT_EQ(ERROR_SUCCESS, SHDeleteKeyA(HKEY_CLASSES_ROOT, "clsid"));
    EXPECT_FALSE(M().registry.Exists("HKLM\\SOFTWARE\\Classes\\CLSID"));
    EXPECT_TRUE(M().registry.Exists("HKLM\\SOFTWARE\\Classes\\.pell"));
}

// ================================================================ .reg text

class WinsimRegText : public WinsimTest {};

TEST_F(WinsimRegText, ImportReadsEveryValueForm)
{
    M().registry.SetString("HKLM\\SOFTWARE\\Imported", "Dropped", "x");
    M().registry.SetString("HKLM\\SOFTWARE\\Imported\\Gone\\Deeper", "v", "x");
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment line\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Imported]\r\n"
        "@=\"top\"\r\n"
        "\"Quoted\"=\"say \\\"hi\\\" at C:\\\\x\\\\\"\r\n"
        "\"a=b\"=\"equals in the name\"\r\n"
        "\"Multi\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,\\\r\n"
        "  77,00,6f,00,00,00,00,00\r\n"
        "\"Num\"=dword:0000002a\r\n"
        "\"Bin\"=hex:01,02,\\\n"
        "  ff,\\\n"
        "  00\n"
        "\"Exp\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,00,00,00\r\n"
        "\"Dropped\"=-\r\n"
        "\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Imported\\Gone]\r\n"
        "\r\n"
        "[HKEY_CLASSES_ROOT\\.pell]\r\n"
        "@=\"pellfile\"\r\n";
    M().registry.Import(text);

    struct Case {
        const char* label;
        const char* name;
        DWORD type;
        Bytes data;
    } cases[] = {
        {"default value", nullptr, REG_SZ, B("top\0")},
        {"escaped quotes and backslashes", "Quoted", REG_SZ, B("say \"hi\" at C:\\x\\\0")},
        {"quoted name holding '='", "a=b", REG_SZ, B("equals in the name\0")},
        {"multi-string over two lines", "Multi", REG_MULTI_SZ, B("one\0two\0\0")},
        {"dword", "Num", REG_DWORD, B("\x2a\0\0\0")},
        {"binary over three lines", "Bin", REG_BINARY, B("\x01\x02\xff\0")},
        {"expandable string", "Exp", REG_EXPAND_SZ, B("%SystemRoot%\0")},
    };
    HKEY key = Open("SOFTWARE\\Imported");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Value value = Query(key, c.name);
        EXPECT_EQ(ERROR_SUCCESS, value.code);
        EXPECT_EQ(c.type, value.type);
        EXPECT_EQ(c.data, value.data);
    }
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Query(key, "Dropped").code);
    EXPECT_EQ(7u, M().registry.Find("HKLM\\SOFTWARE\\Imported")->values.size());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_FALSE(M().registry.Exists("HKLM\\SOFTWARE\\Imported\\Gone"));
    EXPECT_EQ("pellfile", M().registry.GetString("HKLM\\SOFTWARE\\Classes\\.pell", ""));
}

TEST_F(WinsimRegText, ExportWritesRegeditText)
{
    const char* const path = "HKLM\\SOFTWARE\\Pelltest";
    M().registry.SetString(path, "", "default");
    M().registry.SetString(path, "Path", "C:\\Program Files\\\"Q\"");
    M().registry.SetDword(path, "Count", 42);
    M().registry.SetValue(path, "Blob", REG_BINARY, {0xde, 0xad, 0xbe, 0xef});
    M().registry.SetMultiString(path, "List", {"a", "b"});
    M().registry.SetString(path, "Expand", "%W", REG_EXPAND_SZ);
    M().registry.Create(std::string(path) + "\\Sub");
    EXPECT_EQ("Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pelltest]\n"
              "@=\"default\"\n"
              "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\"\n"
              "\"Count\"=dword:0000002a\n"
              "\"Blob\"=hex:de,ad,be,ef\n"
              "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
              "\"Expand\"=hex(2):25,00,57,00,00,00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pelltest\\Sub]\n"
              "\n",
              M().registry.Export("HKEY_LOCAL_MACHINE\\SOFTWARE\\Pelltest"));
}

TEST_F(WinsimRegText, ExportThenImportRestoresTheTree)
{
    const std::string path = "HKLM\\SOFTWARE\\Pelltest";
    Bytes longBinary;
    for (int i = 0; i < 200; i++)
        longBinary.push_back(static_cast<BYTE>(i * 7));
    M().registry.SetString(path, "", "de\\fault \"quoted\"");
    M().registry.SetValue(path, "Long", REG_BINARY, longBinary);
    M().registry.SetMultiString(path, "PendingLike", {"\\??\\C:\\x", "", "\\??\\C:\\a long path\\to a file.dll", ""});
    M().registry.SetString(path, "Exp", "%SystemRoot%\\system32\\drivers\\pell.sys", REG_EXPAND_SZ);
    M().registry.SetDword(path + "\\Sub\\Deeper", "Max", 0xffffffff);
    M().registry.SetValue(path + "\\Sub", "Empty", REG_BINARY, {});
    M().registry.SetValue(path + "\\Sub", "Nothing", REG_NONE, {1, 2});

    const std::string exported = M().registry.Export(path);
    std::istringstream lines(exported);
    std::string line;
    int continuations = 0;
    while (std::getline(lines, line)) {
        SCOPED_TRACE(line);
        EXPECT_LE(line.size(), 80u) << "regedit wraps hex data within 80 columns";
        continuations += line.rfind("  ", 0) == 0;
    }
    EXPECT_GT(continuations, 0) << "the long values should have wrapped";

    auto values = [&](const std::string& key) { return M().registry.Find(key)->values; };
    auto same = [](const std::vector<winsim::RegValue>& a, const std::vector<winsim::RegValue>& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); i++) {
            if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data)
                return false;
        }
        return true;
    };
    const auto top = values(path), sub = values(path + "\\Sub"), deeper = values(path + "\\Sub\\Deeper");
    ASSERT_TRUE(M().registry.Delete(path));
    M().registry.Import(exported);
    ASSERT_TRUE(M().registry.Exists(path + "\\Sub\\Deeper"));
    EXPECT_TRUE(same(top, values(path)));
    EXPECT_TRUE(same(sub, values(path + "\\Sub")));
    EXPECT_TRUE(same(deeper, values(path + "\\Sub\\Deeper")));
    EXPECT_EQ(exported, M().registry.Export(path));
}

// ================================================================ files

class WinsimFiles : public WinsimTest {};

TEST_F(WinsimFiles, FindListsDotsThenUpperCasedNameOrder)
{
    for (const char* name : {"b.txt", "A_b", "ab", "a1", "Zeta"})
        M().files.AddFile(std::string("C:\\D\\") + name, "12345");
    M().files.AddDirectory("C:\\D\\Sub");
    const size_t handlesBefore = M().OpenHandleCount();

    WIN32_FIND_DATAA data;
    memset(&data, kFill, sizeof data);
    HANDLE find = FindFirstFileA("C:\\D\\*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    struct Entry {
        std::string name;
        DWORD attributes;
        DWORD size;
    };
    std::vector<Entry> entries;
    do {
        entries.push_back({data.cFileName, data.dwFileAttributes, data.nFileSizeLow});
        memset(&data, kFill, sizeof data);
        SetLastError(kPoison);
    } while (FindNextFileA(find, &data));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), GetLastError());
    EXPECT_EQ(kFill, static_cast<BYTE>(data.cFileName[0]));
    SetLastError(kPoison);
    EXPECT_FALSE(FindNextFileA(find, &data)) << "the end stays the end";
    EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), GetLastError());

    const Names expected = {".", "..", "a1", "ab", "A_b", "b.txt", "Sub", "Zeta"};
    ASSERT_EQ(expected.size(), entries.size());
    for (size_t i = 0; i < entries.size(); i++) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(expected[i], entries[i].name);
        bool directory = i < 2 || expected[i] == "Sub";
        EXPECT_EQ(directory, (entries[i].attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        EXPECT_EQ(directory ? 0u : 5u, entries[i].size);
    }
    EXPECT_TRUE(FindClose(find));
    EXPECT_EQ(handlesBefore, M().OpenHandleCount());
    SetLastError(kPoison);
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(WinsimFiles, FindFirstFilePatterns)
{
    for (const char* name : {"b.txt", "c.TXT", "ab", "a1"})
        M().files.AddFile(std::string("C:\\D\\") + name);
    M().files.AddDirectory("C:\\D\\Empty");
    M().files.AddDirectory("E:\\");
    struct Case {
        const char* label;
        const char* pattern;
        Names names;
        DWORD error;  // ending the listing, or failing the first call
    } cases[] = {
        {"drive root has no dot entries", "C:\\*", {"D", "Documents and Settings", "Program Files", "WINDOWS"},
         ERROR_NO_MORE_FILES},
        {"empty directory still has the dots", "C:\\D\\Empty\\*", {".", ".."}, ERROR_NO_MORE_FILES},
        {"a file's own name", "C:\\D\\b.txt", {"b.txt"}, ERROR_NO_MORE_FILES},
        {"a file's name in other case", "C:\\D\\B.TXT", {"b.txt"}, ERROR_NO_MORE_FILES},
        {"a directory's own name", "C:\\D", {"D"}, ERROR_NO_MORE_FILES},
        {"extension wildcard", "C:\\D\\*.txt", {"b.txt", "c.TXT"}, ERROR_NO_MORE_FILES},
        {"question mark", "C:\\D\\a?", {"a1", "ab"}, ERROR_NO_MORE_FILES},
        {"slashes and doubled backslashes", "C:/D\\\\*.txt", {"b.txt", "c.TXT"}, ERROR_NO_MORE_FILES},
        {"nothing matches", "C:\\D\\*.zip", {}, ERROR_FILE_NOT_FOUND},
        {"empty drive root", "E:\\*", {}, ERROR_FILE_NOT_FOUND},
        {"trailing backslash", "C:\\D\\", {}, ERROR_FILE_NOT_FOUND},
        {"missing directory", "C:\\Nope\\*", {}, ERROR_PATH_NOT_FOUND},
        {"missing directory's child", "C:\\Nope\\Deeper\\*", {}, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const size_t handlesBefore = M().OpenHandleCount();
        DWORD error = 0;
        EXPECT_EQ(c.names, List(c.pattern, &error));
        EXPECT_EQ(c.error, error);
        EXPECT_EQ(handlesBefore, M().OpenHandleCount());
    }
}

TEST_F(WinsimFiles, DeleteFileOutcomes)
{
    const std::string file = "C:\\T\\f.dat";
    struct Case {
        const char* label;
        std::function<void(winsim::Machine&)> arrange;
        std::string path;
        DWORD error;  // 0 = deleted
        bool remains;
    } cases[] = {
        {"plain file", [&](winsim::Machine& m) { m.files.AddFile(file); }, file, 0, false},
        {"hidden system file",
         [&](winsim::Machine& m) { m.files.AddFile(file, "", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM); },
         file, 0, false},
        {"name in other case", [&](winsim::Machine& m) { m.files.AddFile(file); }, "c:\\t\\F.DAT", 0, false},
        {"missing file", [](winsim::Machine& m) { m.files.AddDirectory("C:\\T"); }, file, ERROR_FILE_NOT_FOUND,
         false},
        {"missing parent", [](winsim::Machine&) {}, file, ERROR_PATH_NOT_FOUND, false},
        {"parent is a file", [&](winsim::Machine& m) { m.files.AddFile(file); }, file + "\\x",
         ERROR_PATH_NOT_FOUND, true},
        {"directory", [&](winsim::Machine& m) { m.files.AddDirectory(file); }, file, ERROR_ACCESS_DENIED, true},
        {"read-only", [&](winsim::Machine& m) { m.files.AddFile(file, "", FILE_ATTRIBUTE_READONLY); }, file,
         ERROR_ACCESS_DENIED, true},
        {"locked by another process",
         [&](winsim::Machine& m) {
             m.files.AddFile(file);
             m.files.Lock(file);
         },
         file, ERROR_SHARING_VIOLATION, true},
        {"empty path", [&](winsim::Machine& m) { m.files.AddFile(file); }, "", ERROR_PATH_NOT_FOUND, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        winsim::Reset();
        c.arrange(M());
        SetLastError(kPoison);
        BOOL ok = DeleteFileA(c.path.c_str());
        EXPECT_EQ(c.error == 0, ok != FALSE);
        if (c.error) {
            EXPECT_EQ(c.error, GetLastError());
        }
        EXPECT_EQ(c.remains, M().files.Exists(file));
        EXPECT_TRUE(M().files.IsDirectory("C:\\WINDOWS")) << "nothing else goes";
    }
}

TEST_F(WinsimFiles, RemoveDirectoryOutcomes)
{
    const std::string dir = "C:\\T\\E";
    struct Case {
        const char* label;
        std::function<void(winsim::Machine&)> arrange;
        std::string path;
        DWORD error;  // 0 = removed
        bool remains;
    } cases[] = {
        {"empty directory", [&](winsim::Machine& m) { m.files.AddDirectory(dir); }, dir, 0, false},
        {"trailing backslash", [&](winsim::Machine& m) { m.files.AddDirectory(dir); }, dir + "\\", 0, false},
        {"hidden directory",
         [&](winsim::Machine& m) { m.files.AddDirectory(dir, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN); },
         dir, 0, false},
        {"holding a file", [&](winsim::Machine& m) { m.files.AddFile(dir + "\\f"); }, dir, ERROR_DIR_NOT_EMPTY,
         true},
        {"holding an empty directory", [&](winsim::Machine& m) { m.files.AddDirectory(dir + "\\s"); }, dir,
         ERROR_DIR_NOT_EMPTY, true},
        {"a file", [&](winsim::Machine& m) { m.files.AddFile(dir); }, dir, ERROR_DIRECTORY, true},
        {"missing", [](winsim::Machine& m) { m.files.AddDirectory("C:\\T"); }, dir, ERROR_FILE_NOT_FOUND, false},
        {"missing parent", [](winsim::Machine&) {}, dir, ERROR_PATH_NOT_FOUND, false},
        {"read-only",
         [&](winsim::Machine& m) { m.files.AddDirectory(dir, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY); },
         dir, ERROR_ACCESS_DENIED, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        winsim::Reset();
        c.arrange(M());
        SetLastError(kPoison);
        BOOL ok = RemoveDirectoryA(c.path.c_str());
        EXPECT_EQ(c.error == 0, ok != FALSE);
        if (c.error) {
            EXPECT_EQ(c.error, GetLastError());
        }
        EXPECT_EQ(c.remains, M().files.Exists(dir));
    }
}

TEST_F(WinsimFiles, SetFileAttributesReadsBack)
{
    const std::string file = "C:\\T\\f.dat", dir = "C:\\T\\D";
    struct Case {
        const char* label;
        std::string path;
        DWORD set;
        DWORD readBack;
    } cases[] = {
        {"file, normal", file, FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
        {"file, nothing", file, 0, FILE_ATTRIBUTE_NORMAL},
        {"file, read-only with normal", file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL,
         FILE_ATTRIBUTE_READONLY},
        {"file, hidden system", file, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"directory, normal", dir, FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_DIRECTORY},
        {"directory, read-only", dir, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        winsim::Reset();
        M().files.AddFile(file, "", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        M().files.AddDirectory(dir, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
        EXPECT_TRUE(SetFileAttributesA(c.path.c_str(), c.set));
        SetLastError(kPoison);
        EXPECT_EQ(c.readBack, GetFileAttributesA(c.path.c_str()));
        EXPECT_EQ(c.readBack, M().files.Attributes(c.path));
    }

    const struct {
        const char* path;
        DWORD error;
    } missing[] = {{"C:\\T\\nope", ERROR_FILE_NOT_FOUND}, {"C:\\Nope\\x", ERROR_PATH_NOT_FOUND}};
    for (const auto& m : missing) {
        SCOPED_TRACE(m.path);
        SetLastError(kPoison);
        EXPECT_FALSE(SetFileAttributesA(m.path, FILE_ATTRIBUTE_NORMAL));
        EXPECT_EQ(m.error, GetLastError());
        SetLastError(kPoison);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(m.path));
        EXPECT_EQ(m.error, GetLastError());
        EXPECT_FALSE(M().files.Exists(m.path));
    }
}

TEST_F(WinsimFiles, PathSpellingsReachTheSameFile)
{
    M().files.AddFile("C:\\T\\Sub\\f.txt", "x", FILE_ATTRIBUTE_ARCHIVE);
    for (const char* path : {"C:\\T\\Sub\\f.txt", "C:\\\\T\\\\\\Sub\\f.txt", "C:/T/Sub/f.txt", "c:\\t\\SUB\\F.TXT",
                             "C:\\T\\Sub\\..\\Sub\\.\\f.txt"}) {
        SCOPED_TRACE(path);
        SetLastError(kPoison);
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(path));
    }
    EXPECT_TRUE(DeleteFileA("C:/T//Sub\\f.txt"));
    EXPECT_FALSE(M().files.Exists("C:\\T\\Sub\\f.txt"));
    EXPECT_TRUE(RemoveDirectoryA("C:\\\\T/Sub"));
    EXPECT_FALSE(M().files.Exists("C:\\T\\Sub"));
}

TEST_F(WinsimFiles, PathsOfMaxPathCharactersAreRefused)
{
    // "C:\" + 120 + "\" + name: a name of 135 characters makes 259, one more makes MAX_PATH.
    const std::string dir = "C:\\" + std::string(120, 'd');
    const std::string fits = dir + "\\" + std::string(135, 'f');
    const std::string tooLong = fits + "g";
    ASSERT_EQ(259u, fits.size());
    ASSERT_EQ(size_t(MAX_PATH), tooLong.size());
    M().files.AddFile(fits);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(fits.c_str()));

    WIN32_FIND_DATAA data;
    struct Case {
        const char* label;
        std::function<bool(const char*)> call;  // true when the call failed
    } cases[] = {
        {"GetFileAttributesA", [](const char* p) { return GetFileAttributesA(p) == INVALID_FILE_ATTRIBUTES; }},
        {"SetFileAttributesA", [](const char* p) { return !SetFileAttributesA(p, FILE_ATTRIBUTE_NORMAL); }},
        {"DeleteFileA", [](const char* p) { return !DeleteFileA(p); }},
        {"RemoveDirectoryA", [](const char* p) { return !RemoveDirectoryA(p); }},
        {"FindFirstFileA", [&](const char* p) { return FindFirstFileA(p, &data) == INVALID_HANDLE_VALUE; }},
        {"MoveFileExA", [](const char* p) { return !MoveFileExA(p, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(kPoison);
        EXPECT_TRUE(c.call(tooLong.c_str()));
        EXPECT_EQ(DWORD(ERROR_FILENAME_EXCED_RANGE), GetLastError());
        SetLastError(kPoison);
        EXPECT_TRUE(c.call((std::string(tooLong.size() + 40, 'x').insert(0, "C:\\")).c_str()));
        EXPECT_EQ(DWORD(ERROR_FILENAME_EXCED_RANGE), GetLastError());
    }
    EXPECT_TRUE(M().PendingFileRenames().empty());
    // One character shorter is an ordinary path again.
    const std::string missing = dir + "\\" + std::string(135, 'm');
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteFileA(missing.c_str()));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(DeleteFileA(fits.c_str()));
}

TEST_F(WinsimFiles, MoveFileExSchedulesDeletionAtRestart)
{
    M().files.AddFile("C:\\T\\busy.dll");
    M().files.Lock("C:\\T\\busy.dll");
    M().files.AddDirectory("C:\\T\\Empty");
    M().files.AddFile("C:\\T\\Full\\keep.txt");
    struct Case {
        const char* path;
        const char* recorded;
    } cases[] = {
        {"C:\\\\T\\\\busy.dll", "\\??\\C:\\T\\busy.dll"},
        {"C:/T/Empty", "\\??\\C:\\T\\Empty"},
        {"C:\\T\\Full", "\\??\\C:\\T\\Full"},
        {"C:\\Nowhere\\ghost.tmp", "\\??\\C:\\Nowhere\\ghost.tmp"},
    };
    std::string expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(kPoison);
        EXPECT_TRUE(MoveFileExA(c.path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
        expected += c.recorded + std::string(1, '\0') + std::string(1, '\0');
        // Each call appends a source and an empty target in front of the list's final NUL.
        HKEY key = Open("SYSTEM\\CurrentControlSet\\Control\\Session Manager");
        Value value = Query(key, "PendingFileRenameOperations");
        EXPECT_EQ(ERROR_SUCCESS, value.code);
        EXPECT_EQ(DWORD(REG_MULTI_SZ), value.type);
        EXPECT_EQ(B(expected + '\0'), value.data);
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    }
    EXPECT_TRUE(M().files.Exists("C:\\T\\busy.dll")) << "nothing happens before the restart";

    M().Restart();
    EXPECT_FALSE(M().files.Exists("C:\\T\\busy.dll"));
    EXPECT_FALSE(M().files.Exists("C:\\T\\Empty"));
    EXPECT_TRUE(M().files.Exists("C:\\T\\Full\\keep.txt")) << "a directory goes at restart only when empty";
    EXPECT_FALSE(M().registry.HasValue(winsim::kSessionManagerKey, "PendingFileRenameOperations"));
    EXPECT_TRUE(M().registry.Exists(winsim::kSessionManagerKey));
}

TEST_F(WinsimFiles, RestartReleasesLocks)
{
    M().files.AddFile("C:\\T\\held.db");
    M().files.Lock("C:\\T\\held.db");
    EXPECT_FALSE(DeleteFileA("C:\\T\\held.db"));
    M().Restart();
    EXPECT_TRUE(M().files.Exists("C:\\T\\held.db")) << "not scheduled, so not deleted";
    EXPECT_TRUE(DeleteFileA("C:\\T\\held.db"));
}

TEST_F(WinsimFiles, GetWindowsDirectoryBufferSizes)
{
    struct Case {
        const char* label;
        const char* windir;
        bool buffer;
        UINT size;
        UINT result;
        const char* text;  // nullptr: buffer untouched
    } cases[] = {
        {"large buffer", "C:\\WINDOWS", true, MAX_PATH, 10, "C:\\WINDOWS"},
        {"exact fit with terminator", "C:\\WINDOWS", true, 11, 10, "C:\\WINDOWS"},
        {"no room for the terminator", "C:\\WINDOWS", true, 10, 11, nullptr},
        {"zero-sized buffer", "C:\\WINDOWS", true, 0, 11, nullptr},
        {"no buffer", "C:\\WINDOWS", false, 0, 11, nullptr},
        {"other directory", "D:\\WINNT", true, MAX_PATH, 8, "D:\\WINNT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        M().windowsDirectory = c.windir;
        char buffer[MAX_PATH + 1];
        memset(buffer, kFill, sizeof buffer);
        EXPECT_EQ(c.result, GetWindowsDirectoryA(c.buffer ? buffer : nullptr, c.size));
        if (c.text) {
            EXPECT_STREQ(c.text, buffer);
            EXPECT_EQ(kFill, static_cast<BYTE>(buffer[strlen(c.text) + 1]));
        } else {
            EXPECT_EQ(kFill, static_cast<BYTE>(buffer[0]));
        }
    }
}

// ================================================================ fault injection

class WinsimFaults : public WinsimTest {};

TEST_F(WinsimFaults, FailCallFailsMatchingCallsTheGivenNumberOfTimes)
{
    M().files.AddFile("C:\\T\\victim.txt");
    M().files.AddFile("C:\\T\\bystander.txt");
    M().registry.Create("HKLM\\SOFTWARE\\Pelltest");
    WIN32_FIND_DATAA data;
    HKEY key = kPoisonKey;
    char windir[MAX_PATH];
    // Each call returns the error it left (0 on success).
    struct Case {
        const char* label;
        const char* call;
        const char* argument;
        DWORD code;
        std::function<DWORD()> act;
        std::function<bool()> untouched;  // what a failed call must leave as it was
    } cases[] = {
        {"DeleteFileA", "DeleteFileA", "VICTIM", ERROR_ACCESS_DENIED,
         [] { return DeleteFileA("C:\\T\\victim.txt") ? 0 : GetLastError(); },
         [&] { return M().files.Exists("C:\\T\\victim.txt"); }},
        {"RegOpenKeyExA", "RegOpenKeyExA", "pelltest", ERROR_ACCESS_DENIED,
         [&] {
             DWORD code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Pelltest", 0, KEY_READ, &key);
             if (code == ERROR_SUCCESS)
                 RegCloseKey(key);
             return code;
         },
         [&] { return key == nullptr; }},
        {"FindFirstFileA", "FindFirstFileA", "C:\\T", ERROR_NOT_ENOUGH_MEMORY,
         [&] {
             HANDLE find = FindFirstFileA("C:\\T\\*", &data);
             if (find == INVALID_HANDLE_VALUE)
                 return GetLastError();
             FindClose(find);
             return DWORD(0);
         },
         [] { return true; }},
        {"GetWindowsDirectoryA", "GetWindowsDirectoryA", "", ERROR_INVALID_PARAMETER,
         [&] {
             memset(windir, kFill, sizeof windir);
             return GetWindowsDirectoryA(windir, sizeof windir) ? 0 : GetLastError();
         },
         [&] { return static_cast<BYTE>(windir[0]) == kFill; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        M().FailCall(c.call, c.code, c.argument, 2);
        for (int attempt = 0; attempt < 2; attempt++) {
            SetLastError(kPoison);
            EXPECT_EQ(c.code, c.act()) << "attempt " << attempt;
            EXPECT_TRUE(c.untouched());
        }
        EXPECT_EQ(0u, c.act()) << "the fault is used up";
        EXPECT_TRUE(M().faults.empty());
    }
    // A fault for one argument leaves calls on other paths alone.
    M().files.AddFile("C:\\T\\victim.txt");
    M().FailCall("DeleteFileA", ERROR_SHARING_VIOLATION, "victim");
    EXPECT_TRUE(DeleteFileA("C:\\T\\bystander.txt"));
    for (int attempt = 0; attempt < 3; attempt++) {
        SetLastError(kPoison);
        EXPECT_FALSE(DeleteFileA("C:\\T\\VICTIM.TXT"));
        EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    }
    EXPECT_TRUE(M().files.Exists("C:\\T\\victim.txt"));
}

TEST_F(WinsimFaults, FindNextFileFault)
{
    M().files.AddFile("C:\\T\\a");
    M().files.AddFile("C:\\T\\b");
    M().FailCall("FindNextFileA", ERROR_NOT_ENOUGH_MEMORY, "", 1);
    DWORD error = 0;
    EXPECT_EQ(Names{"."}, List("C:\\T\\*", &error));
    EXPECT_EQ(DWORD(ERROR_NOT_ENOUGH_MEMORY), error);
    EXPECT_EQ((Names{".", "..", "a", "b"}), List("C:\\T\\*", &error));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), error);
}

// ================================================================ C runtime

class WinsimCrt : public WinsimTest {};

TEST_F(WinsimCrt, AppendModeWritesTextModeLinesAcrossOpens)
{
    const char* const log = "C:\\T\\run.log";
    M().files.AddFile(log, "old\r\n");
    FILE* file = fopen(log, "a+");
    ASSERT_NE(nullptr, file);
    fprintf(file, "one\n%d\n", 2);
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteFileA(log)) << "the runtime opens files without delete sharing";
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_EQ(0, fclose(file));
    EXPECT_EQ("old\r\none\r\n2\r\n", M().files.Content(log));

    file = fopen(log, "a+");
    ASSERT_NE(nullptr, file);
    fprintf(file, "three\n");
    EXPECT_EQ(0, fclose(file));
    EXPECT_EQ("old\r\none\r\n2\r\nthree\r\n", M().files.Content(log));

    // A new file is created, archive bit set; binary mode keeps bare line feeds.
    file = fopen("C:\\T\\new.bin", "ab");
    ASSERT_NE(nullptr, file);
    fprintf(file, "raw\n");
    EXPECT_EQ(0, fclose(file));
    EXPECT_EQ("raw\n", M().files.Content("C:\\T\\new.bin"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_ARCHIVE), M().files.Attributes("C:\\T\\new.bin"));
    EXPECT_TRUE(DeleteFileA(log)) << "closed files can go";
}

TEST_F(WinsimCrt, FopenRefusals)
{
    M().files.AddFile("C:\\T\\locked.log", "keep");
    M().files.Lock("C:\\T\\locked.log");
    M().files.AddFile("C:\\T\\readonly.log", "keep", FILE_ATTRIBUTE_READONLY);
    const std::string before = M().files.Listing();
    struct Case {
        const char* label;
        const char* path;
        int error;  // 0: not looked at
    } cases[] = {
        {"empty path", "", 0},
        {"missing directory", "C:\\Nope\\x.log", ENOENT},
        {"a directory", "C:\\T", EACCES},
        {"locked file", "C:\\T\\locked.log", EACCES},
        {"read-only file", "C:\\T\\readonly.log", EACCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        errno = 0;
        EXPECT_EQ(nullptr, fopen(c.path, "a+"));
        if (c.error) {
            EXPECT_EQ(c.error, errno);
        }
    }
    EXPECT_EQ(before, M().files.Listing()) << "a refused open creates and changes nothing";
    EXPECT_EQ("keep", M().files.Content("C:\\T\\locked.log"));
}

TEST_F(WinsimCrt, PrintfGoesToTheConsole)
{
    const std::string filesBefore = M().files.Listing();
    EXPECT_EQ(6, printf("a %s %d\n", "b", 3));
    EXPECT_EQ(0, printf("%s", ""));
    printf("no newline");
    EXPECT_EQ("a b 3\nno newline", M().console);
    EXPECT_EQ(filesBefore, M().files.Listing());
}

// ================================================================ clock and user interface

class WinsimClock : public WinsimTest {};

TEST_F(WinsimClock, LocalTimeFollowsSleep)
{
    auto fields = [](const SYSTEMTIME& t) {
        return std::vector<int>{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond,
                                t.wMilliseconds};
    };
    struct Case {
        const char* label;
        SYSTEMTIME start;
        std::vector<DWORD> sleeps;
        SYSTEMTIME expected;
    } cases[] = {
        {"no sleep", {2003, 11, 2, 4, 14, 7, 9, 0}, {}, {2003, 11, 2, 4, 14, 7, 9, 0}},
        {"within a second", {2003, 11, 2, 4, 14, 7, 9, 0}, {250, 250}, {2003, 11, 2, 4, 14, 7, 9, 500}},
        {"over a minute", {2003, 11, 2, 4, 14, 7, 59, 900}, {200}, {2003, 11, 2, 4, 14, 8, 0, 100}},
        {"over the year end", {2003, 12, 3, 31, 23, 59, 59, 500}, {600}, {2004, 1, 4, 1, 0, 0, 0, 100}},
        {"onto a leap day", {2004, 2, 6, 28, 23, 59, 59, 999}, {1}, {2004, 2, 0, 29, 0, 0, 0, 0}},
        {"a whole day", {2003, 11, 2, 4, 14, 7, 9, 0}, {86400000}, {2003, 11, 3, 5, 14, 7, 9, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        winsim::Reset();
        M().localTime = c.start;
        for (DWORD ms : c.sleeps)
            Sleep(ms);
        SYSTEMTIME now;
        memset(&now, kFill, sizeof now);
        GetLocalTime(&now);
        EXPECT_EQ(fields(c.expected), fields(now));
    }
}

TEST_F(WinsimClock, TickCountWrapsAt32Bits)
{
    M().tickBase = 0xffffff00u;
    const DWORD start = GetTickCount();
    EXPECT_EQ(0xffffff00u, start);
    Sleep(0xff);
    EXPECT_EQ(0xffffffffu, GetTickCount());
    Sleep(2);
    EXPECT_EQ(1u, GetTickCount());
    EXPECT_EQ(0x101u, GetTickCount() - start) << "unsigned differences survive the wrap";
}

class WinsimUi : public WinsimTest {};

TEST_F(WinsimUi, MessageBoxIsRecordedAndAnsweredOk)
{
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "Run as administrator.", "Pellsweep", MB_OK | MB_ICONERROR));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, nullptr, nullptr, MB_OK));
    ASSERT_EQ(2u, M().messageBoxes.size());
    EXPECT_EQ("Run as administrator.", M().messageBoxes[0].text);
    EXPECT_EQ("Pellsweep", M().messageBoxes[0].caption);
    EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), M().messageBoxes[0].type);
    EXPECT_EQ(nullptr, M().messageBoxes[0].owner);
    EXPECT_EQ("", M().messageBoxes[1].text);
    EXPECT_TRUE(M().console.empty()) << "a message box prints nothing";
}

}  // namespace
