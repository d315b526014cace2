/* Discover the sensors and connect the first one. */
#include <stdio.h>

#include "yoxa/yoxa.h"

int main(void) {
    int count = 1; /* wait until at least one sensor answers */
    char** ids = NULL;
    int status = _Open(&count, &ids, 500);
    if (status != CS_SUCCESS || count == 0) {
        printf("no sensor: %s (%d)\n", YoxaCameraStatusName(status), status);
        _Close();
        return 1;
    }
    status = _Connect(ids[0], NULL);
    printf("connect %s: %s (%d)\n", ids[0], YoxaCameraStatusName(status), status);
    _Close();
    return status == CS_SUCCESS ? 0 : 1;
}
