/* The caller's side of the library's string results on Linux: length and release. */
#ifndef RARADOZO_BSTR_H
#define RARADOZO_BSTR_H

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifndef _WIN32
/* The byte count stored in the four bytes before the data; 0 for a null string. */
static inline uint32_t SysStringByteLen(const char* s) {
    uint32_t n = 0;
    if (s) memcpy(&n, s - 4, sizeof n);
    return n;
}
/* Releases a string the library returned; a null string is ignored. */
static inline void SysFreeString(char* s) {
    if (s) free(s - 4);
}
#endif

#endif
