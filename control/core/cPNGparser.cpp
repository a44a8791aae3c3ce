#include "cPNGparser.h"

#include <libdeflate.h>
#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <tmmintrin.h>
#define PRESSEL_SSSE3_DISPATCH 1
#endif

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>

#include "modInflate.h"
#include "modParsers.h"

namespace pressel {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Adam7: first row, first column, row step and column step of each pass; the eighth
// column describes the whole image of non-interlaced data.
constexpr int kFirstRow[8] = {0, 0, 4, 0, 2, 0, 1, 0};
constexpr int kFirstCol[8] = {0, 4, 0, 2, 0, 1, 0, 0};
constexpr int kRowStep[8] = {8, 8, 8, 4, 4, 2, 2, 1};
constexpr int kColStep[8] = {8, 8, 4, 4, 2, 2, 1, 1};

bool IsPngSignature(const ByteView& v) {
    return v.Has(0, 8) && std::memcmp(v.data(), kSignature, 8) == 0;
}

int SamplesPerPixel(int colourType) {
    switch (colourType) {
        case 2: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 1;
    }
}

bool DepthAllowed(int colourType, int depth) {
    switch (colourType) {
        case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2: case 4: case 6: return depth == 8 || depth == 16;
        default: return false;
    }
}

uint64_t RowBytes(int bitsPerPixel, uint64_t columns) { return (uint64_t(bitsPerPixel) * columns + 7) / 8; }

uint64_t PassColumns(int pass, int width) {
    return uint64_t(width / kColStep[pass] + (kFirstCol[pass] < width % kColStep[pass] ? 1 : 0));
}
uint64_t PassRows(int pass, int height) {
    return uint64_t(height / kRowStep[pass] + (kFirstRow[pass] < height % kRowStep[pass] ? 1 : 0));
}

// ---- row filters, in place ----
// The body functions restore bytes [0, n) of `row` with the `Step` bytes before `row` (already
// restored) and before `prev` (the row above) as the left neighbours; the caller handles the
// first pixel of a row, which has none.

inline int PaethPredict(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

inline uint8_t Paeth(int a, int b, int c) { return uint8_t(PaethPredict(a, b, c)); }

void UnfilterUp(uint8_t* row, const uint8_t* prev, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(r, p));
    }
#endif
    for (; i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
}

#if defined(__SSE2__)
// Pixels of 1, 2, 4 or 8 bytes: Sub is a running sum, done sixteen bytes at a time by adding
// shifted copies, then the last pixel of the block is carried into the next one.
template <size_t Step>
__m128i BroadcastLast(__m128i x) {
    if constexpr (Step == 8) return _mm_unpackhi_epi64(x, x);
    if constexpr (Step == 4) return _mm_shuffle_epi32(x, 0xFF);
    const __m128i hi = Step == 2 ? x : _mm_unpackhi_epi8(x, x);
    const __m128i w = _mm_shufflehi_epi16(hi, 0xFF);
    return _mm_unpackhi_epi64(w, w);
}

template <size_t Step>
void UnfilterSubRun(uint8_t* row, size_t n) {
    __m128i carry = _mm_setzero_si128();
    {
        uint64_t left = 0;
        std::memcpy(&left, row - Step, Step);
        // Spread the left pixel over sixteen bytes.
        const __m128i l = _mm_cvtsi64_si128(int64_t(left));
        carry = BroadcastLast<Step>(_mm_slli_si128(l, 16 - Step));
    }
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        x = _mm_add_epi8(x, _mm_slli_si128(x, Step));
        if constexpr (Step <= 4) x = _mm_add_epi8(x, _mm_slli_si128(x, 2 * Step));
        if constexpr (Step <= 2) x = _mm_add_epi8(x, _mm_slli_si128(x, 4 * Step));
        if constexpr (Step == 1) x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
        x = _mm_add_epi8(x, carry);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), x);
        carry = BroadcastLast<Step>(x);
    }
    const uint8_t* left = row - Step;
    for (; i < n; ++i) row[i] = uint8_t(row[i] + left[i]);
}

// Sub, Average and Paeth a pixel at a time in 16-bit lanes, with the pixel to the left kept
// in a register: each pixel needs the one restored before it, so the gain is in doing its
// bytes together without branches or reloads.
// `Wide` reads a whole 4 or 8 bytes, past the pixel: only where the row goes on, and only bytes
// not yet restored (a load over a recent narrower store would stall). The extra lanes are ignored.
template <size_t Step, bool Wide = false>
inline __m128i LoadPixel(const uint8_t* p) {
    uint64_t v = 0;
    if constexpr (Wide && Step == 3) std::memcpy(&v, p, 4);
    else if constexpr (Wide && Step == 6) std::memcpy(&v, p, 8);
    else if constexpr (Step == 3) v = uint64_t(p[0]) | uint64_t(p[1]) << 8 | uint64_t(p[2]) << 16;
    else std::memcpy(&v, p, Step);
    return _mm_unpacklo_epi8(_mm_cvtsi64_si128(int64_t(v)), _mm_setzero_si128());
}
template <size_t Step>
inline void StorePixel(uint8_t* p, __m128i v16) {
    const uint64_t v = uint64_t(_mm_cvtsi128_si64(_mm_packus_epi16(v16, v16)));
    if constexpr (Step == 3) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
    } else {
        std::memcpy(p, &v, Step);
    }
}

