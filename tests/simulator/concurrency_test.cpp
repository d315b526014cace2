// Register traffic on two cameras at once, while a third thread discovers, peeks and drops links.
// Runs under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "SimTest.h"

namespace {

std::atomic<int> gLostCalls[3];
void OnLost(int32_t handle) {
    ++gLostCalls[handle];
}

}  // namespace

TEST(Concurrency, TwoCamerasKeepTheirOwnValuesUnderConcurrentTraffic) {
    ASSERT_EQ(yoxasimLoadWorld(nullptr), 0);
    ASSERT_EQ(Discover().size(), 2u);
    ASSERT_EQ(yoxaOpenCamera(1, nullptr), 0);
    ASSERT_EQ(yoxaOpenCamera(2, nullptr), 0);
    constexpr int kRounds = 2000;
    std::atomic<int> failures{0};
    auto traffic = [&](int32_t handle) {
        for (int i = 0; i < kRounds; ++i) {
            uint32_t freq = static_cast<uint32_t>(handle * 10000 + i % 1000 + 1);
            float exposure = static_cast<float>(handle * 100 + i % 50);
            uint32_t readFreq = 0;
            float readExposure = 0;
            if (yoxaSetRegisterInt(handle, 20012, &freq) != 0 ||
                yoxaSetRegisterFloat(handle, 25, &exposure) != 0 ||
                yoxaGetRegisterInt(handle, 20012, &readFreq) != 0 ||
                yoxaGetRegisterFloat(handle, 25, &readExposure) != 0 || readFreq != freq ||
                readExposure != exposure) {
                ++failures;
            }
        }
    };
    std::atomic<bool> done{false};
    std::thread observer([&] {
        while (!done) {
            unsigned value;
            yoxasimPeekRegister("0:1f:a:12:34:5", 20012, &value);
            yoxasimRegisterLog("0:1f:a:12:35:17", nullptr, nullptr, 0);
            int32_t handles[10];
            yoxaDiscover(handles, 10, 0);
        }
    });
    std::thread first(traffic, 1);
    std::thread second(traffic, 2);
    first.join();
    second.join();
    done = true;
    observer.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(yoxasimRegisterLog("0:1f:a:12:35:17", nullptr, nullptr, 0), 2 * kRounds);
    yoxaRelease();
}

TEST(Concurrency, LinkDroppedDuringTrafficCallsBackOnce) {
    ASSERT_EQ(yoxasimLoadWorld(nullptr), 0);
    ASSERT_EQ(Discover().size(), 2u);
    for (int32_t h : {1, 2}) {
        gLostCalls[h] = 0;
        ASSERT_EQ(yoxaOpenCamera(h, OnLost), 0);
    }
    std::atomic<bool> stop{false};
    std::atomic<int> noResponse{0};
    auto traffic = [&](int32_t handle) {
        while (!stop) {
            uint32_t v = 0;
            if (yoxaGetRegisterInt(handle, 2, &v) == -4) ++noResponse;
        }
    };
    std::thread first(traffic, 1);
    std::thread second(traffic, 2);
    std::vector<std::thread> droppers;
    for (int i = 0; i < 4; ++i) droppers.emplace_back([] { yoxasimDropLink("00:1f:0a:12:34:05"); });
    for (auto& t : droppers) t.join();
    EXPECT_TRUE(WaitFor([] { return gLostCalls[1] == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    stop = true;
    first.join();
    second.join();
    EXPECT_EQ(gLostCalls[1], 1);
    EXPECT_EQ(gLostCalls[2], 0);
    EXPECT_GT(noResponse, 0);
    yoxaRelease();
}
