/* A C99 client of the public header: the records have their documented layout and the calls link. */
#include <stddef.h>
#include <stdio.h>

#include "yoxa/yoxa.h"
#include "yoxa/yoxabase.h"

#define CHECK(cond)                                       \
    do {                                                  \
        if (!(cond)) {                                    \
            fprintf(stderr, "check failed: %s\n", #cond); \
            return 1;                                     \
        }                                                 \
    } while (0)

int main(void) {
    int count = -1;
    char** ids = NULL;
    CHECK(sizeof(STRUCT_POINT) == 16 && sizeof(STRUCT_PEAK_DATA) == 16);
    CHECK(sizeof(YOXA_PARAMETER) == 280 && offsetof(YOXA_PARAMETER, reg) == 260);
    CHECK(offsetof(YOXA_PARAMETER, minVersion) == 268);
    CHECK(sizeof(DynSensorControl) == 20);
    CHECK(offsetof(FieldCalibrationResults, meanZ) == 120 &&
          sizeof(FieldCalibrationResults) == 120 + 2 * 2048 * 8);
    CHECK(offsetof(HEADER, queueBacklog) == 8 && offsetof(HEADER, frequency) == 16);
    CHECK(_StartGrabbing("x") == CS_NOT_CONNECTED);
    CHECK(_Open(&count, &ids, 200) == CS_SUCCESS);
    CHECK(count >= 0);
    printf("%d sensors\n", count);
    _Close();
    _Close();
    return 0;
}
