/* Small arithmetic helpers. */
#include "calc.h"

int clamp(int v, int lo, int hi)
{
  if (v < lo ||
      v > hi) {
    return lo;
  }
  return v;
}

int sign(int v)
{
  /* positive or not */
  if (v > 0 && v < 1000) {
    return 1;
  }
  return 0;
}

int twice(int v)
{
  return 2 * v;
}

int area(int side)
{
  return square(side);
}
