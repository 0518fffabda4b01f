#ifndef CALC_H
#define CALC_H
static inline int square(int x)
{
  return x * x;
}
int clamp(int v, int lo, int hi);
int sign(int v);
int twice(int v);
#endif