template <size_t Step, int Filter, bool Wide>
inline __m128i UnfilterPixel(uint8_t* row, const uint8_t* prev, __m128i a, __m128i& c) {
    const __m128i zero = _mm_setzero_si128();
    __m128i pred;
    if constexpr (Filter == 1) {
        pred = a;
    } else if constexpr (Filter == 3) {
        pred = _mm_srli_epi16(_mm_add_epi16(a, LoadPixel<Step, Wide>(prev)), 1);
    } else {
        const __m128i b = LoadPixel<Step, Wide>(prev);
        const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
        const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(zero, bc));  // |b - c|
        const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(zero, ac));  // |a - c|
        const __m128i abc = _mm_add_epi16(bc, ac);
        const __m128i pc = _mm_max_epi16(abc, _mm_sub_epi16(zero, abc));  // |a + b - 2c|
        const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
        const __m128i useA = _mm_cmpeq_epi16(smallest, pa);
        const __m128i useB = _mm_andnot_si128(useA, _mm_cmpeq_epi16(smallest, pb));
        pred = _mm_or_si128(_mm_or_si128(_mm_and_si128(useA, a), _mm_and_si128(useB, b)),
                            _mm_andnot_si128(_mm_or_si128(useA, useB), c));
        c = b;
    }
    a = _mm_and_si128(_mm_add_epi16(LoadPixel<Step, Wide>(row), pred), _mm_set1_epi16(0xFF));
    StorePixel<Step>(row, a);
    return a;
}

template <size_t Step, int Filter>
void UnfilterPixels(uint8_t* row, const uint8_t* prev, size_t n) {
    __m128i a = LoadPixel<Step>(row - Step), c = Filter == 4 ? LoadPixel<Step>(prev - Step) : _mm_setzero_si128();
    constexpr size_t kReach = Step == 3 ? 4 : Step == 6 ? 8 : Step;
    const uint8_t* up = Filter == 1 ? row : prev;  // Sub reads nothing above, and may have nothing
    size_t i = 0;
    for (; i + kReach <= n; i += Step) a = UnfilterPixel<Step, Filter, true>(row + i, up + i, a, c);
    for (; i + Step <= n; i += Step) a = UnfilterPixel<Step, Filter, false>(row + i, up + i, a, c);
}
#endif

template <size_t Step>
void UnfilterBody(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n) {
#if defined(__SSE2__)
    if constexpr (Step == 3 || Step == 6) {
        if (type == 1) return UnfilterPixels<Step, 1>(row, prev, n);
    } else {
        if (type == 1) return UnfilterSubRun<Step>(row, n);
    }
    if constexpr (Step >= 2) {
        if (type == 3) return UnfilterPixels<Step, 3>(row, prev, n);
        if (type == 4) return UnfilterPixels<Step, 4>(row, prev, n);
    }
#endif
    const uint8_t* left = row - Step;
    switch (type) {
        case 1:
            for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + left[i]);
            break;
        case 2:
            UnfilterUp(row, prev, n);
            break;
        case 3:
            for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + ((left[i] + prev[i]) >> 1));
            break;
        case 4: {
            const uint8_t* upLeft = prev - Step;
            for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + PaethPredict(left[i], prev[i], upLeft[i]));
            break;
        }
        default:
            break;  // an unknown filter leaves the bytes
    }
}

void Body(size_t step, uint8_t type, uint8_t* row, const uint8_t* prev, size_t n) {
    switch (step) {
        case 1: UnfilterBody<1>(type, row, prev, n); break;
        case 2: UnfilterBody<2>(type, row, prev, n); break;
        case 3: UnfilterBody<3>(type, row, prev, n); break;
        case 4: UnfilterBody<4>(type, row, prev, n); break;
        case 6: UnfilterBody<6>(type, row, prev, n); break;
        default: UnfilterBody<8>(type, row, prev, n); break;
    }
}

