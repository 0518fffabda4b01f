#include "util.h"

void util_init(void)
{
    /* nothing to set up yet */
}

const char* util_version(void)
{
    return UTIL_VERSION;
}

