// Loading the transport library: missing library, missing functions, and finding it later.
// This program has no run path to the build's library folder, so the transport is found only where the
// test puts it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "api/Globals.h"
#include "transport/YoxaDll.h"
#include "yoxa/yoxa.h"

namespace fs = std::filesystem;

TEST(TransportLoading, MissingFunctionsFailTheLoadAndForwardersAnswerTheirFixedValues) {
    ASSERT_EQ(yoxaLoadDll(YOXA_PARTIAL_TRANSPORT_PATH), -1);
    EXPECT_EQ(yoxaApiFunctions.loaded, 0);
    EXPECT_NE(yoxaApiFunctions.library, nullptr);  // the handle stays open

    struct Case {
        const char* name;
        std::function<long long()> call;
        long long expected;
    };
    uint32_t value = 0;
    const Case cases[] = {
        {"yoxaGetRegisterInt", [&] { return static_cast<long long>(yoxaGetRegisterInt(1, 2, &value)); }, -1},
        {"yoxaGetPendingImageCount",
         [] { return static_cast<long long>(yoxaGetPendingImageCount(1, false)); }, 0},
        {"yoxaGetHeaderSize", [] { return static_cast<long long>(yoxaGetHeaderSize(nullptr)); }, 0},
        {"yoxaGetNextImage", [] { return static_cast<long long>(yoxaGetNextImage(1, false) != nullptr); }, 0},
        {"yoxaIsBufferEmpty", [] { return static_cast<long long>(yoxaIsBufferEmpty(1, false)); }, 1},
        {"yoxaDiscover", [] { return static_cast<long long>(yoxaDiscover(nullptr, 10, 100)); }, -1},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(c.call(), c.expected) << c.name;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, std::string("yoxabase library: Function pointer for \"") + c.name +
                           "\" not initialized, did `yoxaLoadDll(...)' succeed?\n");
    }
    testing::internal::CaptureStderr();
    yoxaPopImage(1, false, nullptr);
    yoxaSetBufferSize(1, 200);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("\"yoxaSetBufferSize\""), std::string::npos);

    // The functions that were found still work.
    EXPECT_EQ(yoxaGetVersion(), 0x02000000u);
    EXPECT_EQ(yoxaUnloadDll(), 0);
}

TEST(TransportLoading, OpenWithoutTransportGives22AndALaterOpenFindsIt) {
    fs::path dir = fs::temp_directory_path() / ("yoxa-load-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path previous = fs::current_path();
    fs::current_path(dir);

    int count = -1;
    char** ids = nullptr;
    EXPECT_EQ(_Open(&count, &ids, 100), CS_DRIVER_MISSING);
    EXPECT_EQ(g_ImageReception, nullptr);
    EXPECT_EQ(_StartGrabbing(nullptr), CS_NOT_CONNECTED);

    // A transport beside the program (the working directory) is found on the next attempt.
    fs::copy_file(YOXA_TRANSPORT_PATH, dir / "libyoxabase.so");
    EXPECT_EQ(_Open(&count, &ids, 100), CS_SUCCESS);
    EXPECT_NE(g_ImageReception, nullptr);
    EXPECT_EQ(count, 2);
    _Close();
    EXPECT_EQ(g_ImageReception, nullptr);

    fs::current_path(previous);
    fs::remove_all(dir);
}
