/* A transport library that lacks most functions, as an old or foreign libyoxabase.so would. */
#include <stdint.h>

__attribute__((visibility("default"))) uint32_t yoxaGetVersion(void) {
    return 0x02000000u;
}
__attribute__((visibility("default"))) int32_t yoxaInit(void) {
    return 0;
}
