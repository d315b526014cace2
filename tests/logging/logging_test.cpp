// Configuration: KEEP_LOGFILES_DAYS, the level gate, the built-in configuration, the transport's switch.
#include "logging/Logging.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "LoggingTestSupport.h"
#include "logging/Log.h"
#include "transport/YoxaDll.h"

namespace {

using yoxa::logging::LevelGate;
using namespace yoxa::logging;
using yoxa::test::LoggingTest;
using yoxa::test::ReadFile;

TEST(SplitLogConfig, TakesKeepLogfilesDaysOfTheGlobalLevelAndHidesIt) {
    struct Case {
        const char* text;
        int days;
    };
    const Case cases[] = {
        {"* GLOBAL:\n  KEEP_LOGFILES_DAYS = 30\n", 30},
        {"* GLOBAL:\n  KEEP_LOGFILES_DAYS = 200000\n", 150000},
        {"* GLOBAL:\n  KEEP_LOGFILES_DAYS = 99999999999999999999\n", 150000},
        {"* GLOBAL:\n  KEEP_LOGFILES_DAYS = -3\n", -3},
        {"* GLOBAL:\n  keep_logfiles_days = 7   ## a week\n", 7},
        {"* GLOBAL:\n  KEEP_LOGFILES_DAYS = \"12\"\n", 12},
        {"* GLOBAL:\n  KEEP_LOGFILES_DAYS = soon\n", 0},
        {"* INFO:\n  KEEP_LOGFILES_DAYS = 5\n", 0},
        {"* GLOBAL:\n  KEEP_LOGFILES_DAYS = 30\n* INFO:\n  KEEP_LOGFILES_DAYS = 5\n", 30},
        {"* global:\n  FORMAT = \"%msg\"\n  KEEP_LOGFILES_DAYS = 4\n", 4},
        {"* GLOBAL:\n  ## KEEP_LOGFILES_DAYS = 9\n", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        LogConfigText split = SplitLogConfig(in);
        EXPECT_EQ(split.keepLogfilesDays, c.days);
        std::string upper = split.forLogger;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        std::size_t key = upper.find("KEEP_LOGFILES_DAYS");
        // Only a commented-out key may stay: the logging library's reader rejects the key.
        EXPECT_TRUE(key == std::string::npos || upper.rfind("##", key) != std::string::npos)
            << split.forLogger;
    }
}

TEST(SplitLogConfig, PassesEveryOtherLineUnchanged) {
    const std::string text =
        "## logging of the sensor SDK\n"
        "* GLOBAL:\n"
        "   FILENAME = \"logs/yoxa.log\"\n"
        "   KEEP_LOGFILES_DAYS = 10\n"
        "   MAX_LOG_FILE_SIZE = 1048576\n"
        "* DEBUG:\n"
        "   ENABLED = false\n";
    std::istringstream in(text);
    EXPECT_EQ(SplitLogConfig(in).forLogger,
              "## logging of the sensor SDK\n"
              "* GLOBAL:\n"
              "   FILENAME = \"logs/yoxa.log\"\n"
              "   MAX_LOG_FILE_SIZE = 1048576\n"
              "* DEBUG:\n"
              "   ENABLED = false\n");
}

using InitLoggingTest = LoggingTest;

TEST_F(InitLoggingTest, StoresKeepLogfilesDaysLimitedAndKeepsItFromTheLoggingLibrary) {
    const std::string log = (folder_ / "app.log").string();
    testing::internal::CaptureStderr();
    Configure("* GLOBAL:\n  FILENAME = \"" + log +
              "\"\n  TO_STANDARD_OUTPUT = false\n  KEEP_LOGFILES_DAYS = 200000\n");
    std::string complaints = testing::internal::GetCapturedStderr();
    EXPECT_EQ(keep_logfiles_days, 150000);
    EXPECT_EQ(complaints, "") << "the logging library saw a key it does not know";

    YLOG(INFO) << "after the key";
    el::Loggers::flushAll();
    EXPECT_NE(ReadFile(log).find("after the key"), std::string::npos) << "settings after the key were lost";
}

TEST_F(InitLoggingTest, UnreadableFileChangesNothing) {
    keep_logfiles_days = 17;
    unsigned gate = LevelGate::Get();
    EXPECT_FALSE(InitLogging((folder_ / "missing.conf").c_str()));
    EXPECT_EQ(keep_logfiles_days, 17);
    EXPECT_EQ(LevelGate::Get(), gate);
}

// The gate must open exactly the levels the configuration enables: a closed gate for an enabled level
// loses messages, an open gate for a disabled one costs the logging library's locks on hot paths.
TEST_F(InitLoggingTest, LevelGateFollowsTheConfiguredLevels) {
    struct Case {
        const char* levels;
        unsigned gate;
    };
    const Case cases[] = {
        {"", kTRACE | kDEBUG | kINFO | kWARNING | kERROR},
        {"* TRACE:\n  ENABLED = false\n* DEBUG:\n  ENABLED = false\n", kINFO | kWARNING | kERROR},
        {"* GLOBAL:\n  ENABLED = false\n* ERROR:\n  ENABLED = true\n", kERROR},
        {"* GLOBAL:\n  ENABLED = false\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.levels);
        const std::filesystem::path log = folder_ / ("gate" + std::to_string(&c - cases) + ".log");
        Configure("* GLOBAL:\n  FILENAME = \"" + log.string() + "\"\n  TO_STANDARD_OUTPUT = false\n" +
                  c.levels);
        EXPECT_EQ(LevelGate::Get(), c.gate);

        YLOG(TRACE) << "probe-trace";
        YLOG(DEBUG) << "probe-debug";
        YLOG(INFO) << "probe-info";
        YLOG(WARNING) << "probe-warning";
        YLOG(ERROR) << "probe-error";
        el::Loggers::flushAll();
        const std::string written = ReadFile(log);
        const std::pair<const char*, unsigned> probes[] = {{"probe-trace", kTRACE},
                                                           {"probe-debug", kDEBUG},
                                                           {"probe-info", kINFO},
                                                           {"probe-warning", kWARNING},
                                                           {"probe-error", kERROR}};
        for (auto [probe, bit] : probes) {
            EXPECT_EQ(written.find(probe) != std::string::npos, (c.gate & bit) != 0) << probe;
        }
    }
}

using BuiltInConfigurationTest = LoggingTest;

TEST_F(BuiltInConfigurationTest, WarningsAndErrorsGoToStandardErrorOnly) {
    UseBuiltInLoggingConfiguration();
    EXPECT_EQ(LevelGate::Get(), kWARNING | kERROR);

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    YLOG(TRACE) << "probe-trace";
    YLOG(DEBUG) << "probe-debug";
    YLOG(INFO) << "probe-info";
    YLOG(WARNING) << "probe-warning";
    YLOG(ERROR) << "probe-error";
    // Past the gate, the loggers themselves must drop disabled levels too.
    CLOG(INFO, "default") << "probe-ungated-info";
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("WARNING [yoxa] probe-warning\n"), std::string::npos) << err;
    EXPECT_NE(err.find("ERROR [yoxa] probe-error\n"), std::string::npos) << err;
    for (const char* dropped : {"probe-trace", "probe-debug", "probe-info", "probe-ungated-info"}) {
        EXPECT_EQ(err.find(dropped), std::string::npos) << dropped;
    }
}

TEST_F(BuiltInConfigurationTest, MissingConfigurationFileIsReportedAsAWarning) {
    const std::string missing = (folder_ / "yoxalog.conf").string();
    testing::internal::CaptureStderr();
    ConfigureLogging(missing.c_str());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("WARNING [yoxa] Could not find " + missing + ". Logging disabled.\n"),
              std::string::npos)
        << err;
}

TEST_F(BuiltInConfigurationTest, PresentConfigurationFileIsApplied) {
    const std::filesystem::path conf = folder_ / "yoxalog.conf";
    yoxa::test::WriteFile(conf, "* GLOBAL:\n  FILENAME = \"" + (folder_ / "app.log").string() +
                                    "\"\n  TO_STANDARD_OUTPUT = false\n  KEEP_LOGFILES_DAYS = 3\n");
    testing::internal::CaptureStderr();
    ConfigureLogging(conf.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(keep_logfiles_days, 3);
    EXPECT_TRUE(LevelGate::On(kTRACE));
}

// The transport library's logging switch.
class TransportLoggingTest : public LoggingTest {
protected:
    void SetUp() override {
        saved_ = yoxaApiFunctions.yoxaLogging;
        yoxaApiFunctions.yoxaLogging = [](uint8_t enabled) -> YOXA_API_STATUS {
            received.push_back(enabled);
            return YOXA_STATUS_SUCCESS;
        };
        received.clear();
    }
    void TearDown() override {
        yoxaApiFunctions.yoxaLogging = saved_;
        LoggingTest::TearDown();
    }

    static inline std::vector<int> received;

private:
    YOXA_API_STATUS (*saved_)(uint8_t) = nullptr;
};

TEST_F(TransportLoggingTest, PassesTheLowEightBitsAndReportsTheWholeValue) {
    const std::filesystem::path log = folder_ / "app.log";
    Configure("* GLOBAL:\n  FILENAME = \"" + log.string() +
              "\"\n  TO_STANDARD_OUTPUT = false\n  FORMAT = \"%msg\"\n");
    struct Case {
        int enabled;
        int transport;
        const char* message;
    };
    const Case cases[] = {
        {5, 5, "YoxaAPI logging enabled"},
        {256, 0, "YoxaAPI logging enabled"},
        {0, 0, "YoxaAPI logging disabled"},
        {-1, 255, "YoxaAPI logging enabled"},
    };
    std::string expectedLog;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.enabled);
        received.clear();
        EXPECT_EQ(SetYoxaApiLoggingEnabledImpl(c.enabled), CS_SUCCESS);
        EXPECT_EQ(received, std::vector<int>{c.transport});
        expectedLog += std::string(c.message) + "\n";
    }
    el::Loggers::flushAll();
    EXPECT_EQ(ReadFile(log), expectedLog);
}

}  // namespace
