// GIF reader of the control library: the first image of a GIF 87a or 89a file.
#pragma once

#include <cstdint>
#include <span>

#include "cImage32.h"

namespace pressel {

class cGIFparser {
public:
    // True when the data is a GIF: decoded (an image in `target`, type kTypeGif), or a GIF
    // whose blocks run off the end of the data (no image). False when it is not a GIF this
    // reader takes: wrong signature, no image descriptor, no colour table, or frame data the
    // decoder refuses (bad LZW codes, a size of 0 or too large); the next reader then tries.
    bool LoadStream(std::span<const uint8_t> data, cImage32& target, uint64_t offset, uint64_t length);

    const char* Why() const { return why_; }

private:
    const char* why_ = "";
};

}  // namespace pressel
