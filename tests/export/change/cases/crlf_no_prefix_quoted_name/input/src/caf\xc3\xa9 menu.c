/* The menu. */
int order(int hungry)
{
  if (hungry) {
    return 1;
  }
  return 0;
}
