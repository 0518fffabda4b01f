#include "config.h"
#include "logic.h"

int both(int a, int b)
{
    if (a && b)
        return 1;
    return 0;
}

int is_debug(void)
{
	if (DEBUG_LEVEL > 0)
		return 1;
	return 0;
}
