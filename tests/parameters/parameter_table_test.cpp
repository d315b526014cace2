// The exported table against an independent transcription (parameter_table.txt), and the lookups on it.
#include <easylogging++.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "parameters/ParameterTable.h"
#include "reception/ImageReception.h"
#include "yoxa/yoxa.h"

namespace {

struct ExpectedRow {
    int index = -1;
    std::string name;
    int reg = 0;
    std::string type;
    int custom = 0;
    std::string support[3];
};

// Spelled out here rather than through the library's FW(), so a wrong factor there shows.
int SupportWord(const std::string& text) {
    if (text == "all") return 0;
    if (text == "-") return -1;
    int major = 0, minor = 0, feature = 0;
    char dot1 = 0, dot2 = 0;
    std::istringstream in(text);
    in >> major >> dot1 >> minor >> dot2 >> feature;
    EXPECT_TRUE(in && dot1 == '.' && dot2 == '.') << "bad version in fixture: " << text;
    return major * 1000000 + minor * 1000 + feature;
}

int TypeCode(const std::string& text) {
    if (text == "int") return 1;
    if (text == "float") return 2;
    if (text == "string") return 8;
    ADD_FAILURE() << "bad type in fixture: " << text;
    return 0;
}

std::vector<ExpectedRow> ReadFixture() {
    std::vector<ExpectedRow> rows;
    std::ifstream in(YOXA_PARAMETER_TABLE_FIXTURE);
    EXPECT_TRUE(in) << YOXA_PARAMETER_TABLE_FIXTURE;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        ExpectedRow row;
        fields >> row.index >> row.name >> row.reg >> row.type >> row.custom >> row.support[0] >>
            row.support[1] >> row.support[2];
        EXPECT_TRUE(fields) << "bad fixture line: " << line;
        rows.push_back(row);
    }
    return rows;
}

TEST(ParameterTable, RecordAndArrayHaveTheExportedLayout) {
    EXPECT_EQ(sizeof(YOXA_PARAMETER), 280u);
    EXPECT_EQ(sizeof(_yoxaParametersList), 54320u);
    EXPECT_EQ(offsetof(YOXA_PARAMETER, name), 0u);
    EXPECT_EQ(offsetof(YOXA_PARAMETER, custom), 256u);
    EXPECT_EQ(offsetof(YOXA_PARAMETER, reg), 260u);
    EXPECT_EQ(offsetof(YOXA_PARAMETER, type), 264u);
    EXPECT_EQ(offsetof(YOXA_PARAMETER, minVersion), 268u);
}

TEST(ParameterTable, EveryRowMatchesTheDocumentedTable) {
    std::vector<ExpectedRow> rows = ReadFixture();
    ASSERT_EQ(rows.size(), 194u);
    std::set<std::string> names;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ExpectedRow& want = rows[i];
        const YOXA_PARAMETER& have = _yoxaParametersList[i];
        SCOPED_TRACE("row " + std::to_string(i) + " " + want.name);
        ASSERT_EQ(want.index, static_cast<int>(i)) << "fixture out of order";
        EXPECT_TRUE(names.insert(want.name).second) << "duplicate name";

        EXPECT_STREQ(have.name, want.name.c_str());
        // NUL-terminated and zero-padded: clients copy the whole field.
        const char* tail = have.name + want.name.size();
        EXPECT_EQ(std::count(tail, have.name + sizeof(have.name), '\0'),
                  static_cast<long>(sizeof(have.name) - want.name.size()));
        const uint8_t* reserved = reinterpret_cast<const uint8_t*>(&have) + 257;
        EXPECT_EQ(reserved[0] | reserved[1] | reserved[2], 0);

        EXPECT_EQ(have.reg, want.reg);
        EXPECT_EQ(have.type, TypeCode(want.type));
        EXPECT_EQ(have.custom, want.custom);
        for (int family = 0; family < 3; ++family) {
            EXPECT_EQ(have.minVersion[family], SupportWord(want.support[family])) << "family " << family;
        }
    }
}

TEST(ParameterTable, FirmwareVersionCode) {
    EXPECT_EQ(FW(4, 7, 4), 4007004);
    EXPECT_EQ(FW(1, 2, 0), QV_TARN_TS_FREQ_FIXED_FW_VERSION);
}

// Collects the messages of the "default" logger while alive.
class CapturedLog : public el::LogDispatchCallback {
public:
    std::vector<std::string> messages;

protected:
    void handle(const el::LogDispatchData* data) override {
        messages.push_back(data->logMessage()->message());
    }
};

class LogCapture {
public:
    LogCapture() { el::Helpers::installLogDispatchCallback<CapturedLog>("parameter-test"); }
    ~LogCapture() { el::Helpers::uninstallLogDispatchCallback<CapturedLog>("parameter-test"); }
    const std::vector<std::string>& Messages() {
        return el::Helpers::logDispatchCallback<CapturedLog>("parameter-test")->messages;
    }
};

