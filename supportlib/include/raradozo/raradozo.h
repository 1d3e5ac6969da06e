/* raradozo: the support library's exported C interface (the eight c_ exports). */
#ifndef RARADOZO_RARADOZO_H
#define RARADOZO_RARADOZO_H

#include <stdint.h>

#ifdef _WIN32
#define RARADOZO_CALL __stdcall
#ifdef RARADOZO_BUILDING
/* The library's module-definition file exports the entries under their undecorated names;
 * dllexport would add the decorated ones ("c_Crypt@8") beside them. */
#define RARADOZO_API
#else
#define RARADOZO_API __declspec(dllimport)
#endif
#else
#define RARADOZO_CALL
#define RARADOZO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A library string result: points at the first byte; the 32-bit byte count stands in the
 * four bytes before it and two zero bytes follow the data. Free with SysFreeString (bstr.h). */
typedef char* RzString;

/* Geometry in pixels, as the window system reports it. */
typedef struct RzRect {
    int32_t left, top, right, bottom;
} RzRect;
typedef struct RzPoint {
    int32_t x, y;
} RzPoint;

/* On Linux a window handle handed to c_CenterForm points at one of these, supplied by the
 * program's window system. The library does the arithmetic and calls back for the rest. */
typedef struct RzWindow RzWindow;
struct RzWindow {
    RzWindow* desktop; /* the handle standing for the whole screen */
    int (*getWindowRect)(RzWindow* self, RzRect* out);     /* screen coordinates */
    int (*getClientRect)(RzWindow* self, RzRect* out);     /* starts at 0, 0 */
    int (*clientToScreen)(RzWindow* self, RzPoint* point); /* in place */
    int (*moveWindow)(RzWindow* self, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t repaint);
    void* context; /* the window system's own data */
};

#ifdef _WIN32
typedef void* RzWindowHandle; /* HWND */
#else
typedef RzWindow* RzWindowHandle;
#endif

RARADOZO_API int32_t RARADOZO_CALL c_CenterForm(RzWindowHandle reference, RzWindowHandle window);
RARADOZO_API RzString RARADOZO_CALL c_Crypt(const char* plain, int32_t count);
RARADOZO_API void RARADOZO_CALL c_CryptBuffer(unsigned char* buffer, int32_t count,
                                              const char* key);
RARADOZO_API RzString RARADOZO_CALL c_DeCrypt(const char* text, int32_t count);
RARADOZO_API void RARADOZO_CALL c_DeCryptBuffer(unsigned char* buffer, int32_t count,
                                                const char* key);
RARADOZO_API uint32_t RARADOZO_CALL c_StrCrc16(const unsigned char* bytes, int32_t count);
RARADOZO_API RzString RARADOZO_CALL c_GetFileDateTime(const char* path);
RARADOZO_API int32_t RARADOZO_CALL c_SetFileDateTime(const char* path, const char* text);

#ifdef __cplusplus
}
#endif

#endif
