#include <gtest/gtest.h>

#include "files/install_locations.h"
#include "run/text.h"
#include "sim_fixture.h"

namespace {

using Lines = std::vector<std::string>;

const char* const kShellFolders =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kCurrentVersion = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const kStartMenu = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs";
const char* const kXqsFallback =
    "Could not find the XQS path in the registry. Assuming path is SYS_DRIVE\\Program Files\\XQS";
const char* const kPellitonFallback =
    "Could not find the Pelliton path in the registry. Assuming path is SYS_DRIVE\\Program Files\\Pelliton";

// The suite's directories at their default places, and look-alikes beside them.
void SeedDefaultLayout(winsim::Machine& m, const std::string& programFiles = "C:\\Program Files",
                       const std::string& drive = "C:\\")
{
    m.files.AddFile(programFiles + "\\XQS\\bin\\agent.exe", "", FILE_ATTRIBUTE_READONLY);
    m.files.AddFile(programFiles + "\\XQS\\agent.ini", "", FILE_ATTRIBUTE_HIDDEN);
    m.files.AddFile(programFiles + "\\Pelliton\\console.exe");
    m.files.AddFile(drive + "LOGS\\agent.log");
    m.files.AddFile(programFiles + "\\Brenmoor\\Deskreach\\remote.exe");
    m.files.AddFile(std::string(kStartMenu) + "\\Pelliton\\Console.lnk");
    m.files.AddFile(std::string(kStartMenu) + "\\Pelliton Agent\\Agent.lnk");
    m.files.AddFile(std::string(kStartMenu) + "\\XQ Services\\Services.lnk");
    // Look-alikes that must survive.
    m.files.AddFile(programFiles + "\\XQS2\\keep.txt");
    m.files.AddFile(programFiles + "\\Brenmoor\\Other\\keep.txt");
    m.files.AddFile(std::string(kStartMenu) + "\\Pelliton Tools\\keep.lnk");
    m.files.AddFile(drive + "LOGS2\\keep.log");
}

const Lines kSuiteDirectories = {
    "C:\\Program Files\\XQS",
    "C:\\Program Files\\Pelliton",
    "C:\\LOGS",
    "C:\\Program Files\\Brenmoor\\Deskreach",
    std::string(kStartMenu) + "\\Pelliton",
    std::string(kStartMenu) + "\\Pelliton Agent",
    std::string(kStartMenu) + "\\XQ Services",
};
const Lines kLookAlikes = {
    "C:\\Program Files\\XQS2\\keep.txt",
    "C:\\Program Files\\Brenmoor\\Other\\keep.txt",
    std::string(kStartMenu) + "\\Pelliton Tools\\keep.lnk",
    "C:\\LOGS2\\keep.log",
};

class InstallLocationsTest : public SimTest {};

TEST_F(InstallLocationsTest, WithoutTheSuiteKeysTheDefaultsAreRemoved)
{
    LoggedRun run = RunLogged([] {
        SeedDefaultLayout(winsim::Current());
        RemoveInstallDirectories();
    });
    for (const std::string& dir : kSuiteDirectories)
        EXPECT_FALSE(M().files.Exists(dir)) << dir;
    for (const std::string& file : kLookAlikes)
        EXPECT_TRUE(M().files.Exists(file)) << file;
    EXPECT_TRUE(HasLine(run.app, kXqsFallback));
    EXPECT_TRUE(HasLine(run.app, kPellitonFallback));
    EXPECT_FALSE(HasLine(run.app, "Failed to open XQS Registry Key"));
    EXPECT_TRUE(HasLine(run.all, "Failed to open XQS Registry Key"));
    // Removal order: the two install directories, the log directory, the remote-control one, the Start menu.
    std::vector<size_t> positions;
    for (const std::string& dir : kSuiteDirectories) {
        size_t at = run.console.find("Removing the contents of directory " + dir);
        ASSERT_NE(at, std::string::npos) << dir;
        positions.push_back(at);
    }
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
}

TEST_F(InstallLocationsTest, RecordedInstallDirectoriesAreUsed)
{
    LoggedRun run = RunLogged([] {
        winsim::Machine& m = winsim::Current();
        SeedDefaultLayout(m);
        m.registry.SetString("HKLM\\SOFTWARE\\Qarvex\\XQS", "Version", "4.20");
        m.registry.SetString("HKLM\\SOFTWARE\\Qarvex\\XQS\\4.20", "XQSPath", "D:\\Agents\\XQS");
        m.registry.SetString("HKLM\\SOFTWARE\\Brenmoor\\Pelliton\\CurrentVersion", "Root", "E:\\Pelliton");
        m.files.AddFile("D:\\Agents\\XQS\\agent.exe");
        m.files.AddFile("E:\\Pelliton\\console.exe");
        RemoveInstallDirectories();
    });
    EXPECT_FALSE(M().files.Exists("D:\\Agents\\XQS"));
    EXPECT_TRUE(M().files.Exists("D:\\Agents"));
    EXPECT_FALSE(M().files.Exists("E:\\Pelliton"));
    // The default places are not touched when the registry names others.
    EXPECT_TRUE(M().files.Exists("C:\\Program Files\\XQS\\bin\\agent.exe"));
    EXPECT_TRUE(M().files.Exists("C:\\Program Files\\Pelliton\\console.exe"));
    EXPECT_FALSE(HasLine(run.all, kXqsFallback));
    EXPECT_FALSE(HasLine(run.all, kPellitonFallback));
    EXPECT_FALSE(HasLine(run.all, "Failed to get XQS path from registry"));
}

TEST_F(InstallLocationsTest, ProgramFilesOnAnotherDriveMovesEveryDefault)
{
    LoggedRun run = RunLogged([] {
        winsim::Machine& m = winsim::Current();
        m.registry.SetString(kCurrentVersion, "ProgramFilesDir", "D:\\Program Files");
        SeedDefaultLayout(m, "D:\\Program Files", "D:\\");
        m.files.AddFile("C:\\LOGS\\other.log");
        RemoveInstallDirectories();
    });
    for (const char* dir : {"D:\\Program Files\\XQS", "D:\\Program Files\\Pelliton", "D:\\LOGS",
                            "D:\\Program Files\\Brenmoor\\Deskreach"})
        EXPECT_FALSE(M().files.Exists(dir)) << dir;
    EXPECT_TRUE(M().files.Exists("C:\\LOGS\\other.log"));
    EXPECT_TRUE(M().files.Exists("D:\\Program Files\\XQS2\\keep.txt"));
    EXPECT_TRUE(HasLine(run.app, kXqsFallback));  // the text names SYS_DRIVE whatever the drive
}

TEST_F(InstallLocationsTest, MissingSystemLocationEndsTheStepBeforeAnyRemoval)
{
    struct Case {
        const char* label;
        std::function<void(winsim::Machine&)> arrange;
        Lines debug;
    } cases[] = {
        {"no Common Programs",
         [](winsim::Machine& m) { m.registry.Find(kShellFolders)->values.clear(); },
         {"Failed to get Common Programs path from registry"}},
        {"no Shell Folders key", [](winsim::Machine& m) { m.registry.Delete(kShellFolders); },
         {"Failed to open Shell Folders Registry Key"}},
        {"no ProgramFilesDir",
         [](winsim::Machine& m) {
             m.registry.Find(kCurrentVersion)->values.clear();
         },
         {"Failed to get Program Files path from registry"}},
        {"no CurrentVersion key",
         [](winsim::Machine& m) { m.registry.Delete(kCurrentVersion); },
         {"Failed to open Shell Folders Registry Key",
          "Failed to open Current Version Registry Key for Program Files Valuename"}},
        {"relative ProgramFilesDir",
         [](winsim::Machine& m) { m.registry.SetString(kCurrentVersion, "ProgramFilesDir", "Program Files"); },
         {"Failed to get Program Files path from registry"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LoggedRun run = RunLogged([&] {
            SeedDefaultLayout(winsim::Current());
            c.arrange(winsim::Current());
            RemoveInstallDirectories();
        });
        EXPECT_EQ(run.app, Lines{});
        EXPECT_EQ(run.all, c.debug);
        EXPECT_EQ(run.console, "");
        EXPECT_TRUE(M().files.Exists("C:\\Program Files\\XQS\\bin\\agent.exe"));
        EXPECT_TRUE(M().files.Exists("C:\\LOGS\\agent.log"));
    }
}

TEST_F(InstallLocationsTest, OverlongVersionFallsBackThroughTheEmptyVersionKey)
{
    LoggedRun run = RunLogged([] {
        winsim::Machine& m = winsim::Current();
        SeedDefaultLayout(m);
        m.registry.SetString("HKLM\\SOFTWARE\\Qarvex\\XQS", "Version", "4.200");
        m.registry.SetString("HKLM\\SOFTWARE\\Qarvex\\XQS\\4.200", "XQSPath", "D:\\Agents\\XQS");
        m.files.AddFile("D:\\Agents\\XQS\\agent.exe");
        RemoveInstallDirectories();
    });
    Lines expectedStart = {"Failed to get XQS version from registry", "Failed to get XQS path from registry",
                           kXqsFallback};
    ASSERT_GE(run.all.size(), expectedStart.size());
    EXPECT_EQ(Lines(run.all.begin(), run.all.begin() + 3), expectedStart);
    EXPECT_TRUE(M().files.Exists("D:\\Agents\\XQS\\agent.exe"));
    EXPECT_FALSE(M().files.Exists("C:\\Program Files\\XQS"));
}

TEST_F(InstallLocationsTest, UnsafeRecordedPathsAreIgnoredForTheDefault)
{
    // Each would otherwise have the whole tree below a drive root emptied.
    for (const char* value : {"", "C:\\", "C:", "C:\\\\", "Program Files\\XQS", "\\XQS",
                              "C:\\Program Files\\..", "C:\\Program Files\\XQS\\..\\..", "\\\\server\\share"}) {
        SCOPED_TRACE(value);
        LoggedRun run = RunLogged([&] {
            winsim::Machine& m = winsim::Current();
            SeedDefaultLayout(m);
            m.files.AddFile("C:\\boot.ini");
            m.files.AddFile("C:\\Program Files\\Other\\keep.exe");
            m.registry.SetString("HKLM\\SOFTWARE\\Qarvex\\XQS", "Version", "4.20");
            m.registry.SetString("HKLM\\SOFTWARE\\Qarvex\\XQS\\4.20", "XQSPath", value);
            RemoveInstallDirectories();
        });
        EXPECT_TRUE(M().files.Exists("C:\\boot.ini"));
        EXPECT_TRUE(M().files.Exists("C:\\Program Files\\Other\\keep.exe"));
        EXPECT_TRUE(M().files.Exists("C:\\WINDOWS\\system32\\drivers"));
        EXPECT_FALSE(M().files.Exists("C:\\Program Files\\XQS"));
        EXPECT_TRUE(HasLine(run.app, kXqsFallback));
        EXPECT_TRUE(HasLine(run.all, std::string("Ignoring the install path ") + value +
                                     ": it does not name a directory on a drive"));
    }
}

TEST_F(InstallLocationsTest, ValuesMustFitTheirBuffersWithTheirNul)
{
    struct Case {
        const char* label;
        std::vector<BYTE> data;
        int result;
        std::string path;
    } cases[] = {
        {"255 characters", {}, 0, "C:\\" + std::string(252, 'p')},
        {"256 characters", {}, -1, ""},
        {"no NUL stored", {'D', ':', '\\', 'P'}, 0, "D:\\P"},
    };
    cases[0].data.assign(cases[0].path.begin(), cases[0].path.end());
    cases[0].data.push_back(0);
    std::string longer = "C:\\" + std::string(253, 'p');
    cases[1].data.assign(longer.begin(), longer.end());
    cases[1].data.push_back(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        winsim::Reset();
        M().registry.SetValue("HKLM\\SOFTWARE\\Brenmoor\\Pelliton\\CurrentVersion", "Root", REG_SZ, c.data);
        char path[kPathSize];
        memset(path, 'x', sizeof path);
        EXPECT_EQ(GetPellitonRoot(path), c.result);
        EXPECT_EQ(std::string(path), c.path);
        EXPECT_EQ(M().OpenHandleCount(), 0u);
    }
}

TEST_F(InstallLocationsTest, SystemFoldersGiveTheDriveWithItsBackslash)
{
    M().registry.SetString(kCurrentVersion, "ProgramFilesDir", "D:\\Program Files");
    char drive[4];
    char common[kPathSize];
    char programFiles[kPathSize];
    EXPECT_NE(GetSystemFolders(drive, common, programFiles), 0);
    EXPECT_STREQ(drive, "D:\\");
    EXPECT_STREQ(programFiles, "D:\\Program Files");
    EXPECT_STREQ(common, kStartMenu);
    EXPECT_EQ(M().OpenHandleCount(), 0u);
}

}  // namespace
