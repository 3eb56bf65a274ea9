/* A host program in C that drives the exported routines as a C caller does
 * and checks the return codes of the area's life cycle. */
#include <stdio.h>
#include <string.h>

#include "kz.h"

static int failures = 0;
static int checks = 0;

#define CHECK_EQ(actual, expected)                                                       \
  do {                                                                                   \
    long a_ = (long)(actual), e_ = (long)(expected);                                     \
    ++checks;                                                                            \
    if (a_ != e_) {                                                                      \
      ++failures;                                                                        \
      fprintf(stderr, "%s:%d: %s is %ld, expected %ld\n", __FILE__, __LINE__, #actual, a_, e_); \
    }                                                                                    \
  } while (0)

static void fresh(KZOSL* b) {
  memset(b, 0, sizeof *b);
  b->size = (int32_t)sizeof *b;
}

int main(void) {
  KZOSL b;
  CHECK_EQ(sizeof(KZOSL), 92);

  /* Open, open again (130, first area untouched), close, close again (111). */
  fresh(&b);
  CHECK_EQ(KZINIT(&b, 1000, 0, -3, 0), 0);
  CHECK_EQ(b.rc, 2);
  CHECK_EQ(b.magic, KZ_MAGIC_OPEN);
  CHECK_EQ(b.calls, 1);
  int32_t area = b.area;
  CHECK_EQ(KZSETPROCESSORS(5), 1); /* KZINIT fixed the count at 1 */
  CHECK_EQ(KZINIT(&b, 1000, 0, -3, 0), 1);
  CHECK_EQ(b.rc, 130);
  CHECK_EQ(b.area, area);
  CHECK_EQ(b.magic, KZ_MAGIC_OPEN);
  CHECK_EQ(KZMSG(&b), 0);
  CHECK_EQ(b.rc, 130); /* KZMSG leaves rc alone */
  CHECK_EQ(KZDONE(&b), 0);
  CHECK_EQ(b.magic, KZ_MAGIC_CLOSED);
  CHECK_EQ(KZDONE(&b), 0);
  CHECK_EQ(b.rc, 111);

  /* Every routine on a closed block: 901, nothing else touched. */
  b.rc = 0;
  b.calls = 77;
  CHECK_EQ(KZMSG(&b), 1);
  CHECK_EQ(b.rc, 901);
  b.rc = 0;
  CHECK_EQ(KZMSGINPUT(&b, 65), 1);
  CHECK_EQ(b.rc, 901);
  b.rc = 0;
  CHECK_EQ(KZRT2(&b, NULL, NULL), 1);
  CHECK_EQ(b.rc, 901);
  CHECK_EQ(b.calls, 77);

  /* use below -1 and a negative reserve: the area is open all the same. */
  fresh(&b);
  CHECK_EQ(KZINIT(&b, -2, 0, -3, 0), 1);
  CHECK_EQ(b.rc, 101);
  CHECK_EQ(b.magic, KZ_MAGIC_OPEN);
  CHECK_EQ(KZDONE(&b), 0);
  fresh(&b);
  CHECK_EQ(KZINIT(&b, 100, -1, -3, 0), 1);
  CHECK_EQ(b.rc, 102);
  CHECK_EQ(KZDONE(&b), 0);

  /* A block that was never opened: KZDONE fails without touching rc. */
  fresh(&b);
  b.rc = 55;
  CHECK_EQ(KZDONE(&b), 1);
  CHECK_EQ(b.rc, 55);

  /* No pool now (use -1) is a valid request. */
  fresh(&b);
  CHECK_EQ(KZINIT(&b, -1, 0, -3, 0), 0);
  CHECK_EQ(KZDONE(&b), 0);

  /* The shared block: the caller passes a 16-bit rc variable. Word 1 of what
   * it passes must lie outside 92..920 for the library to recognise it. */
  {
    int32_t legacy[4] = {0, 0, 0, 0};
    int16_t* rcvar = (int16_t*)legacy;
    *rcvar = 7;
    CHECK_EQ(KZINIT((KZOSL*)legacy, 500, 0, -3, 0), 0);
    CHECK_EQ(*rcvar, 2);
    CHECK_EQ(legacy[1], 0); /* the caller's memory beyond its variable is not written */
    CHECK_EQ(KZINIT((KZOSL*)legacy, 500, 0, -3, 0), 1);
    CHECK_EQ(*rcvar, 130);
    *rcvar = 0;
    CHECK_EQ(KZMSG((KZOSL*)legacy), 0);
    CHECK_EQ(KZDONE((KZOSL*)legacy), 0);
    CHECK_EQ(KZDONE((KZOSL*)legacy), 1); /* shared pointer gone: this is now a plain, unopened block */
  }

  /* Null blocks never crash. */
  CHECK_EQ(KZINIT(NULL, 0, 0, -3, 0), 1);
  CHECK_EQ(KZDONE(NULL), 1);
  CHECK_EQ(KZMSG(NULL), 1);
  CHECK_EQ(KZMSGINPUT(NULL, 1), 1);
  CHECK_EQ(KZVERSION(NULL), 1665);

  printf("%d passed, %d failed\n", checks - failures, failures);
  return failures ? 1 : 0;
}
