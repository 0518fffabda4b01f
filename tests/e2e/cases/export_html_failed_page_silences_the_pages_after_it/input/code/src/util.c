#include "util.h"

void util_init(void)
{
    /* nothing to set up */
}

const char *util_version(void)
{
    return "1.0";
}
/* end of util.c */