// A whole row of `n` bytes, pixels of `step` bytes; `prev` is the row above, or null for the
// first row of a pass (which reads as zeros).
void Unfilter(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, size_t step) {
    const size_t first = std::min(step, n);
    if (!prev) {
        // Nothing above: Up changes nothing, Average halves the left byte, Paeth is Sub.
        if (type == 2) return;
        if (type == 3) {
            for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + row[i - step] / 2);
            return;
        }
        if (type == 4) type = 1;
        if (type == 1 && n > first) Body(step, 1, row + first, nullptr, n - first);
        return;
    }
    if (type == 2) return UnfilterUp(row, prev, n);
    if (type == 1 || type == 3 || type == 4) {
        // The first pixel has nothing to its left: Average takes half the byte above, Paeth all of it.
        if (type != 1)
            for (size_t i = 0; i < first; ++i) row[i] = uint8_t(row[i] + (type == 3 ? prev[i] / 2 : prev[i]));
        if (n > first) Body(step, type, row + first, prev + first, n - first);
    }
}

// ---- samples to premultiplied BGRA ----

inline uint32_t Premultiplied(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    if (a == 255) return b | g << 8 | r << 16 | 0xFF000000u;
    if (a == 0) return 0;  // a transparent pixel keeps its zero bytes, whatever its colour
    return MulDiv255(b, a) | uint32_t(MulDiv255(g, a)) << 8 | uint32_t(MulDiv255(r, a)) << 16 | a << 24;
}

struct RowContext {
    std::array<uint32_t, 256> lut{};  // colour types 0 and 3: sample (or high byte) -> pixel
    int lutCount = 256;               // palette entries; an index at or past it fails
    bool key = false;                 // colour type 2: a transparency key is set
    uint32_t keyR = 0, keyG = 0, keyB = 0;
    uint32_t keyRgb = 0;  // the same as 0x00RRGGBB
};

inline void Store(uint8_t* dst, uint32_t px) { std::memcpy(dst, &px, 4); }

#if defined(__SSE2__)
// Four RGBA pixels to premultiplied BGRA: c * a / 255 truncated, as (x + 1 + (x >> 8)) >> 8,
// which equals x / 255 for every product of two bytes; alpha 255 keeps the colour, 0 clears it.
inline void PremultiplyFour(const uint8_t* s, uint8_t* dst) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
    const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    auto two = [&](__m128i px) {  // two pixels in 16-bit lanes
        const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(px, 0xFF), 0xFF);
        const __m128i x = _mm_mullo_epi16(px, alpha);
        __m128i q = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
        q = _mm_or_si128(_mm_andnot_si128(alphaLanes, q), _mm_and_si128(alphaLanes, px));
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(q, _MM_SHUFFLE(3, 0, 1, 2)), _MM_SHUFFLE(3, 0, 1, 2));
    };
    const __m128i out = _mm_packus_epi16(two(_mm_unpacklo_epi8(v, zero)), two(_mm_unpackhi_epi8(v, zero)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), out);
}
#endif

#if defined(PRESSEL_SSSE3_DISPATCH)
// RGB to opaque BGRA four pixels a shuffle, on processors that have it (almost all); returns
// the pixels done, leaving the last few, whose sixteen-byte load would pass the row.
__attribute__((target("ssse3"))) uint64_t RgbToBgraSsse3(const uint8_t* s, uint64_t n, uint8_t* dst) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    uint64_t i = 0;
    for (; i + 6 <= n; i += 4, s += 12, dst += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(_mm_shuffle_epi8(v, order), opaque));
    }
    return i;
}
const bool kHasSsse3 = __builtin_cpu_supports("ssse3");
#endif

// One row of `n` pixels into dst, `step` bytes from one pixel to the next.
template <int CT, int D>
bool ConvertRow(const RowContext& c, const uint8_t* s, uint64_t n, uint8_t* dst, size_t step) {
    constexpr int B = D / 8;  // bytes per sample at depth 8 and 16; the high byte comes first
    uint64_t i = 0;
#if defined(__SSE2__)
    if constexpr (CT == 6 && D == 8) {
        if (step == 4)
            for (; i + 4 <= n; i += 4, s += 16, dst += 16) PremultiplyFour(s, dst);
    }
#endif
#if defined(PRESSEL_SSSE3_DISPATCH)
    if constexpr (CT == 2 && D == 8) {
        if (step == 4 && !c.key && kHasSsse3) {
            i = RgbToBgraSsse3(s, n, dst);
            s += 3 * i;
            dst += 4 * i;
        }
    }
#endif
    for (; i < n; ++i, dst += step) {
        if constexpr (CT == 6) {
            Store(dst, Premultiplied(s[0], s[B], s[2 * B], s[3 * B]));
            s += 4 * B;
        } else if constexpr (CT == 4) {
            Store(dst, Premultiplied(s[0], s[0], s[0], s[B]));
            s += 2 * B;
        } else if constexpr (CT == 2 && D == 8) {
            // Four bytes R G B x read at once and swapped to x R G B, while the row goes on.
            uint32_t rgb;
            if (i + 1 < n) {
                std::memcpy(&rgb, s, 4);
                rgb = __builtin_bswap32(rgb) >> 8;
            } else {
                rgb = uint32_t(s[0]) << 16 | uint32_t(s[1]) << 8 | s[2];
            }
            s += 3;
            Store(dst, c.key && rgb == c.keyRgb ? 0 : rgb | 0xFF000000u);
        } else if constexpr (CT == 2) {
            uint32_t r = s[0], g = s[B], b = s[2 * B];
            s += 3 * B;
            // Every pixel is written: the image may have served as scratch space.
            Store(dst, c.key && r == c.keyR && g == c.keyG && b == c.keyB ? 0 : b | g << 8 | r << 16 | 0xFF000000u);
        } else if constexpr (D >= 8) {  // colour types 0 and 3, one byte (or high byte) a sample
            uint32_t v = s[0];
            s += B;
            if (CT == 3 && int(v) >= c.lutCount) return false;
            Store(dst, c.lut[v]);
        } else {                        // 1, 2 or 4 bits a sample, most significant first
            uint32_t v = (s[(i * D) >> 3] >> (8 - D - ((i * D) & 7))) & ((1u << D) - 1);
            if (CT == 3 && int(v) >= c.lutCount) return false;
            Store(dst, c.lut[v]);
        }
    }
    return true;
}

