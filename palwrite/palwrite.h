/* Palwrite: saves a picture as an uncompressed 256-colour BMP file with the
 * halftone palette (the 5 x 5 x 5 colour cube, the rest black).
 *
 * Load it with dlopen("libpalwrite.so.1", ...) or link it; every function
 * here is exported with C linkage, nothing else is. */
#ifndef PALWRITE_H
#define PALWRITE_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(PALWRITE_BUILDING)
#define PALWRITE_API __attribute__((visibility("default")))
#else
#define PALWRITE_API
#endif

typedef struct PalwritePicture {
    int width, height, stride, format;
    const void *pixels;
} PalwritePicture;
/* format: 24 = 3 bytes per pixel blue, green, red; 32 = 4 bytes blue, green, red, unused.
   Rows run from the top of the picture, stride bytes apart. */

typedef struct SavePalwrite SavePalwrite;

/* The class factory: 0 on success. */
PALWRITE_API int palwrite_create(SavePalwrite **out);
/* 0 on success, else the error number (17: file not created). */
PALWRITE_API int palwrite_save(SavePalwrite *self, const PalwritePicture *picture, const char *file_name);
/* Text of the last error, "" after success. */
PALWRITE_API const char *palwrite_error_description(const SavePalwrite *self);
PALWRITE_API void palwrite_release(SavePalwrite *self);
/* 1 when no object is alive. */
PALWRITE_API int palwrite_can_unload_now(void);
/* Nothing to register on this platform: both return 0. */
PALWRITE_API int palwrite_register_server(void);
PALWRITE_API int palwrite_unregister_server(void);

/* Error numbers besides 17. */
#define PALWRITE_ERROR_FILE_NOT_CREATED 17
#define PALWRITE_ERROR_BAD_PICTURE 380
#define PALWRITE_ERROR_WRITE_FAILED 75
#define PALWRITE_ERROR_BAD_ARGUMENT 5
#define PALWRITE_ERROR_OUT_OF_MEMORY 7

#ifdef __cplusplus
}
#endif

#endif
