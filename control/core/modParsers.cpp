#include "modParsers.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <bit>
#include <cstring>
#include <mutex>
#include <utility>

namespace pressel {

bool SubView(std::span<const uint8_t> data, uint64_t offset, uint64_t length, ByteView& out) {
    if (offset > data.size() || length > data.size() - offset) return false;
    out = ByteView(data.subspan(size_t(offset), size_t(length)));
    return true;
}

int64_t AlignedScanWidth(int bitsPerPixel, int64_t width) {
    return ((int64_t(bitsPerPixel) * width + 31) & ~int64_t(31)) / 8;
}

uint32_t SwapLong(uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

namespace {

// One colour channel of a bit-field pixel, widened to 8 bits: fields of 8 bits or more by a
// shift, narrower ones through a table of their values.
struct Channel {
    uint32_t mask = 0;  // 0: the channel reads as 0 (no mask, or a mask with holes)
    int shift = 0;
    int down = 0;       // wide fields: bits dropped below the top 8
    bool wide = false;
    std::array<uint8_t, 256> scale{};

    explicit Channel(uint32_t m) {
        if (m == 0) return;
        const int at = std::countr_zero(m);
        const uint32_t field = m >> at;
        if ((field & (field + 1)) != 0) return;  // not one run of ones
        const int bits = std::popcount(field);
        mask = m;
        shift = at;
        wide = bits >= 8;
        down = wide ? bits - 8 : 0;
        if (!wide) {
            const uint32_t max = (1u << bits) - 1;
            for (uint32_t v = 0; v <= max; ++v) scale[v] = uint8_t((v * 255 + max / 2) / max);
        }
    }
    uint32_t Get(uint32_t px) const {
        const uint32_t v = (px & mask) >> shift;
        return wide ? (v >> down) & 0xFF : scale[v];
    }
};

// Colour table widened to 256 entries: indexes beyond the table read as black.
std::array<uint32_t, 256> PaletteTable(const DibPalette& pal, int bitCount) {
    std::array<uint32_t, 256> t{};
    int n = std::min(pal.count, std::min(256, 1 << std::min(bitCount, 8)));
    for (int i = 0; i < n; ++i) {
        const uint8_t* e = pal.entries + size_t(i) * size_t(pal.entrySize);
        t[size_t(i)] = uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16;
    }
    return t;
}

inline void Put(uint8_t* px, uint32_t bgr) {
    px[0] = uint8_t(bgr);
    px[1] = uint8_t(bgr >> 8);
    px[2] = uint8_t(bgr >> 16);
}

inline void Store(uint8_t* px, uint32_t bgra) { std::memcpy(px, &bgra, 4); }

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Indexed rows of 1, 2, 4 or 8 bits a pixel, most significant first.
template <int Bits>
void IndexedRow(const std::array<uint32_t, 256>& lut, const uint8_t* src, uint8_t* dst, int width) {
    constexpr int kPerByte = 8 / Bits;
    constexpr uint32_t kMask = (1u << Bits) - 1;
    const int whole = width / kPerByte;
    for (int i = 0; i < whole; ++i) {
        const uint32_t b = src[i];
        for (int k = 0; k < kPerByte; ++k, dst += 4) Store(dst, lut[(b >> (8 - Bits * (k + 1))) & kMask]);
    }
    for (int k = 0; k < width - whole * kPerByte; ++k, dst += 4)
        Store(dst, lut[(uint32_t(src[whole]) >> (8 - Bits * (k + 1))) & kMask]);
}

void TrueColourRow24(const uint8_t* src, uint8_t* dst, int width) {
    int x = 0;
    // Four bytes at a time while the fourth still lies in the row.
    for (; x + 1 < width; ++x) Store(dst + size_t(x) * 4, Load32(src + size_t(x) * 3) & 0xFFFFFFu);
    const uint8_t* s = src + size_t(x) * 3;
    Store(dst + size_t(x) * 4, uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16);
}

// Run-length data (8 or 4 bits), always stored bottom row first. Skipped pixels stay zero.
bool DecodeRle(const DibFormat& f, const std::array<uint32_t, 256>& lut, ByteView in, cImage32& img) {
    const bool four = f.compression == kBiRle4;
    const int w = f.width, h = f.height;
    int64_t x = 0, y = 0;
    size_t p = 0;
    auto put = [&](uint32_t index) {
        if (x < w && y < h) Put(img.BitsPointer() + (size_t(y) * size_t(w) + size_t(x)) * 4, lut[index]);
        ++x;
    };
    while (y < h) {
        if (!in.Has(p, 2)) return false;  // data ended before the picture did
        uint8_t count = in.U8(p), value = in.U8(p + 1);
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < w; ++i) put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
            continue;
        }
        switch (value) {
            case 0: x = 0; ++y; break;   // end of line
            case 1: return true;         // end of bitmap
            case 2:                      // move right and up
                if (!in.Has(p, 2)) return false;
                x += in.U8(p);
                y += in.U8(p + 1);
                p += 2;
                break;
            default: {                   // `value` literal pixels, padded to a 16-bit boundary
                size_t bytes = four ? (size_t(value) + 1) / 2 : value;
                if (!in.Has(p, bytes)) return false;
                for (int i = 0; i < value; ++i) {
                    uint8_t b = in.U8(p + (four ? size_t(i / 2) : size_t(i)));
                    put(four ? ((i & 1) ? b & 15 : b >> 4) : b);
                }
                p += (bytes + 1) & ~size_t(1);
            }
        }
    }
    return true;
}

}  // namespace

