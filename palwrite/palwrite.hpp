// A C++ face over the C interface of palwrite.h: one object, RAII release,
// errors as return values with their text.
#pragma once

#include "palwrite.h"

#include <string>

namespace palwrite {

class Saver {
public:
    Saver() { ok_ = palwrite_create(&self_) == 0; }
    ~Saver()
    {
        if (self_)
            palwrite_release(self_);
    }
    Saver(const Saver &) = delete;
    Saver &operator=(const Saver &) = delete;

    bool valid() const { return ok_; }
    // 0 on success, else the error number; error() tells why.
    int save(const PalwritePicture &picture, const std::string &fileName)
    {
        return self_ ? palwrite_save(self_, &picture, fileName.c_str()) : PALWRITE_ERROR_BAD_ARGUMENT;
    }
    std::string error() const { return self_ ? palwrite_error_description(self_) : "no Palwrite object"; }

private:
    SavePalwrite *self_ = nullptr;
    bool ok_ = false;
};

} // namespace palwrite
