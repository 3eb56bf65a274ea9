/* The processor count is chosen before the first KZINIT and fixed after it. */
#include <stdio.h>
#include <string.h>

#include "kz.h"

int main(void) {
  int bad = 0;
  if (KZSETPROCESSORS(4) != 4) bad |= 1;
  KZOSL b;
  memset(&b, 0, sizeof b);
  b.size = 92;
  if (KZINIT(&b, 50, 0, -3, 0) != 0) bad |= 2;
  if (KZSETPROCESSORS(9) != 4) bad |= 4;
  KZDONE(&b);
  printf("%d passed, %d failed\n", bad ? 0 : 1, bad ? 1 : 0);
  return bad;
}
