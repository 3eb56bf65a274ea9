/*
 * kz.h - the callable optimisation library, C interface.
 *
 * Every routine takes the caller's control block first and returns a 16-bit
 * function value: 0 for success, 1 for failure. The return code left in the
 * block's first word says more; KZMSG prints its text.
 */
#ifndef KZ_H
#define KZ_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KZ_BUILDING_LIBRARY)
#define KZ_API __attribute__((visibility("default")))
#else
#define KZ_API
#endif

/* The control block: 23 32-bit words owned by the caller. */
typedef struct KZOSL {
  int32_t rc;            /* word 0: return code of the last call */
  int32_t size;          /* word 1: block size in bytes (92..920), else the shared block */
  int32_t magic;         /* word 2: 1234567890 while an area is open */
  int32_t reserved3[2];  /* words 3, 4 */
  int32_t totalMs;       /* word 5: milliseconds spent inside the library */
  int32_t lastMs;        /* word 6: milliseconds of the most recent counted call */
  int32_t area;          /* word 7: handle of the model area (not an address) */
  int32_t calls;         /* word 8: number of counted calls */
  int32_t reserved9[13]; /* words 9 to 21 */
  int32_t childMagic;    /* word 22: 1234567890 marks a library-built block */
} KZOSL;

#define KZ_MAGIC_OPEN   1234567890
#define KZ_MAGIC_CLOSED 1234567891
#define KZ_MAGIC_REUSE  1234567889

/* Area life, version and processors. */
KZ_API int16_t KZINIT(KZOSL* rc, int32_t use, int32_t reserve, int32_t handle, int32_t namestyle);
KZ_API int16_t KZDONE(KZOSL* rc);
KZ_API int16_t KZVERSION(KZOSL* rc);
KZ_API int32_t KZSETPROCESSORS(int32_t count);

/* Return codes and their texts. */
KZ_API int16_t KZMSG(KZOSL* rc);
KZ_API int16_t KZMSGINPUT(KZOSL* rc, int32_t key);

/* Message callback: called with the address of the 292-byte message record. */
typedef void (*KZMessageCallback)(void* record);
KZ_API int16_t KZRT2(KZOSL* rc, KZMessageCallback callback, void* record);

/* Option command language. */
KZ_API int16_t KZCLP(KZOSL* rc, const char* text);
KZ_API int32_t KZGETCLP(KZOSL* rc, int32_t code, void* data);

/* Array loading. The model stays in the caller's arrays (unless Set COPYDATA
 * Yes), which must stay valid and unchanged until the next load, KZUNDO or
 * KZDONE; a, rownos need room for nnz + row entries and colptr for
 * column + row + 1: the load appends one logical entry per row. colnam:
 * name style 0 an array of column + row string pointers, otherwise one
 * block of fixed-length names; may be null. */
KZ_API int16_t KZLOAD(KZOSL* rc, int32_t row, int32_t column, double* a, int32_t* rownos, int32_t* colptr,
                      double* bndmin, double* bndmax, int32_t* status, void* colnam);
KZ_API int16_t KZLOADQP(KZOSL* rc, int32_t row, int32_t column, double* a, int32_t* rownos, int32_t* colptr,
                        double* bndmin, double* bndmax, int32_t* status, void* name, int32_t NoOfQPPoints,
                        int32_t* QpColOne, int32_t* QpColTwo, double* QpCoef);

/* Names: the name of item c (c + 1 - base is the combined index; -1 the
 * last item found by name); the item of a name. */
KZ_API int16_t KZNAME(KZOSL* rc, int32_t c, char* name);
KZ_API int16_t KZNDXNUM(KZOSL* rc, int32_t* index, const char* name, int16_t len);

/* MPS files. The reader fills the caller's arrays for KZLOAD / KZLOADQP
 * and returns row (rows, the objective included), column and nonzero.
 * Capacities: a and rownos maxnon entries (the reader keeps room for one
 * logical entry per row; KZLOAD needs nonzero + row), colptr maxcol + 1
 * (KZLOAD needs column + row + 1), bndmin and bndmax maxcol + maxrow + 1,
 * status maxrow + maxcol, colnam maxcol * CNLEN + maxrow * RNLEN characters
 * (may be null), the quadratic arrays maxqp entries (0-based columns).
 * KZMPSQP and KZMPSI read free format (KZMPSI without quadratic terms),
 * KZMPSF fixed format with 8-character names. A ".gz" file is read
 * decompressed. */
KZ_API int16_t KZMPSQP(KZOSL* rc, const char* filenam, int32_t* row, int32_t* column, int32_t* nonzero, double* a,
                       int32_t* rownos, int32_t* colptr, double* bndmin, double* bndmax, int32_t* status,
                       char* colnam, int32_t* noqp, int32_t* QpColOne, int32_t* QpColTwo, double* QpCoef,
                       int32_t maxqp, int32_t maxrow, int32_t maxcol, int32_t maxnon);
KZ_API int16_t KZMPSI(KZOSL* rc, const char* filenam, int32_t* row, int32_t* column, int32_t* nonzero, double* a,
                      int32_t* rownos, int32_t* colptr, double* bndmin, double* bndmax, int32_t* status,
                      char* colnam, int32_t maxrow, int32_t maxcol, int32_t maxnon);
KZ_API int16_t KZMPSF(KZOSL* rc, const char* filenam, int32_t* row, int32_t* column, int32_t* nonzero, double* a,
                      int32_t* rownos, int32_t* colptr, double* bndmin, double* bndmax, int32_t* status,
                      char* colnam, int32_t maxrow, int32_t maxcol, int32_t maxnon);

/* Solving. ModSts and SolSts receive the model and solution status pair:
 * 15 and 5 until a solve maps its outcome. */
KZ_API int16_t KZSOLV(KZOSL* rc, int16_t* modsts, int16_t* solsts);

/* Results of the last solve. c is the item number (c + 1 - base is the
 * combined index; -1 the last item found by name); with Set IndexRange the
 * routines fill consecutive elements for a range of items. */
KZ_API int16_t KZACT(KZOSL* rc, int32_t c, double* ans);
KZ_API int16_t KZDUAL(KZOSL* rc, int32_t c, double* ans);
KZ_API int16_t KZACTC(KZOSL* rc, const char* name, double* ans, int16_t len);
KZ_API int16_t KZDUALC(KZOSL* rc, const char* name, double* ans, int16_t len);
KZ_API int16_t KZVAR(KZOSL* rc, int32_t c, char* name, int16_t len, double* act, double* dual, int32_t* status,
                     double* obj, double* lb, double* ub, double* lb_adj, double* ub_adj);
/* Copies text into slot position of a block of fixed-length names, blank-padded. */
KZ_API int16_t KZSTONAM(int16_t len, char* names, int32_t position, const char* text);

#ifdef __cplusplus
}
#endif

#endif /* KZ_H */
