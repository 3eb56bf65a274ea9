/* A small host program: opens a model area, prints the library version and
 * the texts of a few return codes, and closes the area. */
#include <stdio.h>
#include <string.h>

#include "kz.h"

int main(void) {
  KZOSL block;
  memset(&block, 0, sizeof block);
  block.size = (int32_t)sizeof block;
  if (KZINIT(&block, 0, 10, -1, 0) != 0) {
    KZMSG(&block);
    return 1;
  }
  printf("library version %d\n", KZVERSION(&block));
  KZMSG(&block);
  static const int32_t codes[] = {205, 306, 903, 999, 0};
  for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i) {
    block.rc = codes[i];
    KZMSG(&block);
  }
  KZDONE(&block);
  return 0;
}
