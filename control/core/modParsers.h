// Helpers the image readers share: bounded little/big-endian field reads, DIB row sizes,
// our decoder of device-independent bitmap pixels, and the hand-off of foreign formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cImage32.h"

namespace pressel {

// A read-only window on the caller's bytes. Every read says whether it stayed inside.
class ByteView {
public:
    ByteView() = default;
    explicit ByteView(std::span<const uint8_t> d) : d_(d) {}
    size_t size() const { return d_.size(); }
    const uint8_t* data() const { return d_.data(); }
    std::span<const uint8_t> span() const { return d_; }
    bool Has(uint64_t pos, uint64_t n) const { return pos <= d_.size() && n <= d_.size() - pos; }
    uint8_t U8(size_t pos) const { return d_[pos]; }
    uint16_t Le16(size_t pos) const { return uint16_t(d_[pos] | d_[pos + 1] << 8); }
    uint32_t Le32(size_t pos) const {
        return uint32_t(d_[pos]) | uint32_t(d_[pos + 1]) << 8 | uint32_t(d_[pos + 2]) << 16 |
               uint32_t(d_[pos + 3]) << 24;
    }
    uint32_t Be32(size_t pos) const {
        return uint32_t(d_[pos]) << 24 | uint32_t(d_[pos + 1]) << 16 | uint32_t(d_[pos + 2]) << 8 |
               uint32_t(d_[pos + 3]);
    }

private:
    std::span<const uint8_t> d_;
};

// The bytes [offset, offset + length) of data; false when they do not lie inside.
bool SubView(std::span<const uint8_t> data, uint64_t offset, uint64_t length, ByteView& out);

// Bytes of one DIB row of `width` pixels at `bitsPerPixel`, padded to 4 bytes.
int64_t AlignedScanWidth(int bitsPerPixel, int64_t width);

// Reverses the byte order of a 32-bit value (big-endian file fields to machine order).
uint32_t SwapLong(uint32_t value);

// (c * a) / 255 truncated, exact for c, a <= 255 (the readers' premultiply rule).
inline uint8_t MulDiv255(uint32_t c, uint32_t a) { return uint8_t((c * a * 0x8081u) >> 23); }

// Describes the pixels of a device-independent bitmap.
struct DibFormat {
    int width = 0;
    int height = 0;            // rows, positive
    bool topDown = false;      // rows stored top row first
    int bitCount = 0;
    uint32_t compression = 0;  // 0 plain, 1 RLE8, 2 RLE4, 3 and 6 bit fields
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha for 16 and 32 bits
};
enum : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6 };

// Colour table of a DIB: `count` entries of `entrySize` (3 or 4) bytes blue, green, red.
struct DibPalette {
    const uint8_t* entries = nullptr;
    int count = 0;
    int entrySize = 4;
};

// Decodes `bits` into `target`, which the caller has initialised to the format's size.
// Blue, green and red are written; the alpha byte is 0 unless a 32-bit format declares an
// alpha mask. Indexes beyond the colour table give black. False when the data does not
// hold the pixels or the format is not one we decode; the target may then be half written.
bool DecodeDib(const DibFormat& format, const DibPalette& palette, ByteView bits, cImage32& target);

// Reads a whole file (regular files up to 1 GiB); false when it cannot.
bool ReadWholeFile(const std::string& fileName, std::vector<uint8_t>& out);

// Hands data that none of our readers understands to the picture loader the Qt layer set
// (JPEG only). False without a loader or when the data is not JPEG.
bool ArrayToPicture(ByteView data, cImage32& target);
void SetPictureLoaderHook(PictureLoader loader);

}  // namespace pressel