using RowConverter = bool (*)(const RowContext&, const uint8_t*, uint64_t, uint8_t*, size_t);

RowConverter PickConverter(int ct, int depth) {
    switch (ct * 100 + depth) {
        case 1: return ConvertRow<0, 1>;
        case 2: return ConvertRow<0, 2>;
        case 4: return ConvertRow<0, 4>;
        case 8: return ConvertRow<0, 8>;
        case 16: return ConvertRow<0, 16>;
        case 208: return ConvertRow<2, 8>;
        case 216: return ConvertRow<2, 16>;
        case 301: return ConvertRow<3, 1>;
        case 302: return ConvertRow<3, 2>;
        case 304: return ConvertRow<3, 4>;
        case 308: return ConvertRow<3, 8>;
        case 408: return ConvertRow<4, 8>;
        case 416: return ConvertRow<4, 16>;
        case 608: return ConvertRow<6, 8>;
        case 616: return ConvertRow<6, 16>;
        default: return nullptr;
    }
}

// Restores and converts the rows of the decompressed data in stream order: the seven Adam7
// passes (those without pixels take no data), or the whole image.
class RowDecoder {
public:
    RowDecoder(int width, int height, int bpp, bool interlaced, RowConverter convert, const RowContext& ctx,
               cImage32& target)
        : width_(width), height_(height), bpp_(bpp), interlaced_(interlaced), convert_(convert), ctx_(ctx),
          target_(target), step_(size_t(std::max(1, bpp / 8))) {}

    void Reset() {
        pass_ = interlaced_ ? 0 : 7;
        StartPass();
    }
    bool Done() const { return pass_ > 7; }
    size_t RowLength() const { return size_t(rowBytes_) + 1; }
    const char* Why() const { return why_; }

    // `row` is the filter byte and the samples; they are restored in place and must stay
    // there, unchanged, until the next row is taken.
    bool Take(uint8_t* row) {
        if (row[0] > 4 && interlaced_) return Fail("bad filter type in interlaced data");
        Unfilter(row[0], row + 1, prev_, size_t(rowBytes_), step_);  // an unknown filter leaves the row
        if (!convert_(ctx_, row + 1, columns_, Destination(0), size_t(kColStep[pass_]) * 4))
            return Fail("palette index beyond the palette");
        prev_ = row + 1;
        NextRow();
        return true;
    }

    // Streaming in pieces: only one row of samples is held, `line_`, the row above until the
    // new one overwrites it piece by piece. Takes whole pixels from [data, data + n) and says how
    // many bytes it used; the `step_` bytes before `data` must be the restored end of the last
    // piece (they are its left neighbours).
    size_t Feed(uint8_t* data, size_t n) {
        size_t used = 0;
        while (used < n && !Done()) {
            if (pos_ == kFilterByte) {
                filter_ = data[used++];
                if (filter_ > 4 && interlaced_) {
                    Fail("bad filter type in interlaced data");
                    return kFeedFailed;
                }
                pos_ = 0;
                continue;
            }
            const size_t left = size_t(rowBytes_) - pos_;
            size_t len = std::min(left, n - used);
            if (len < left) len -= len % step_;  // pieces end on a pixel unless they end the row
            if (len == 0) break;
            if (!Piece(data + used, len)) return kFeedFailed;
            used += len;
        }
        return used;
    }
    static constexpr size_t kFeedFailed = SIZE_MAX;
    // Makes room for Feed: one row of the widest pass.
    void PrepareStreaming() { line_.assign(size_t(RowBytes(bpp_, uint64_t(width_))), 0); }

private:
    static constexpr size_t kFilterByte = SIZE_MAX;

