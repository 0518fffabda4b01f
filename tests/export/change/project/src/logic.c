#include "logic.h"

int both(int a, int b)
{
  if (a && b) {
    return 1; }
  return 0;
}
