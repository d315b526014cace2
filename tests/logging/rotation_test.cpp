// Rotation of full log files to numbered names, and the retention of rotated files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "LoggingTestSupport.h"
#include "logging/Log.h"
#include "logging/Logging.h"

namespace {

using namespace std::chrono_literals;
using yoxa::test::LoggingTest;
using yoxa::test::ReadFile;
using yoxa::test::SetAge;
using yoxa::test::TempFolder;
using yoxa::test::WriteFile;

std::set<std::string> Listing(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename());
    return names;
}

TEST(RotationName, SkipsNamesOnDiskAndKeepsCounting) {
    TempFolder folder;
    WriteFile(folder / "app_#1.log", "one");
    WriteFile(folder / "app_#2.log", "two");
    std::filesystem::create_directory(folder / "app_#4.log");
    log_file_idx = 0;
    const std::string log = (folder / "app.log").string();

    EXPECT_EQ(NextRotatedLogName(log.c_str()), (folder / "app_#3.log").string());
    EXPECT_EQ(log_file_idx, 3);
    // Nothing was created at #3 yet; the number still moves on, and a folder also occupies a name.
    EXPECT_EQ(NextRotatedLogName(log.c_str()), (folder / "app_#5.log").string());
    EXPECT_EQ(log_file_idx, 5);
}

TEST(RotationName, DropsOnlyTheExtensionOfTheFileName) {
    struct Case {
        const char* file;
        const char* rotated;
    };
    const Case cases[] = {
        {"logs/yoxa.log", "logs/yoxa_#1.log"}, {"yoxa", "yoxa_#1.log"},
        {"yoxa.2024.txt", "yoxa.2024_#1.log"}, {"logs.d/yoxa", "logs.d/yoxa_#1.log"},
        {"./yoxa", "./yoxa_#1.log"},           {"logs/.yoxa", "logs/.yoxa_#1.log"},
    };
    TempFolder folder;  // so that none of the names exists
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        log_file_idx = 0;
        const std::string file = (folder.Path() / c.file).string();
        EXPECT_EQ(NextRotatedLogName(file.c_str()), (folder.Path() / c.rotated).string());
    }
}

TEST(RolloutHandler, RenamesTheFullFileToTheNextFreeName) {
    TempFolder folder;
    WriteFile(folder / "app.log", "full");
    WriteFile(folder / "app_#1.log", "one");
    log_file_idx = 0;
    RolloutHandler((folder / "app.log").c_str(), 4);
    EXPECT_EQ(Listing(folder.Path()), (std::set<std::string>{"app_#1.log", "app_#2.log"}));
    EXPECT_EQ(ReadFile(folder / "app_#2.log"), "full");
    EXPECT_EQ(ReadFile(folder / "app_#1.log"), "one");
}

using RotationTest = LoggingTest;

TEST_F(RotationTest, FullLogFileRotatesPastExistingNumbers) {
    WriteFile(folder_ / "app_#1.log", "one");
    WriteFile(folder_ / "app_#2.log", "two");
    log_file_idx = 0;
    Configure("* GLOBAL:\n  FILENAME = \"" + (folder_ / "app.log").string() +
              "\"\n  TO_STANDARD_OUTPUT = false\n  FORMAT = \"%msg\"\n  MAX_LOG_FILE_SIZE = 100\n");
    // Each check follows a write: the first line alone fills the file.
    const std::string line(120, 'a');
    YLOG(INFO) << "first " << line;
    YLOG(INFO) << "second";
    el::Loggers::flushAll();

    EXPECT_EQ(ReadFile(folder_ / "app_#3.log"), "first " + line + "\n");
    EXPECT_EQ(ReadFile(folder_ / "app.log"), "second\n");
    EXPECT_EQ(ReadFile(folder_ / "app_#1.log"), "one");
    EXPECT_EQ(ReadFile(folder_ / "app_#2.log"), "two");
}