    uint8_t* Destination(uint64_t column) {
        const int y = kFirstRow[pass_] + int(row_) * kRowStep[pass_];
        return target_.TopRow(y) + (size_t(kFirstCol[pass_]) + size_t(column) * size_t(kColStep[pass_])) * 4;
    }

    bool Piece(uint8_t* cur, size_t len) {
        uint8_t* line = line_.data();
        const size_t s = step_, pos = pos_;
        if (pos == 0) {
            const size_t first = std::min(s, len);
            if (filter_ == 2 || filter_ == 3 || filter_ == 4)
                for (size_t i = 0; i < first; ++i) cur[i] = uint8_t(cur[i] + (filter_ == 3 ? line[i] / 2 : line[i]));
            if (len > first) Body(s, filter_, cur + first, line + first, len - first);
        } else {
            Body(s, filter_, cur, line + pos, len);
            // The last piece's final pixel was kept from `line` until now: it was the upper left.
            std::memcpy(line + pos - s, cur - s, s);
        }
        const bool rowEnds = pos + len == rowBytes_;
        std::memcpy(line + pos, cur, rowEnds || len < s ? len : len - s);
        const uint64_t column = pos * 8 / uint64_t(bpp_);
        const uint64_t count = std::min<uint64_t>(columns_ - column, (uint64_t(len) * 8 + uint64_t(bpp_) - 1) / uint64_t(bpp_));
        if (!convert_(ctx_, cur, count, Destination(column), size_t(kColStep[pass_]) * 4))
            return Fail("palette index beyond the palette");
        pos_ += len;
        if (rowEnds) NextRow();
        return true;
    }

    void NextRow() {
        pos_ = kFilterByte;
        if (++row_ == rows_) {
            pass_ = pass_ == 6 ? 8 : pass_ + 1;
            StartPass();
        }
    }

    void StartPass() {
        for (; pass_ <= 7; pass_ = pass_ == 6 ? 8 : pass_ + 1) {
            columns_ = pass_ == 7 ? uint64_t(width_) : PassColumns(pass_, width_);
            rows_ = pass_ == 7 ? uint64_t(height_) : PassRows(pass_, height_);
            if (columns_ && rows_) break;
        }
        rowBytes_ = RowBytes(bpp_, columns_);
        row_ = 0;
        pos_ = kFilterByte;
        prev_ = nullptr;  // the first row of each pass has nothing above it
        if (!line_.empty()) std::fill(line_.begin(), line_.end(), 0);
    }
    bool Fail(const char* why) {
        why_ = why;
        return false;
    }

    const int width_, height_, bpp_;
    const bool interlaced_;
    const RowConverter convert_;
    const RowContext& ctx_;
    cImage32& target_;
    const size_t step_;
    int pass_ = 7;
    uint64_t columns_ = 0, rows_ = 0, rowBytes_ = 0, row_ = 0;
    const uint8_t* prev_ = nullptr;
    const char* why_ = "";
    std::vector<uint8_t> line_;
    size_t pos_ = kFilterByte;  // within the current row's samples
    uint8_t filter_ = 0;
};

enum class Inflated { kDone, kRefused, kRowFailed };

// The deflate data after the zlib stream's two header bytes, inflated by zlib piece by piece
// into a small window; the Adler-32 check is not read, as a bad one only ever led to the same
// bytes without it. Output up to `expected` bytes counts; a stream that ends early leaves the
// rest zero.
Inflated InflateStreaming(const std::vector<std::span<const uint8_t>>& idat, uint64_t expected, RowDecoder& rows) {
    z_stream s{};
    if (inflateInit2(&s, -15) != Z_OK) return Inflated::kRefused;
    struct End {
        z_stream* s;
        ~End() { inflateEnd(s); }
    } end{&s};
    rows.PrepareStreaming();
    rows.Reset();
    // The bytes before `start` keep the last restored pixel: the left neighbours of the next piece.
    constexpr size_t kKeep = 8, kWindow = size_t(1) << 18;
    std::vector<uint8_t> window(kKeep + kWindow, 0);
    size_t next = 0, start = kKeep, fill = kKeep;
    uint64_t skip = 2, produced = 0;
    auto feed = [&] {
        const size_t used = rows.Feed(window.data() + start, fill - start);
        if (used == RowDecoder::kFeedFailed) return false;
        start += used;
        return true;
    };
    while (!rows.Done() && produced < expected) {
        while (s.avail_in == 0 && next < idat.size()) {
            const std::span<const uint8_t> d = idat[next++];
            const size_t k = size_t(std::min<uint64_t>(skip, d.size()));
            skip -= k;
            s.next_in = const_cast<Bytef*>(d.data() + k);
            s.avail_in = uInt(d.size() - k);
        }
        if (fill == window.size()) {
            // Only a part of a pixel is left unused.
            std::memmove(window.data(), window.data() + start - kKeep, fill - start + kKeep);
            fill -= start - kKeep;
            start = kKeep;
        }
        uint8_t* out = window.data() + fill;
        s.next_out = out;
        s.avail_out = uInt(std::min<uint64_t>(window.size() - fill, expected - produced));
        const int rc = inflate(&s, Z_NO_FLUSH);
        const size_t got = size_t(s.next_out - out);
        fill += got;
        produced += got;
        if (!feed()) return Inflated::kRowFailed;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK) return Inflated::kRefused;  // damaged data, or the data ran out
    }
    // The stream ended early: the missing bytes read as zero.
    while (!rows.Done()) {
        std::memmove(window.data(), window.data() + start - kKeep, fill - start + kKeep);
        fill -= start - kKeep;
        start = kKeep;
        std::fill(window.begin() + long(fill), window.end(), 0);
        fill = window.size();
        if (!feed()) return Inflated::kRowFailed;
    }
    return Inflated::kDone;
}