bool DecodeDib(const DibFormat& f, const DibPalette& palette, ByteView bits, cImage32& img) {
    if (f.width < 1 || f.height < 1 || img.Width() != f.width || img.Height() != f.height) return false;
    const int bc = f.bitCount;
    const uint32_t comp = f.compression;
    const bool indexed = bc == 1 || bc == 2 || bc == 4 || bc == 8;
    std::array<uint32_t, 256> lut{};
    if (indexed) lut = PaletteTable(palette, bc);

    if (comp == kBiRle8 || comp == kBiRle4) {
        if (f.topDown || bc != (comp == kBiRle8 ? 8 : 4)) return false;
        return DecodeRle(f, lut, bits, img);
    }
    const bool fields = comp == kBiBitfields || comp == kBiAlphaBitfields;
    if (comp != kBiRgb && !(fields && (bc == 16 || bc == 32))) return false;
    if (!indexed && bc != 16 && bc != 24 && bc != 32) return false;

    const int64_t stride = AlignedScanWidth(bc, f.width);
    if (!bits.Has(0, uint64_t(stride) * uint64_t(f.height))) return false;

    uint32_t m[4] = {f.masks[0], f.masks[1], f.masks[2], f.masks[3]};
    if (!fields) {
        if (bc == 16) { m[0] = 0x7C00; m[1] = 0x03E0; m[2] = 0x001F; }
        else { m[0] = 0xFF0000; m[1] = 0xFF00; m[2] = 0xFF; }
        m[3] = 0;  // plain 32-bit pixels declare no alpha
    }
    const Channel r(m[0]), g(m[1]), b(m[2]), a(bc == 32 ? m[3] : 0);

    // Masks of whole bytes in their usual places are copied; others go channel by channel.
    const bool plain32 = bc == 32 && m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF &&
                         (a.mask == 0 || a.mask == 0xFF000000u);
    const uint32_t keep = a.mask ? 0xFFFFFFFFu : 0xFFFFFFu;
    for (int row = 0; row < f.height; ++row) {
        const uint8_t* src = bits.data() + size_t(row) * size_t(stride);
        const int memRow = f.topDown ? f.height - 1 - row : row;
        uint8_t* dst = img.BitsPointer() + size_t(memRow) * size_t(f.width) * 4;
        const int w = f.width;
        switch (bc) {
            case 1: IndexedRow<1>(lut, src, dst, w); break;
            case 2: IndexedRow<2>(lut, src, dst, w); break;
            case 4: IndexedRow<4>(lut, src, dst, w); break;
            case 8:
                for (int x = 0; x < w; ++x) Store(dst + size_t(x) * 4, lut[src[x]]);
                break;
            case 16:
                for (int x = 0; x < w; ++x) {
                    const uint32_t v = uint32_t(src[x * 2]) | uint32_t(src[x * 2 + 1]) << 8;
                    Store(dst + size_t(x) * 4, b.Get(v) | g.Get(v) << 8 | r.Get(v) << 16);
                }
                break;
            case 24: TrueColourRow24(src, dst, w); break;
            default:
                if (plain32) {
                    for (int x = 0; x < w; ++x) Store(dst + size_t(x) * 4, Load32(src + size_t(x) * 4) & keep);
                } else {
                    for (int x = 0; x < w; ++x) {
                        const uint32_t v = Load32(src + size_t(x) * 4);
                        Store(dst + size_t(x) * 4, b.Get(v) | g.Get(v) << 8 | r.Get(v) << 16 | a.Get(v) << 24);
                    }
                }
        }
    }
    return true;
}

namespace {
// A picture file beyond this is refused unread.
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;
}  // namespace

bool ReadWholeFile(const std::string& fileName, std::vector<uint8_t>& out) {
    std::error_code ec;
    if (fileName.empty() || !std::filesystem::is_regular_file(fileName, ec)) return false;
    uint64_t size = std::filesystem::file_size(fileName, ec);
    if (ec || size > kMaxFileBytes) return false;
    std::ifstream f(fileName, std::ios::binary);
    if (!f) return false;
    out.resize(size_t(size));
    f.read(reinterpret_cast<char*>(out.data()), std::streamsize(size));
    return uint64_t(f.gcount()) == size;
}

namespace {
std::mutex gLoaderMutex;
PictureLoader gLoader;
}  // namespace

void SetPictureLoaderHook(PictureLoader loader) {
    std::lock_guard lock(gLoaderMutex);
    gLoader = std::move(loader);
}

bool ArrayToPicture(ByteView data, cImage32& target) {
    // Only JPEG goes to the outside decoder: guessing other formats would let it accept
    // files (TGA, PPM, ...) the control never took.
    if (!data.Has(0, 3) || data.U8(0) != 0xFF || data.U8(1) != 0xD8 || data.U8(2) != 0xFF) return false;
    PictureLoader loader;
    {
        std::lock_guard lock(gLoaderMutex);
        loader = gLoader;
    }
    if (!loader) return false;
    target.DestroyDIB();
    if (!loader(data.span(), target) || !target.HasImage()) {
        target.DestroyDIB();
        return false;
    }
    // What the outside decoder drew is an opaque bitmap: alpha bytes 0, no alpha flag.
    uint8_t* px = target.BitsPointer();
    for (int64_t i = 0, n = int64_t(target.Width()) * target.Height(); i < n; ++i) px[i * 4 + 3] = 0;
    target.SetAlpha(false);
    target.SetImageType(kTypeBitmap);
    return true;
}

}  // namespace pressel
