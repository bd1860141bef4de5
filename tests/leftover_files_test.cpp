#include <gtest/gtest.h>

#include "files/leftover_files.h"
#include "sim_fixture.h"

namespace {

using Lines = std::vector<std::string>;

const char* const kRbxKey = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\qvxrbxsv";
const char* const kSharedDll = "C:\\WINDOWS\\system32\\qvxwdt.dll";
const char* const kRbxAbsent = "RBX does not appear to be installed. Cleaning up RBX shared files";

class LeftoverFilesTest : public SimTest {};

TEST_F(LeftoverFilesTest, SharedDllGoesOnlyWhenTheRestartServiceIsGone)
{
    struct Case {
        const char* label;
        std::function<void(winsim::Machine&)> arrange;
        bool dllRemains;
        Lines app;
        Lines all;
        std::string console;
    } cases[] = {
        {"service installed",
         [](winsim::Machine& m) {
             m.registry.Create(kRbxKey);
             m.files.AddFile(kSharedDll);
         },
         true, {}, {"RBX is installed. Not removing shared files"}, ""},
        {"service gone",
         [](winsim::Machine& m) { m.files.AddFile(kSharedDll); },
         false, {kRbxAbsent, std::string("Deleted file ") + kSharedDll},
         {kRbxAbsent, std::string("Deleted file ") + kSharedDll}, std::string("\n\n") + kRbxAbsent},
        // A key that does not open with full access counts as absent.
        {"service key not openable",
         [](winsim::Machine& m) {
             m.registry.Create(kRbxKey);
             m.FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, "qvxrbxsv");
             m.files.AddFile(kSharedDll);
         },
         false, {kRbxAbsent, std::string("Deleted file ") + kSharedDll},
         {kRbxAbsent, std::string("Deleted file ") + kSharedDll}, std::string("\n\n") + kRbxAbsent},
        // A plain deletion: the DLL in use is not scheduled for restart.
        {"DLL in use",
         [](winsim::Machine& m) {
             m.files.AddFile(kSharedDll);
             m.files.Lock(kSharedDll);
         },
         true, {kRbxAbsent}, {kRbxAbsent, std::string("Unable to find or delete file ") + kSharedDll},
         std::string("\n\n") + kRbxAbsent},
        {"DLL missing", [](winsim::Machine&) {}, false, {kRbxAbsent},
         {kRbxAbsent, std::string("Unable to find or delete file ") + kSharedDll},
         std::string("\n\n") + kRbxAbsent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LoggedRun run = RunLogged([&] {
            c.arrange(winsim::Current());
            RemoveRbxSharedFiles();
        });
        EXPECT_EQ(M().files.Exists(kSharedDll), c.dllRemains);
        EXPECT_EQ(run.app, c.app);
        EXPECT_EQ(run.all, c.all);
        EXPECT_EQ(run.console, c.console);
        EXPECT_TRUE(M().PendingFileRenames().empty());
        EXPECT_EQ(M().OpenHandleCount(), 0u);
    }
}

TEST_F(LeftoverFilesTest, NothingLeftPrintsOnlyTheHeading)
{
    LoggedRun run = RunLogged([] { RemoveLeftoverFiles(); });
    EXPECT_EQ(run.console, "\n\nRemoving any remaining Pelliton files");
    EXPECT_EQ(run.all, Lines{});
}

TEST_F(LeftoverFilesTest, EveryListedFileGoesInOrderAndLookAlikesStay)
{
    // Windows on D:, so the Startup shortcut is formed from "D:\" and keeps both backslashes.
    const Lines listed = {
        "D:\\WINNT\\system32\\drivers\\offpower.sys",
        "D:\\WINNT\\KzdXServ.exe",
        "D:\\WINNT\\system32\\wbem\\mof\\good\\xqsevent.mof",
        "D:\\WINNT\\system32\\wbem\\mof\\good\\xqsredundantnic.mof",
        "D:\\WINNT\\system32\\wbem\\mof\\good\\xqstco.mof",
        "D:\\\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\Fleet Board.lnk",
        "D:\\WINNT\\system32\\kzdproc.dll",
        "D:\\WINNT\\system32\\drivers\\usbmohk5.sys",
        "D:\\WINNT\\system32\\drivers\\usbkbhk5.sys",
        "D:\\WINNT\\system32\\drivers\\kzdsysin.sys",
        "D:\\WINNT\\system32\\drivers\\kzdgrab.sys",
        "D:\\WINNT\\system32\\drivers\\rawmemnt.sys",
        "D:\\WINNT\\system32\\drivers\\Mourcw2k.sys",
        "D:\\WINNT\\system32\\drivers\\Mourc2.sys",
        "D:\\WINNT\\system32\\drivers\\mouhook5.sys",
        "D:\\WINNT\\system32\\drivers\\mouhook.sys",
        "D:\\WINNT\\system32\\drivers\\sensnt.sys",
        "D:\\WINNT\\system32\\drivers\\Kbdrcw2k.sys",
        "D:\\WINNT\\system32\\drivers\\Kbdrc2.sys",
        "D:\\WINNT\\system32\\drivers\\kbdhook5.sys",
        "D:\\WINNT\\system32\\drivers\\kbdhook.sys",
    };
    const Lines lookAlikes = {
        "D:\\WINNT\\system32\\drivers\\kbdclass.sys",
        "D:\\WINNT\\system32\\drivers\\kbdhook.sys.bak",
        "D:\\WINNT\\system32\\wbem\\mof\\good\\xqsevent2.mof",
        "D:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\Fleet Board Old.lnk",
    };
    const std::string locked = "D:\\WINNT\\system32\\drivers\\rawmemnt.sys";
    LoggedRun run = RunLogged([&] {
        winsim::Machine& m = winsim::Current();
        m.windowsDirectory = "D:\\WINNT";
        // Files created in reverse, so that the order of deletion comes from the list alone.
        for (auto it = listed.rbegin(); it != listed.rend(); ++it)
            m.files.AddFile(*it, "", FILE_ATTRIBUTE_READONLY);
        for (const std::string& file : lookAlikes)
            m.files.AddFile(file);
        m.files.Lock(locked);
        m.registry.Create(kRbxKey);  // the restart feature does not protect sensnt.sys
        RemoveLeftoverFiles();
    });
    Lines expected;
    std::string console = "\n\nRemoving any remaining Pelliton files";
    for (const std::string& file : listed) {
        expected.push_back(file == locked ? "Marked locked file " + file + " for deletion" : "Deleted file " + file);
        console += "\n" + expected.back();
    }
    EXPECT_EQ(run.app, expected);
    EXPECT_EQ(run.all, expected);
    EXPECT_EQ(run.console, console);
    for (const std::string& file : listed)
        EXPECT_EQ(M().files.Exists(file), file == locked) << file;
    for (const std::string& file : lookAlikes)
        EXPECT_TRUE(M().files.Exists(file)) << file;
    EXPECT_EQ(M().PendingFileRenames(), (Lines{"\\??\\" + locked, ""}));
}

}  // namespace