TEST(MapParameter, FindsExactNamesOnly) {
    struct Case {
        const char* name;
        bool found;
        int type;
        int reg;
        bool custom;
    };
    const Case cases[] = {
        {"exposure", true, YOXA_PARAMETER_FLOAT, 25, false},
        {"gain", true, YOXA_PARAMETER_FLOAT, 32, true},
        {"sensor_calibration_file", true, YOXA_PARAMETER_STRING, 0, true},
        {"average_z_pixel_size", true, YOXA_PARAMETER_FLOAT, 0, true},  // the last entry
        {"Exposure", false, 0, 0, false},
        {"exposure ", false, 0, 0, false},
        {"", false, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        int type = -7, reg = -7;
        bool custom = !c.custom;
        CameraStatus status = CS_UNKNOWN_ERROR;
        EXPECT_EQ(CImageReception::MapParameter(c.name, &type, &reg, &custom, &status), c.found);
        if (c.found) {
            EXPECT_EQ(status, CS_SUCCESS);
            EXPECT_EQ(type, c.type);
            EXPECT_EQ(reg, c.reg);
            EXPECT_EQ(custom, c.custom);
            EXPECT_TRUE(log.Messages().empty());
        } else {
            EXPECT_EQ(status, CS_UNKNOWN_PARAMETER);
            EXPECT_EQ(log.Messages(), std::vector<std::string>{"MapParameter failed"});
        }
    }
}

TEST(ParameterSupport, DecidesByFamilyAndFirmware) {
    enum Family { kSkarvel = 0, kCamV2 = 1, kTarn = 2 };
    struct Case {
        const char* name;
        int family;
        int major, minor, feature;
        CameraStatus status;
    };
    const Case cases[] = {
        {"hdr_kp1_pos_float", kSkarvel, 9, 9, 9, CS_NOT_SUPPORTED},
        {"hdr_kp1_pos_float", kCamV2, 5, 0, 0, CS_NOT_SUPPORTED},
        {"hdr_kp1_pos_float", kTarn, 1, 2, 3, CS_FIRMWARE_TOO_OLD},
        {"hdr_kp1_pos_float", kTarn, 1, 2, 4, CS_SUCCESS},
        {"hdr_kp1_pos_float", kTarn, 1, 3, 0, CS_SUCCESS},
        {"hdr_kp1_pos_float", kTarn, 0, 99, 999, CS_FIRMWARE_TOO_OLD},
        {"temperature", kSkarvel, 1, 0, 0, CS_SUCCESS},
        {"temperature", kCamV2, 5, 0, 0, CS_NOT_SUPPORTED},
        {"temperature", kTarn, 1, 4, 0, CS_NOT_SUPPORTED},
        {"chip_temperature", kSkarvel, 1, 0, 0, CS_NOT_SUPPORTED},
        {"chip_temperature", kCamV2, 5, 0, 0, CS_NOT_SUPPORTED},
        {"chip_temperature", kTarn, 1, 0, 0, CS_SUCCESS},
        {"agc_enabled", kCamV2, 4, 7, 3, CS_FIRMWARE_TOO_OLD},
        {"agc_enabled", kCamV2, 4, 7, 4, CS_SUCCESS},
        {"led_duration", kTarn, 0, 0, 1, CS_SUCCESS},  // "every firmware" passes any version
        {"Exposure", kCamV2, 5, 0, 0, CS_UNKNOWN_PARAMETER},
        {"exposure", -1, 5, 0, 0, CS_NOT_CONNECTED},  // a slot that was never initialized
        {"exposure", 3, 5, 0, 0, CS_NOT_CONNECTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " family " + std::to_string(c.family) + " " +
                     std::to_string(c.major) + "." + std::to_string(c.minor) + "." +
                     std::to_string(c.feature));
        bool supported = c.status != CS_SUCCESS;  // must be overwritten either way
        EXPECT_EQ(DecideParameterSupport(c.family, c.major * 1000000 + c.minor * 1000 + c.feature, c.name,
                                         &supported),
                  c.status);
        EXPECT_EQ(supported, c.status == CS_SUCCESS);
    }
}

TEST(ParameterSupport, WithdrawalHoldsForEveryCameraOfTheFamily) {
    YOXA_PARAMETER* entry = FindParameter("hdr_enable");
    ASSERT_NE(entry, nullptr);
    const int saved = entry->minVersion[2];

    EXPECT_EQ(SetParameterSupportWord(2, "hdr_enable", NOT_SUPPORTED), CS_SUCCESS);
    bool supported = true;
    // Two QvTarn sensors with different firmware, one QVCAM_V2 sensor.
    EXPECT_EQ(DecideParameterSupport(2, FW(1, 0, 14), "hdr_enable", &supported), CS_NOT_SUPPORTED);
    EXPECT_EQ(DecideParameterSupport(2, FW(1, 4, 0), "hdr_enable", &supported), CS_NOT_SUPPORTED);
    EXPECT_EQ(DecideParameterSupport(1, FW(4, 9, 0), "hdr_enable", &supported), CS_SUCCESS);
    EXPECT_EQ(_yoxaParametersList[3].minVersion[2], NOT_SUPPORTED) << "the exported table is the one changed";

    entry->minVersion[2] = saved;
}

TEST(ParameterSupport, UnknownNameOrFamilyChangesNothing) {
    std::vector<unsigned char> before(sizeof(_yoxaParametersList));
    std::memcpy(before.data(), _yoxaParametersList, before.size());
    EXPECT_EQ(SetParameterSupportWord(2, "HDR_ENABLE", NOT_SUPPORTED), CS_UNKNOWN_PARAMETER);
    EXPECT_EQ(SetParameterSupportWord(3, "hdr_enable", NOT_SUPPORTED), CS_NOT_CONNECTED);
    EXPECT_EQ(SetParameterSupportWord(-1, "hdr_enable", NOT_SUPPORTED), CS_NOT_CONNECTED);
    EXPECT_EQ(std::memcmp(before.data(), _yoxaParametersList, before.size()), 0);
}

TEST(StringCompare, IgnoresCaseOnly) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"Exposure", "exposure", 0},
        {"PEAK_enable", "peak_ENABLE", 0},
        {"", "", 0},
        {"gain", "gains", -1},
        {"b", "A", 1},
        {"abc", "abd", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        int result = CImageReception::stringCompare(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign);
    }
}

}  // namespace
