#include "cBMPparser.h"

#include <algorithm>
#include <cstring>

#include "modParsers.h"

namespace pressel {

void cBMPparser::AnalyseAlpha(uint8_t* bits, int64_t pixels, bool premultiply, bool& hasAlpha, int& imageType) {
    // state 0: consistent with premultiplied data; 1: a colour under alpha 0 was seen;
    // 2: the data is straight alpha.
    int64_t zeroAlpha = 0;
    int state = 0;
    for (int64_t i = 0; i < pixels && state != 2; ++i) {
        const uint8_t* p = bits + i * 4;
        const uint8_t a = p[3];
        if (a == 0) {
            ++zeroAlpha;
            if (state == 0 && (p[0] | p[1] | p[2]) != 0) state = 1;
        } else if (a == 255) {
            if (state == 1) state = 2;
        } else if (state == 1 || p[0] > a || p[1] > a || p[2] > a) {
            state = 2;
        }
    }
    if (zeroAlpha == pixels) {
        hasAlpha = false;
        imageType = kTypeBitmap;
        return;
    }
    hasAlpha = true;
    if (state == 0) {
        imageType = kTypeBitmapPremultiplied;
        return;
    }
    imageType = kTypeBitmapStraightAlpha;
    if (!premultiply) return;
    for (int64_t i = 0; i < pixels; ++i) {
        uint8_t* p = bits + i * 4;
        for (int c = 0; c < 3; ++c) p[c] = MulDiv255(p[c], p[3]);
    }
}

bool cBMPparser::LoadStream(std::span<const uint8_t> data, cImage32& target, uint64_t offset,
                            uint64_t length) {
    ByteView v;
    if (!SubView(data, offset, length, v)) {
        why_ = "data outside the given bytes";
        return false;
    }
    const bool bm = v.Has(0, 2) && v.U8(0) == 'B' && v.U8(1) == 'M';
    if (!bm) {
        // Not BMP: the outside picture loader (JPEG) or nothing.
        const bool ok = ArrayToPicture(v, target);
        why_ = ok ? "" : "not an image format the library reads";
        return ok;
    }
    if (v.Has(0, 34)) {
        const int32_t width = int32_t(v.Le32(18)), height = int32_t(v.Le32(22));
        if (width < 1 || height == 0) {
            why_ = "BMP of width below 1 or height 0";
            return false;
        }
        // Uncompressed 32-bit pixels are copied as they are, so their alpha survives.
        const uint64_t rows = uint64_t(height < 0 ? -int64_t(height) : int64_t(height));
        const uint64_t pixelOffset = v.Le32(10);
        if (v.Le32(14) >= 40 && v.Le16(28) == 32 && v.Le32(30) == kBiRgb &&
            v.Has(pixelOffset, uint64_t(width) * 4 * rows) && target.InitializeDIB(width, int(rows))) {
            const size_t rowBytes = size_t(width) * 4;
            const uint8_t* src = v.data() + pixelOffset;
            if (height > 0) {
                std::memcpy(target.BitsPointer(), src, rowBytes * rows);
            } else {
                for (uint64_t r = 0; r < rows; ++r)
                    std::memcpy(target.BitsPointer() + (rows - 1 - r) * rowBytes, src + r * rowBytes, rowBytes);
            }
            bool alpha = false;
            int type = kTypeBitmap;
            AnalyseAlpha(target.BitsPointer(), int64_t(width) * int64_t(rows), true, alpha, type);
            target.SetAlpha(alpha);
            target.SetImageType(type);
            why_ = "";
            return true;
        }
    }
    if (!DecodeBmp(v, target)) {
        target.DestroyDIB();
        return false;
    }
    why_ = "";
    return true;
}

bool cBMPparser::DecodeBmp(const ByteView& v, cImage32& target) {
    auto fail = [&](const char* why) {
        why_ = why;
        return false;
    };
    if (!v.Has(0, 18)) return fail("BMP header runs past the end of the data");
    const uint32_t headerSize = v.Le32(14);
    if (!v.Has(14, headerSize)) return fail("BMP header runs past the end of the data");

    DibFormat f;
    uint32_t coloursUsed = 0;
    int entrySize = 4;
    uint64_t paletteStart = 14 + uint64_t(headerSize);
    if (headerSize == 12) {  // OS/2 1.x: 16-bit sizes, 3-byte colour table entries
        f.width = v.Le16(18);
        f.height = v.Le16(20);
        f.bitCount = v.Le16(24);
        entrySize = 3;
    } else if (headerSize >= 16) {
        const int32_t w = int32_t(v.Le32(18)), h = int32_t(v.Le32(22));
        if (w < 1 || h == 0 || h == INT32_MIN) return fail("BMP of width below 1 or height 0");
        f.width = w;
        f.height = h < 0 ? -h : h;
        f.topDown = h < 0;
        f.bitCount = v.Le16(28);
        if (headerSize >= 20) f.compression = v.Le32(30);
        if (headerSize >= 36) coloursUsed = v.Le32(46);
        if (f.compression == kBiBitfields || f.compression == kBiAlphaBitfields) {
            // Masks live in the larger headers, or right after a 40-byte one.
            const int count = f.compression == kBiAlphaBitfields ? 4 : 3;
            uint64_t at = 54;
            if (headerSize < 52) {
                at = paletteStart;
                paletteStart += 4 * uint64_t(count);
            }
            if (!v.Has(at, 4 * uint64_t(count))) return fail("BMP masks run past the end of the data");
            for (int i = 0; i < count; ++i) f.masks[i] = v.Le32(size_t(at) + 4 * size_t(i));
            if (headerSize >= 56) f.masks[3] = v.Le32(66);  // the declared alpha mask
        }
    } else {
        return fail("unknown BMP header");
    }

    // Colour table: as declared, but never into the pixels or past the data.
    int paletteCount = 0;
    if (f.bitCount >= 1 && f.bitCount <= 8) {
        const uint32_t full = 1u << f.bitCount;
        uint64_t declared = coloursUsed ? std::min(coloursUsed, full) : full;
        const uint64_t pixelOffset = v.Le32(10);
        const uint64_t limit = pixelOffset > paletteStart ? pixelOffset : v.size();
        const uint64_t room = limit > paletteStart ? (std::min<uint64_t>(limit, v.size()) - paletteStart) : 0;
        paletteCount = int(std::min<uint64_t>(declared, room / uint64_t(entrySize)));
    }
    uint64_t pixelStart = v.Le32(10);
    if (pixelStart == 0) pixelStart = paletteStart + uint64_t(paletteCount) * uint64_t(entrySize);
    if (pixelStart > v.size()) return fail("BMP pixels start past the end of the data");

    // Uncompressed rows have a known size: a file too short for them costs no image.
    const uint64_t stride = uint64_t(AlignedScanWidth(f.bitCount, f.width));
    if (f.compression != kBiRle8 && f.compression != kBiRle4 && stride != 0 &&
        uint64_t(f.height) > (v.size() - pixelStart) / stride)
        return fail("BMP pixels truncated or of a form we do not read");
    if (!target.InitializeDIB(f.width, f.height)) return fail("BMP too large");
    const DibPalette palette{v.data() + std::min<uint64_t>(paletteStart, v.size()), paletteCount, entrySize};
    if (!DecodeDib(f, palette, ByteView(v.span().subspan(size_t(pixelStart))), target))
        return fail("BMP pixels truncated or of a form we do not read");

    bool alpha = false;
    int type = kTypeBitmap;
    if (f.bitCount == 32)
        AnalyseAlpha(target.BitsPointer(), int64_t(f.width) * f.height, true, alpha, type);
    target.SetAlpha(alpha);
    target.SetImageType(type);
    return true;
}

}  // namespace pressel
