/*
 * kz_records.h - byte layout of the records the library hands to callbacks.
 */
#ifndef KZ_RECORDS_H
#define KZ_RECORDS_H

#include <stdint.h>

/* Message record (292 bytes), passed by address to the message callback. */
typedef struct KZMessageRecord {
  int32_t size;        /* 0: 292 */
  int32_t block;       /* 4: handle of the area whose block registered the callback */
  int16_t lineClass;   /* 8: line class; 99 after registration */
  int16_t length;      /* 10: text length including the zero; set negative to suppress this type */
  int32_t lines;       /* 12: lines delivered since registration */
  int32_t inCallback;  /* 16: 1 while the callback runs */
  int32_t serial;      /* 20: area serial */
  int32_t zero;        /* 24: 0 */
  int32_t callerWord;  /* 28: copied from byte 28 of the caller's record */
  uint32_t suppress;   /* 32: bit (1 + type) set: lines of that type are not delivered */
  char text[256];      /* 36: the line, zero-terminated */
} KZMessageRecord;

#endif /* KZ_RECORDS_H */
