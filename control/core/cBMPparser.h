// Bitmap reader of the control library, the last reader the loader asks.
#pragma once

#include <cstdint>
#include <span>

#include "cImage32.h"

namespace pressel {

class ByteView;

class cBMPparser {
public:
    // True when `target` received an image: a BMP of any common form (1 to 32 bits, RLE,
    // bit fields, OS/2 headers), or JPEG through the picture loader the Qt layer sets.
    bool LoadStream(std::span<const uint8_t> data, cImage32& target, uint64_t offset, uint64_t length);

    const char* Why() const { return why_; }

    // Sorts 32-bit pixels into no alpha (all alpha 0: type 1), already premultiplied (type 7)
    // or straight alpha (type 6, premultiplied here when `premultiply` is set).
    static void AnalyseAlpha(uint8_t* bits, int64_t pixels, bool premultiply, bool& hasAlpha, int& imageType);

private:
    bool DecodeBmp(const ByteView& v, cImage32& target);
    const char* why_ = "";
};

}  // namespace pressel
