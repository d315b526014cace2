// The batch register routines against a stand-in transport: the loaded-function table is the seam, so no
// transport library is needed.
#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "parameters/RegisterAccess.h"
#include "transport/YoxaDll.h"

namespace {

// A sensor whose registers answer reads with a value derived from the number; one register can be made
// to fail with a chosen transport status.
struct FakeSensor {
    struct Access {
        int32_t handle;
        int32_t reg;
        double value;  // the value written, or 0 for reads
        bool operator==(const Access&) const = default;
    };
    static inline std::vector<Access> accesses;
    static inline int32_t faultRegister = -1;
    static inline YOXA_API_STATUS faultStatus = YOXA_STATUS_ERROR;

    static YOXA_API_STATUS Answer(int32_t handle, int32_t reg, double written) {
        accesses.push_back({handle, reg, written});
        return reg == faultRegister ? faultStatus : YOXA_STATUS_SUCCESS;
    }
    static YOXA_API_STATUS SetInt(int32_t h, int32_t reg, uint32_t* value) { return Answer(h, reg, *value); }
    static YOXA_API_STATUS SetFloat(int32_t h, int32_t reg, float* value) { return Answer(h, reg, *value); }
    static YOXA_API_STATUS GetInt(int32_t h, int32_t reg, uint32_t* value) {
        YOXA_API_STATUS status = Answer(h, reg, 0);
        if (status == YOXA_STATUS_SUCCESS) *value = static_cast<uint32_t>(reg) + 1000u;
        return status;
    }
    static YOXA_API_STATUS GetFloat(int32_t h, int32_t reg, float* value) {
        YOXA_API_STATUS status = Answer(h, reg, 0);
        if (status == YOXA_STATUS_SUCCESS) *value = static_cast<float>(reg) + 0.5f;
        return status;
    }
};

// The four routines under one shape: Value, whether it reads, the call, the value a read yields.
struct IntWrites {
    using Value = uint32_t;
    static constexpr bool kReads = false;
    static CameraStatus Run(int32_t handle, std::vector<std::pair<int, Value>>& list) {
        return SetRegisterBatch(handle, list);
    }
};
struct IntReads {
    using Value = uint32_t;
    static constexpr bool kReads = true;
    static Value ReadValue(int reg) { return static_cast<Value>(reg) + 1000u; }
    static CameraStatus Run(int32_t handle, std::vector<std::pair<int, Value>>& list) {
        return ReadRegisterBatch(handle, list);
    }
};
struct FloatWrites {
    using Value = float;
    static constexpr bool kReads = false;
    static CameraStatus Run(int32_t handle, std::vector<std::pair<int, Value>>& list) {
        return SetFloatRegisterBatch(handle, list);
    }
};
struct FloatReads {
    using Value = float;
    static constexpr bool kReads = true;
    static Value ReadValue(int reg) { return static_cast<Value>(reg) + 0.5f; }
    static CameraStatus Run(int32_t handle, std::vector<std::pair<int, Value>>& list) {
        return ReadFloatRegisterBatch(handle, list);
    }
};

template <typename Routine>
class RegisterBatch : public ::testing::Test {
protected:
    using Value = typename Routine::Value;
    static constexpr int32_t kHandle = 7;

    void SetUp() override {
        saved_ = yoxaApiFunctions;
        yoxaApiFunctions.yoxaSetRegisterInt = FakeSensor::SetInt;
        yoxaApiFunctions.yoxaGetRegisterInt = FakeSensor::GetInt;
        yoxaApiFunctions.yoxaSetRegisterFloat = FakeSensor::SetFloat;
        yoxaApiFunctions.yoxaGetRegisterFloat = FakeSensor::GetFloat;
        FakeSensor::accesses.clear();
        FakeSensor::faultRegister = -1;
    }
    void TearDown() override { yoxaApiFunctions = saved_; }

    // Three registers with distinct values; reads start from a marker that shows what was not touched.
    static std::vector<std::pair<int, Value>> ThreePairs() {
        Value marker = Routine::kReads ? Value(99) : Value(0);
        return {{20144, Routine::kReads ? marker : Value(11)},
                {20148, Routine::kReads ? marker : Value(22)},
                {20152, Routine::kReads ? marker : Value(33)}};
    }
    static FakeSensor::Access Expected(const std::pair<int, Value>& pair) {
        return {kHandle, pair.first, Routine::kReads ? 0.0 : static_cast<double>(pair.second)};
    }

private:
    YoxaApiFunctions saved_;
};

using Routines = ::testing::Types<IntWrites, IntReads, FloatWrites, FloatReads>;
TYPED_TEST_SUITE(RegisterBatch, Routines);

TYPED_TEST(RegisterBatch, WalksEveryPairInOrder) {
    auto list = this->ThreePairs();
    const auto original = list;
    EXPECT_EQ(TypeParam::Run(this->kHandle, list), CS_SUCCESS);
    ASSERT_EQ(FakeSensor::accesses.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(FakeSensor::accesses[i], this->Expected(original[i]));
        if constexpr (TypeParam::kReads) {
            EXPECT_EQ(list[i].second, TypeParam::ReadValue(list[i].first));
        } else {
            EXPECT_EQ(list[i], original[i]);
        }
    }
}

TYPED_TEST(RegisterBatch, EmptyListSucceedsWithoutTransportCalls) {
    std::vector<std::pair<int, typename TypeParam::Value>> list;
    EXPECT_EQ(TypeParam::Run(this->kHandle, list), CS_SUCCESS);
    EXPECT_TRUE(FakeSensor::accesses.empty());
}

TYPED_TEST(RegisterBatch, StopsAtTheFirstFailureWithItsConvertedStatus) {
    const std::pair<YOXA_API_STATUS, CameraStatus> statuses[] = {
        {YOXA_STATUS_NO_RESPONSE, CS_NOT_CONNECTED},
        {YOXA_STATUS_OUT_OF_RANGE, CS_OUT_OF_RANGE},
        {YOXA_STATUS_ERROR, CS_UNKNOWN_ERROR},
        {-2, CS_UNKNOWN_ERROR},
        {1, CS_UNKNOWN_ERROR},
    };
    for (auto [transport, converted] : statuses) {
        SCOPED_TRACE("transport status " + std::to_string(transport));
        FakeSensor::accesses.clear();
        auto list = this->ThreePairs();
        const auto original = list;
        FakeSensor::faultRegister = list[1].first;
        FakeSensor::faultStatus = transport;

        EXPECT_EQ(TypeParam::Run(this->kHandle, list), converted);
        // The first register was reached, the failing one was tried, the third never.
        EXPECT_EQ(FakeSensor::accesses, (std::vector<FakeSensor::Access>{this->Expected(original[0]),
                                                                         this->Expected(original[1])}));
        if constexpr (TypeParam::kReads) {
            EXPECT_EQ(list[0].second, TypeParam::ReadValue(list[0].first));
            EXPECT_EQ(list[1], original[1]);
            EXPECT_EQ(list[2], original[2]);
        }
    }
}

}  // namespace
