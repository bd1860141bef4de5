#include <gtest/gtest.h>

#include "files/recursive_delete.h"
#include "sim_fixture.h"

namespace {

using Lines = std::vector<std::string>;

class RecursiveDeleteTest : public SimTest {};

TEST_F(RecursiveDeleteTest, DeleteFileOrScheduleOutcomes)
{
    const std::string file = "C:\\T\\f.dat";
    struct Case {
        const char* label;
        std::function<void(winsim::Machine&)> arrange;
        int result;
        Lines app;
        Lines debugOnly;
        Lines pending;
        bool remains;
    } cases[] = {
        {"missing file", [](winsim::Machine& m) { m.files.AddDirectory("C:\\T"); }, 0, {}, {}, {}, false},
        {"missing directory", [](winsim::Machine&) {}, 0, {}, {}, {}, false},
        {"plain file", [&](winsim::Machine& m) { m.files.AddFile(file); }, 0, {"Deleted file " + file}, {}, {},
         false},
        {"read-only hidden system file",
         [&](winsim::Machine& m) {
             m.files.AddFile(file, "", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
         },
         0, {"Deleted file " + file}, {}, {}, false},
        {"file in use",
         [&](winsim::Machine& m) {
             m.files.AddFile(file);
             m.files.Lock(file);
         },
         1, {"Marked locked file " + file + " for deletion"}, {}, {"\\??\\" + file, ""}, true},
        {"access denied",
         [&](winsim::Machine& m) {
             m.files.AddFile(file);
             m.FailCall("DeleteFileA", ERROR_ACCESS_DENIED);
         },
         1, {"Marked locked file " + file + " for deletion"}, {}, {"\\??\\" + file, ""}, true},
        {"in use and not schedulable",
         [&](winsim::Machine& m) {
             m.files.AddFile(file);
             m.files.Lock(file);
             m.FailCall("MoveFileExA", ERROR_ACCESS_DENIED);
         },
         -1, {}, {"Unable to register locked file " + file + " for deletion"}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        int result = 99;
        size_t handlesBefore = 0;
        LoggedRun run = RunLogged([&] {
            c.arrange(winsim::Current());
            handlesBefore = winsim::Current().OpenHandleCount();
            result = DeleteFileOrSchedule(file.c_str());
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(run.app, c.app);
        Lines all = c.app;
        all.insert(all.end(), c.debugOnly.begin(), c.debugOnly.end());
        EXPECT_EQ(run.all, all);
        std::string console;
        for (const std::string& line : c.app)
            console += "\n" + line;
        EXPECT_EQ(run.console, console);
        EXPECT_EQ(M().PendingFileRenames(), c.pending);
        EXPECT_EQ(M().files.Exists(file), c.remains);
        EXPECT_EQ(M().OpenHandleCount(), handlesBefore);
    }
}

TEST_F(RecursiveDeleteTest, ScheduledFileIsGoneAfterRestart)
{
    M().files.AddFile("C:\\T\\in-use.dll");
    M().files.Lock("C:\\T\\in-use.dll");
    ASSERT_EQ(DeleteFileOrSchedule("C:\\T\\in-use.dll"), 1);
    M().Restart();
    EXPECT_FALSE(M().files.Exists("C:\\T\\in-use.dll"));
}

TEST_F(RecursiveDeleteTest, MissingDirectoryReportsAroundTheAttempt)
{
    int result = 0;
    LoggedRun run = RunLogged([&] { result = RemoveDirectoryTree("C:\\Gone"); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(run.app, (Lines{"Failed to remove the contents of directory C:\\Gone", "Removing directory C:\\Gone",
                              "Failed to remove the directory C:\\Gone"}));
    EXPECT_EQ(run.all, (Lines{"RecursiveDelete is unable to find the directory C:\\Gone",
                              "Failed to remove the contents of directory C:\\Gone", "Removing directory C:\\Gone",
                              "Failed to remove the directory C:\\Gone"}));
    EXPECT_EQ(run.console, "");
}

TEST_F(RecursiveDeleteTest, EmptyAndReadOnlyTopDirectoriesAreRemoved)
{
    for (DWORD attributes : {FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                                                           FILE_ATTRIBUTE_HIDDEN}) {
        SCOPED_TRACE(attributes);
        int result = 99;
        LoggedRun run = RunLogged([&] {
            winsim::Current().files.AddDirectory("C:\\Empty", attributes);
            result = RemoveDirectoryTree("C:\\Empty");
        });
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(M().files.Exists("C:\\Empty"));
        EXPECT_EQ(run.console, "\n\nRemoving the contents of directory C:\\Empty");
        EXPECT_EQ(run.app, (Lines{"Removing the contents of directory C:\\Empty", "Removing directory C:\\Empty"}));
        EXPECT_EQ(run.all, run.app);
    }
}

TEST_F(RecursiveDeleteTest, TreeIsEmptiedDepthFirstAndALockedFileKeepsItsDirectories)
{
    int result = 99;
    LoggedRun run = RunLogged([&] {
        winsim::Machine& m = winsim::Current();
        m.files.AddFile("C:\\T\\a.txt");
        m.files.AddFile("C:\\T\\sub\\b.txt", "", FILE_ATTRIBUTE_READONLY);
        m.files.AddFile("C:\\T\\sub\\deep\\c.txt", "", FILE_ATTRIBUTE_HIDDEN);
        m.files.AddFile("C:\\T\\sub\\deep\\locked.dat");
        m.files.Lock("C:\\T\\sub\\deep\\locked.dat");
        m.files.AddFile("C:\\T\\z.txt");
        result = RemoveDirectoryTree("C:\\T");
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(run.console,
              "\n\nRemoving the contents of directory C:\\T"
              "\nDeleted file C:\\T\\a.txt"
              "\n\nRemoving the contents of directory C:\\T\\sub"
              "\nDeleted file C:\\T\\sub\\b.txt"
              "\n\nRemoving the contents of directory C:\\T\\sub\\deep"
              "\nDeleted file C:\\T\\sub\\deep\\c.txt"
              "\nMarked locked file C:\\T\\sub\\deep\\locked.dat for deletion"
              "\nRemoving directory C:\\T\\sub\\deep"
              "\nRemoving directory C:\\T\\sub"
              "\nDeleted file C:\\T\\z.txt");
    Lines expected = {
        "Removing the contents of directory C:\\T",
        "Deleted file C:\\T\\a.txt",
        "Removing the contents of directory C:\\T\\sub",
        "Deleted file C:\\T\\sub\\b.txt",
        "Removing the contents of directory C:\\T\\sub\\deep",
        "Deleted file C:\\T\\sub\\deep\\c.txt",
        "Marked locked file C:\\T\\sub\\deep\\locked.dat for deletion",
        "Removing directory C:\\T\\sub\\deep",
        "Removing directory C:\\T\\sub",
        "Deleted file C:\\T\\z.txt",
        "Removing directory C:\\T",
        "Failed to remove the directory C:\\T",
    };
    EXPECT_EQ(run.app, expected);
    EXPECT_EQ(run.all, expected);
    EXPECT_EQ(M().files.Listing("C:\\T"), "dir - C:\\T\\sub\n"
                                          "dir - C:\\T\\sub\\deep\n"
                                          "locked - C:\\T\\sub\\deep\\locked.dat\n");
    EXPECT_EQ(M().PendingFileRenames(), (Lines{"\\??\\C:\\T\\sub\\deep\\locked.dat", ""}));
    EXPECT_EQ(M().OpenHandleCount(), 0u);
}

TEST_F(RecursiveDeleteTest, OnlyPlainReadOnlyOrHiddenSubdirectoriesAreWalked)
{
    struct Case {
        DWORD attributes;
        bool walked;
    } cases[] = {
        {16, true}, {17, true}, {18, true}, {19, true},
        // Any further attribute makes it a "file": it is scheduled, not listed.
        {48, false},   // archive
        {20, false},   // system
        {0x410, false},  // reparse point, such as a junction
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        int result = 99;
        LoggedRun run = RunLogged([&] {
            winsim::Machine& m = winsim::Current();
            m.files.AddFile("C:\\T\\Sub\\inner.txt");
            m.files.Find("C:\\T\\Sub")->attributes = c.attributes;
            result = RecursiveDelete("C:\\T");
        });
        EXPECT_EQ(result, 0);
        if (c.walked) {
            EXPECT_EQ(run.console, "\n\nRemoving the contents of directory C:\\T"
                                   "\n\nRemoving the contents of directory C:\\T\\Sub"
                                   "\nDeleted file C:\\T\\Sub\\inner.txt"
                                   "\nRemoving directory C:\\T\\Sub");
            EXPECT_FALSE(M().files.Exists("C:\\T\\Sub"));
            EXPECT_TRUE(M().PendingFileRenames().empty());
        } else {
            EXPECT_EQ(run.console, "\n\nRemoving the contents of directory C:\\T"
                                   "\nMarked locked file C:\\T\\Sub for deletion");
            EXPECT_TRUE(M().files.Exists("C:\\T\\Sub\\inner.txt"));
            EXPECT_EQ(M().PendingFileRenames(), (Lines{"\\??\\C:\\T\\Sub", ""}));
        }
    }
}

TEST_F(RecursiveDeleteTest, ListingErrorEndsTheWalkWithFailure)
{
    M().files.AddFile("C:\\T\\a.txt");
    EnableLogs(true, true);
    // The second entry cannot be read: only "." was seen.
    M().FailCall("FindNextFileA", ERROR_ACCESS_DENIED, "", 1);
    EXPECT_EQ(RecursiveDelete("C:\\T"), -1);
    EXPECT_EQ(LogMessages(), (Lines{"Removing the contents of directory C:\\T",
                                    "RecursiveDelete is unable to find the next file in directory C:\\T"}));
    EXPECT_TRUE(M().files.Exists("C:\\T\\a.txt"));
    EXPECT_EQ(M().OpenHandleCount(), 0u);
}

TEST_F(RecursiveDeleteTest, OverlongPathsAreRefusedNotShortened)
{
    // 3 + 247 = 250 characters: the directory and its pattern fit, "dir\longname.txt" does not.
    std::string dir = "C:\\" + std::string(247, 'd');
    std::string shortFile = dir + "\\x";
    std::string longFile = dir + "\\longname.txt";
    M().files.AddFile(shortFile);
    M().files.AddFile(longFile);
    EnableLogs(true, true);
    EXPECT_EQ(RecursiveDelete(dir.c_str()), 0);
    EXPECT_FALSE(M().files.Exists(shortFile));
    EXPECT_TRUE(M().files.Find(dir)->children.count("longname.txt"));
    EXPECT_TRUE(M().PendingFileRenames().empty());
    Lines log = LogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), "Skipping a path longer than 255 characters: " + longFile),
              log.end());

    // 254 characters: "dir\*" no longer fits, so the directory is not listed at all.
    winsim::Reset();
    EnableLogs(true, true);
    std::string deep = "C:\\" + std::string(251, 'e');
    M().files.AddFile(deep + "\\f");
    EXPECT_EQ(RecursiveDelete(deep.c_str()), -1);
    EXPECT_EQ(LogMessages(), (Lines{"Skipping a path longer than 255 characters: " + deep + "\\*"}));
    EXPECT_TRUE(M().files.Exists(deep + "\\f"));
}

}  // namespace