TEST_F(RotationTest, LogFileFullAtShutDownIsRotatedNotEmptied) {
    log_file_idx = 0;
    // With a flush threshold the size is only checked when the file is flushed, here at shut-down.
    Configure("* GLOBAL:\n  FILENAME = \"" + (folder_ / "app.log").string() +
              "\"\n  TO_STANDARD_OUTPUT = false\n  FORMAT = \"%msg\"\n  MAX_LOG_FILE_SIZE = 100\n"
              "  LOG_FLUSH_THRESHOLD = 1000\n");
    const std::string line(150, 'b');
    YLOG(INFO) << line;
    DeInitLogging();
    EXPECT_EQ(ReadFile(folder_ / "app_#1.log"), line + "\n");
}

TEST(DeleteOldFiles, DeletesOnlyExpiredRotatedFilesOfThatLog) {
    struct Case {
        int days;
        std::set<std::string> deleted;
    };
    const Case cases[] = {
        {10, {"app_#1.log", "app_#12.log"}},
        {40, {"app_#12.log"}},
        {0, {}},
        {-5, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.days);
        TempFolder folder;
        // name -> age in days
        const std::pair<const char*, int> files[] = {
            {"app_#1.log", 30},   {"app_#12.log", 60}, {"app_#2.log", 1},   {"app.log", 90},
            {"app_#x.log", 90},   {"app_#01.log", 90}, {"app_#3.txt", 90},  {"app_#3.log.gz", 90},
            {"other_#1.log", 90}, {"xapp_#1.log", 90}, {"app_#-1.log", 90}, {"notes.txt", 90},
        };
        for (auto [name, age] : files) {
            WriteFile(folder / name, name);
            SetAge(folder / name, std::chrono::hours(24 * age));
        }
        std::filesystem::create_directory(folder / "app_#5.log");
        SetAge(folder / "app_#5.log", 90 * 24h);
        std::filesystem::create_symlink(folder / "app.log", folder / "app_#6.log");

        std::set<std::string> expected = Listing(folder.Path());
        for (const std::string& name : c.deleted) expected.erase(name);
        DeleteOldFiles((folder / "app.log").string(), c.days);
        EXPECT_EQ(Listing(folder.Path()), expected);
    }
}

TEST(DeleteOldFiles, LooksBesideTheLogFileOnly) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "logs");
    WriteFile(folder / "logs" / "yoxa_#1.log", "old");
    WriteFile(folder / "yoxa_#1.log", "old, but not beside the log");
    SetAge(folder / "logs" / "yoxa_#1.log", 100 * 24h);
    SetAge(folder / "yoxa_#1.log", 100 * 24h);
    DeleteOldFiles((folder / "logs" / "yoxa.log").string(), 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "logs" / "yoxa_#1.log"));
    EXPECT_TRUE(std::filesystem::exists(folder / "yoxa_#1.log"));
}

TEST(DeleteOldFiles, MaximumRetentionKeepsEvenVeryOldFiles) {
    TempFolder folder;
    WriteFile(folder / "app_#1.log", "old");
    SetAge(folder / "app_#1.log", 24h * 365 * 50);
    DeleteOldFiles((folder / "app.log").string(), kMaxKeepLogfilesDays);
    EXPECT_TRUE(std::filesystem::exists(folder / "app_#1.log"));
}

TEST_F(RotationTest, ConfigurationDeletesExpiredFilesAtStartAndAtEveryRotation) {
    WriteFile(folder_ / "app_#1.log", "old");
    SetAge(folder_ / "app_#1.log", 30 * 24h);
    log_file_idx = 0;
    Configure("* GLOBAL:\n  FILENAME = \"" + (folder_ / "app.log").string() +
              "\"\n  TO_STANDARD_OUTPUT = false\n  FORMAT = \"%msg\"\n  MAX_LOG_FILE_SIZE = 100\n"
              "  KEEP_LOGFILES_DAYS = 10\n");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "app_#1.log"));

    // A rotated file that expired while the process ran goes at the next rotation.
    WriteFile(folder_ / "app_#7.log", "expired meanwhile");
    SetAge(folder_ / "app_#7.log", 11 * 24h);
    YLOG(INFO) << std::string(120, 'c');
    YLOG(INFO) << "next";
    EXPECT_FALSE(std::filesystem::exists(folder_ / "app_#7.log"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "app_#1.log"));  // the rotation just made
}

}  // namespace
