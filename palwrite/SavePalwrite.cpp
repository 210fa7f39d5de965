// The library's exported interface: one object kind that saves pictures,
// its factory and release, and the entry points a server would have.

#define PALWRITE_BUILDING
#include "palwrite.h"

#include "DibSection.h"
#include "DibSectionSave.h"

#include <atomic>
#include <exception>
#include <new>
#include <string>

struct SavePalwrite {
    std::string LastError;
};

namespace {

std::atomic<int> alive{0};

int refuse(SavePalwrite *self, int code, const std::string &why)
{
    if (self)
        self->LastError = why;
    return code;
}

} // namespace

extern "C" {

PALWRITE_API int palwrite_create(SavePalwrite **out)
{
    if (!out)
        return PALWRITE_ERROR_BAD_ARGUMENT;
    *out = new (std::nothrow) SavePalwrite;
    if (!*out)
        return PALWRITE_ERROR_OUT_OF_MEMORY;
    ++alive;
    return 0;
}

PALWRITE_API int palwrite_save(SavePalwrite *self, const PalwritePicture *picture, const char *file_name)
{
    if (!self)
        return PALWRITE_ERROR_BAD_ARGUMENT;
    if (!picture || !picture->pixels)
        return refuse(self, PALWRITE_ERROR_BAD_PICTURE, "Invalid picture: there are no pixels.");
    if (picture->width <= 0 || picture->height <= 0)
        return refuse(self, PALWRITE_ERROR_BAD_PICTURE, "Invalid picture: its width and height must be above 0.");
    if (picture->format != 24 && picture->format != 32)
        return refuse(self, PALWRITE_ERROR_BAD_PICTURE,
                      "Invalid picture: the format must be 24 or 32 bits per pixel, not " +
                          std::to_string(picture->format) + ".");
    const long long minimum = static_cast<long long>(picture->width) * (picture->format / 8);
    if (picture->stride < minimum)
        return refuse(self, PALWRITE_ERROR_BAD_PICTURE,
                      "Invalid picture: rows of " + std::to_string(picture->width) +
                          " pixels need a stride of at least " + std::to_string(minimum) + " bytes, not " +
                          std::to_string(picture->stride) + ".");
    if (!file_name || !*file_name)
        return refuse(self, PALWRITE_ERROR_FILE_NOT_CREATED, "No file name was given.");
    try {
        palwrite::DibSection dib;
        if (!dib.CreateFromPicture(picture->pixels, picture->width, picture->height, picture->stride, picture->format))
            return refuse(self, PALWRITE_ERROR_OUT_OF_MEMORY, "The picture is too large to be held in memory.");
        const palwrite::SaveResult result = palwrite::DibSectionSave().Save(file_name, dib);
        self->LastError = result.Description;
        return result.Error;
    } catch (const std::bad_alloc &) {
        return refuse(self, PALWRITE_ERROR_OUT_OF_MEMORY, "Out of memory.");
    } catch (const std::exception &e) {
        return refuse(self, PALWRITE_ERROR_WRITE_FAILED, e.what());
    }
}

PALWRITE_API const char *palwrite_error_description(const SavePalwrite *self)
{
    return self ? self->LastError.c_str() : "";
}

PALWRITE_API void palwrite_release(SavePalwrite *self)
{
    if (!self)
        return;
    delete self;
    --alive;
}

PALWRITE_API int palwrite_can_unload_now(void)
{
    return alive.load() == 0 ? 1 : 0;
}

PALWRITE_API int palwrite_register_server(void)
{
    return 0;
}

PALWRITE_API int palwrite_unregister_server(void)
{
    return 0;
}

} // extern "C"
