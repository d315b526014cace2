// QvTarn sensors whose serial number is QX followed by 18 or lower lose HDR; the table is shared, so
// every QvTarn camera of the process is affected from then on.
#include <gtest/gtest.h>

#include "TestWorld.h"
#include "Worlds.h"
#include "yoxa/yoxa.h"

namespace {

bool HdrSupported(const char* serial) {
    TestWorld world(WorldJson({{.model = "QvTarn", .firmware = "1.1.2 ", .serial = serial}}));
    int count = -1;
    char** ids = nullptr;
    bool supported = false;
    EXPECT_EQ(_Open(&count, &ids, 200), CS_SUCCESS);
    EXPECT_EQ(_Connect(ids[0], nullptr), CS_SUCCESS);
    int status = _GetParameterSupport(ids[0], "hdr_enable", &supported);
    EXPECT_TRUE(status == CS_SUCCESS || status == CS_NOT_SUPPORTED) << status;
    _Close();
    return supported;
}

}  // namespace

TEST(SerialRule, QX18AndLowerWithdrawHdrForTheProcess) {
    EXPECT_TRUE(HdrSupported("QX19000001"));
    EXPECT_TRUE(HdrSupported("QXAB000001"));
    EXPECT_FALSE(HdrSupported("QX17000001"));
    // Shared table: a later QX19 sensor no longer offers HDR either.
    EXPECT_FALSE(HdrSupported("QX19000002"));
}