// The same outcome from our inflater, which inflates the whole stream at once into `raw` (with
// kInflateSlack bytes beyond `expected`): false when zlib would refuse the data, whose outcome
// the streaming inflater then gives. `scratch` may hold the joined data of several IDAT chunks.
bool InflateWhole(const std::vector<std::span<const uint8_t>>& idat, uint8_t* raw, uint64_t expected,
                  uint8_t* scratch, size_t scratchSize) {
    uint64_t total = 0;
    for (const auto& d : idat) total += d.size();
    if (total < 2) return false;
    std::vector<uint8_t> joined;
    const uint8_t* in = idat.front().data();
    if (idat.size() > 1) {
        uint8_t* dst = scratch;
        if (total > scratchSize) {
            joined.resize(size_t(total));
            dst = joined.data();
        }
        in = dst;
        for (const auto& d : idat) {
            if (d.empty()) continue;
            std::memcpy(dst, d.data(), d.size());
            dst += d.size();
        }
    }
    // The zlib header is skipped unread and the Adler-32 check is not read, as on the window path.
    return InflateRaw(in + 2, size_t(total - 2), raw, size_t(expected));
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t n) {
    PutBe32(out, uint32_t(n));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (n) out.insert(out.end(), data, data + n);
    PutBe32(out, uint32_t(crc32(0, out.data() + start, uInt(n + 4))));
}

}  // namespace

bool cPNGparser::LoadStream(std::span<const uint8_t> data, cImage32& target, uint64_t offset,
                            uint64_t length) {
    ByteView v;
    if (!SubView(data, offset, length, v) || !IsPngSignature(v)) {
        why_ = "not PNG data";
        return false;
    }
    if (!ReadPngChunks(v, target)) target.DestroyDIB();
    return true;
}

bool cPNGparser::LoadFile(const std::string& fileName, cImage32& target) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes)) {
        why_ = "cannot read the file";
        return false;
    }
    return LoadStream(bytes, target, 0, bytes.size());
}

bool cPNGparser::ReadPngChunks(const ByteView& v, cImage32& target) {
    transparentKey_ = -1;
    idat_.clear();
    bool ended = false;
    for (uint64_t pos = 8; !ended;) {
        if (!v.Has(pos, 8)) return Fail("chunk runs past the end of the data");
        const uint32_t len = v.Be32(size_t(pos));
        if (len > 0x7FFFFFFFu || !v.Has(pos, 12 + uint64_t(len))) return Fail("chunk runs past the end of the data");
        const uint8_t* type = v.data() + pos + 4;
        ByteView chunk(v.span().subspan(size_t(pos) + 8, len));
        // A stored CRC of 0 is never checked.
        const uint32_t stored = v.Be32(size_t(pos) + 8 + len);
        const bool crcOk = stored == 0 || libdeflate_crc32(0, type, size_t(len) + 4) == stored;
        pos += 12 + uint64_t(len);

        auto is = [type](const char* t) { return std::memcmp(type, t, 4) == 0; };
        if (is("IEND")) {
            ended = true;
        } else if (len == 0) {
            continue;
        } else if (is("IHDR")) {
            if (!crcOk) return Fail("bad CRC in IHDR");
            if (!ParseIHDR(chunk)) return false;
        } else if (is("PLTE")) {
            if (colourType_ == 0 || colourType_ == 4) continue;
            if (!crcOk) return Fail("bad CRC in PLTE");
            if (!ParsePLTE(chunk)) return false;
        } else if (is("tRNS")) {
            if (colourType_ == 4 || colourType_ == 6 || !crcOk) continue;  // a bad tRNS only loses transparency
            ParseTRNS(chunk);
        } else if (is("IDAT")) {
            if (!crcOk) return Fail("bad CRC in IDAT");
            idat_.push_back(chunk.span());  // read in place when inflating
        }
        // Every other chunk (gAMA, cHRM, iCCP, text, ...) is skipped: no colour correction.
    }
    if (idat_.empty()) return Fail("no image data");
    if (!haveHeader_) return Fail("no IHDR");
    return InflateAndConvert(target);
}

bool cPNGparser::ParseIHDR(const ByteView& c) {
    if (haveHeader_) return Fail("second IHDR");
    if (c.size() < 13) return Fail("IHDR too short");
    const uint32_t w = c.Be32(0), h = c.Be32(4);
    if (w < 1 || h < 1 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return Fail("bad image size");
    bitDepth_ = c.U8(8);
    colourType_ = c.U8(9);
    interlace_ = c.U8(12);
    if (c.U8(10) != 0 || c.U8(11) != 0 || interlace_ > 1) return Fail("bad IHDR method fields");
    if (!DepthAllowed(colourType_, bitDepth_)) return Fail("bit depth and colour type that PNG forbids");
    if (uint64_t(w) * h > uint64_t(kMaxPixels)) return Fail("image too large");
    width_ = int(w);
    height_ = int(h);
    haveHeader_ = true;

    const int bpp = bitDepth_ * SamplesPerPixel(colourType_);
    if (interlace_ == 0) {
        expectedSize_ = uint64_t(height_) * (1 + RowBytes(bpp, uint64_t(width_)));
    } else {
        expectedSize_ = 0;
        for (int p = 0; p < 7; ++p) {
            uint64_t cols = PassColumns(p, width_), rows = PassRows(p, height_);
            if (cols && rows) expectedSize_ += rows * (RowBytes(bpp, cols) + 1);
        }
    }
    return expectedSize_ != 0 || Fail("no image data expected");
}

bool cPNGparser::ParsePLTE(const ByteView& c) {
    if (c.size() % 3 != 0) return Fail("PLTE length is not a multiple of 3");
    palette_.assign(c.data(), c.data() + c.size());
    havePalette_ = true;
    return true;
}

void cPNGparser::ParseTRNS(const ByteView& c) {
    trns_.assign(c.data(), c.data() + c.size());
    haveTrns_ = true;
    if (colourType_ == 0 && c.size() >= 2) {
        if (bitDepth_ >= 1 && bitDepth_ <= 8) transparentKey_ = c.U8(1);
        else if (bitDepth_ == 16) transparentKey_ = c.U8(0);
    } else if (colourType_ == 2 && c.size() >= 6) {
        transparentKey_ = int32_t(uint32_t(c.U8(1)) << 16 | uint32_t(c.U8(3)) << 8 | c.U8(5));
        keyHigh_ = uint32_t(c.U8(0)) << 16 | uint32_t(c.U8(2)) << 8 | c.U8(4);
    } else if (colourType_ == 3) {
        if (trns_.size() < 256) trns_.resize(256, 255);
        transparentKey_ = 0;
    }
}

bool cPNGparser::InflateAndConvert(cImage32& target) {
    const int ct = colourType_, depth = bitDepth_;
    RowContext ctx;
    if (ct == 0) {
        const uint32_t maxSample = depth == 16 ? 255 : (1u << depth) - 1;
        const uint32_t scale = depth == 16 ? 1 : 255 / maxSample;
        for (uint32_t i = 0; i <= maxSample; ++i) ctx.lut[i] = Premultiplied(i * scale, i * scale, i * scale, 255);
        if (transparentKey_ >= 0 && uint32_t(transparentKey_) <= maxSample) ctx.lut[size_t(transparentKey_)] = 0;
    } else if (ct == 3) {
        // Without PLTE: black, except entry 1 at depth 1, which is white.
        std::vector<uint8_t> pal = palette_;
        if (!havePalette_) {
            pal.assign(256 * 3, 0);
            if (depth == 1) pal[3] = pal[4] = pal[5] = 255;
        }
        ctx.lutCount = int(std::min<size_t>(pal.size() / 3, 256));
        for (int i = 0; i < ctx.lutCount; ++i) {
            uint32_t a = transparentKey_ != -1 && size_t(i) < trns_.size() ? trns_[size_t(i)] : 255;
            ctx.lut[size_t(i)] = Premultiplied(pal[size_t(i) * 3], pal[size_t(i) * 3 + 1], pal[size_t(i) * 3 + 2], a);
        }
    } else if (ct == 2 && transparentKey_ != -1) {
        const uint32_t k = depth == 16 ? keyHigh_ : uint32_t(transparentKey_);
        ctx.key = true;
        ctx.keyR = k >> 16;
        ctx.keyG = (k >> 8) & 0xFF;
        ctx.keyB = k & 0xFF;
        ctx.keyRgb = k;
    }

    if (!target.InitializeDIB(width_, height_)) return Fail("image too large");
    const int bpp = depth * SamplesPerPixel(ct);
    RowDecoder rows(width_, height_, bpp, interlace_ != 0, PickConverter(ct, depth), ctx, target);
    Inflated result = Inflated::kRefused;
    if (expectedSize_ <= wholeLimit_) {
        // The image's own buffer holds the joined IDAT data until the rows overwrite it.
        ScratchBuffer raw{size_t(expectedSize_) + kInflateSlack};  // without room for it the window will do
        if (raw.data() && InflateWhole(idat_, raw.data(), expectedSize_, target.BitsPointer(),
                                         size_t(target.Width()) * size_t(target.Height()) * 4)) {
            rows.Reset();
            result = Inflated::kDone;
            for (uint8_t* row = raw.data(); !rows.Done();) {
                const size_t length = rows.RowLength();  // taking the last row of a pass changes it
                if (!rows.Take(row)) {
                    result = Inflated::kRowFailed;
                    break;
                }
                row += length;
            }
        }
    }
    if (result == Inflated::kRefused) result = InflateStreaming(idat_, expectedSize_, rows);
    if (result == Inflated::kRefused) return Fail("image data does not inflate");
    if (result == Inflated::kRowFailed) return Fail(rows.Why());
    target.SetAlpha(ct == 2 || ct == 4 || ct == 6 || haveTrns_);
    target.SetImageType(kTypePng);
    why_ = "";
    return true;
}

bool cPNGparser::SaveTo(const std::string& fileName, std::vector<uint8_t>& outStream,
                        const cImage32& source) {
    if (!source.HasImage()) return Fail("no image to save");
    const bool alpha = source.Alpha();
    const int w = source.Width(), h = source.Height();
    const size_t channels = alpha ? 4 : 3, rb = size_t(w) * channels;

    // Rows top first, straight alpha, each with the filter that leaves the smallest sum.
    std::vector<uint8_t> raw((rb + 1) * size_t(h));
    std::vector<uint8_t> line(rb), prev(rb, 0), trial(rb);
    for (int y = 0; y < h; ++y) {
        const uint8_t* px = source.TopRow(y);
        for (int x = 0; x < w; ++x, px += 4) {
            uint8_t* o = &line[size_t(x) * channels];
            uint32_t a = alpha ? px[3] : 255;
            for (int c = 0; c < 3; ++c) {
                uint32_t v = px[2 - c];
                o[c] = uint8_t(a == 255 ? v : a == 0 ? 0 : std::min<uint32_t>(255, (v * 255 + a / 2) / a));
            }
            if (alpha) o[3] = uint8_t(a);
        }
        uint8_t* outRow = &raw[size_t(y) * (rb + 1)];
        uint64_t best = UINT64_MAX;
        for (uint8_t f = 0; f <= 4; ++f) {
            uint64_t sum = 0;
            for (size_t i = 0; i < rb; ++i) {
                int left = i >= channels ? line[i - channels] : 0;
                int up = y ? prev[i] : 0, upLeft = (y && i >= channels) ? prev[i - channels] : 0;
                int pred = f == 0 ? 0 : f == 1 ? left : f == 2 ? up : f == 3 ? (left + up) / 2 : Paeth(left, up, upLeft);
                trial[i] = uint8_t(line[i] - pred);
                sum += uint64_t(std::abs(int(int8_t(trial[i]))));
            }
            if (sum < best) {
                best = sum;
                outRow[0] = f;
                std::copy(trial.begin(), trial.end(), outRow + 1);
            }
        }
        prev.swap(line);
    }

    uLongf packedLen = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedLen);
    if (compress2(packed.data(), &packedLen, raw.data(), uLong(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        return Fail("compression failed");

    std::vector<uint8_t> png(kSignature, kSignature + 8);
    uint8_t ihdr[13] = {};
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = uint8_t(uint32_t(w) >> (24 - 8 * i));
        ihdr[4 + i] = uint8_t(uint32_t(h) >> (24 - 8 * i));
    }
    ihdr[8] = 8;
    ihdr[9] = alpha ? 6 : 2;
    PutChunk(png, "IHDR", ihdr, 13);
    PutChunk(png, "IDAT", packed.data(), packedLen);
    PutChunk(png, "IEND", nullptr, 0);

    if (fileName.empty()) {
        outStream = std::move(png);
        return true;
    }
    std::error_code ec;
    if (std::filesystem::exists(fileName, ec)) {
        std::filesystem::permissions(fileName, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ec);
        if (!std::filesystem::remove(fileName, ec)) return Fail("cannot replace the file");
    }
    std::ofstream f(fileName, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    return bool(f.flush()) || Fail("cannot write the file");
}

}  // namespace pressel
