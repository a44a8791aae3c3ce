#include "cPNGparser.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

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

// ---- row filters, in place; `prev` is the row above (already restored), or null ----

inline uint8_t Paeth(int a, int b, int c) {
    int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return uint8_t((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c));
}

#if defined(__SSE2__)
// Sub, Average and Paeth for pixels of 3 or 4 bytes, a pixel at a time in 16-bit lanes, with
// the pixel to the left kept in a register: each pixel needs the one restored before it, so
// the gain is in doing its bytes together without branches or reloads.
// Three-byte pixels are assembled in a register: going through memory stalls the load.
template <size_t Step>
inline __m128i LoadPixel(const uint8_t* p) {
    uint32_t v;
    if constexpr (Step == 4) std::memcpy(&v, p, 4);
    else v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), _mm_setzero_si128());
}
template <size_t Step>
inline void StorePixel(uint8_t* p, __m128i v16) {
    const uint32_t v = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v16, v16)));
    if constexpr (Step == 4) {
        std::memcpy(p, &v, 4);
    } else {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
    }
}

template <size_t Step, int Filter>
void UnfilterPixels(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i zero = _mm_setzero_si128(), low = _mm_set1_epi16(0xFF);
    __m128i a = zero, c = zero;  // left and upper-left of the first pixel are 0
    for (size_t i = 0; i + Step <= n; i += Step) {
        __m128i pred;
        if constexpr (Filter == 1) {
            pred = a;
        } else if constexpr (Filter == 3) {
            pred = _mm_srli_epi16(_mm_add_epi16(a, LoadPixel<Step>(prev + i)), 1);
        } else {
            const __m128i b = LoadPixel<Step>(prev + i);
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
        a = _mm_and_si128(_mm_add_epi16(LoadPixel<Step>(row + i), pred), low);
        StorePixel<Step>(row + i, a);
    }
}
#endif

template <size_t Step>
void UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, size_t step) {
    if constexpr (Step != 0) step = Step;
    if (!prev && (type == 2 || type == 3 || type == 4)) {
        // Nothing above: Up changes nothing, Average halves the left byte, Paeth is Sub.
        if (type == 2) return;
        if (type == 3) {
            for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + row[i - step] / 2);
            return;
        }
        type = 1;
    }
#if defined(__SSE2__)
    if constexpr (Step == 3 || Step == 4) {
        switch (type) {
            case 1: UnfilterPixels<Step, 1>(row, prev, n); return;
            case 3: UnfilterPixels<Step, 3>(row, prev, n); return;
            case 4: UnfilterPixels<Step, 4>(row, prev, n); return;
            default: break;
        }
    }
#endif
    switch (type) {
        case 1:
            for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + row[i - step]);
            break;
        case 2:
            for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
            break;
        case 3:
            for (size_t i = 0; i < step && i < n; ++i) row[i] = uint8_t(row[i] + prev[i] / 2);
            for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + (row[i - step] + prev[i]) / 2);
            break;
        case 4:
            for (size_t i = 0; i < step && i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
            for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + Paeth(row[i - step], prev[i], prev[i - step]));
            break;
        default:
            break;
    }
}

void Unfilter(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, size_t step) {
    switch (step) {
        case 1: UnfilterRow<1>(type, row, prev, n, step); break;
        case 3: UnfilterRow<3>(type, row, prev, n, step); break;
        case 4: UnfilterRow<4>(type, row, prev, n, step); break;
        default: UnfilterRow<0>(type, row, prev, n, step); break;
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
    for (; i < n; ++i, dst += step) {
        if constexpr (CT == 6) {
            Store(dst, Premultiplied(s[0], s[B], s[2 * B], s[3 * B]));
            s += 4 * B;
        } else if constexpr (CT == 4) {
            Store(dst, Premultiplied(s[0], s[0], s[0], s[B]));
            s += 2 * B;
        } else if constexpr (CT == 2) {
            uint32_t r = s[0], g = s[B], b = s[2 * B];
            s += 3 * B;
            if (c.key && r == c.keyR && g == c.keyG && b == c.keyB) continue;
            Store(dst, b | g << 8 | r << 16 | 0xFF000000u);
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
    // there until the next row is taken (or KeepPrev moves them).
    bool Take(uint8_t* row) {
        if (row[0] > 4 && interlaced_) return Fail("bad filter type in interlaced data");
        Unfilter(row[0], row + 1, prev_, size_t(rowBytes_), step_);  // an unknown filter leaves the row
        const int y = kFirstRow[pass_] + int(row_) * kRowStep[pass_];
        uint8_t* dst = target_.TopRow(y) + size_t(kFirstCol[pass_]) * 4;
        if (!convert_(ctx_, row + 1, columns_, dst, size_t(kColStep[pass_]) * 4))
            return Fail("palette index beyond the palette");
        prev_ = row + 1;
        if (++row_ == rows_) {
            pass_ = pass_ == 6 ? 8 : pass_ + 1;
            StartPass();
        }
        return true;
    }
    // The previous row is about to be overwritten: keep a copy of it.
    void KeepPrev(std::vector<uint8_t>& store) {
        if (!prev_) return;
        store.assign(prev_, prev_ + rowBytes_);
        prev_ = store.data();
    }

private:
    void StartPass() {
        for (; pass_ <= 7; pass_ = pass_ == 6 ? 8 : pass_ + 1) {
            columns_ = pass_ == 7 ? uint64_t(width_) : PassColumns(pass_, width_);
            rows_ = pass_ == 7 ? uint64_t(height_) : PassRows(pass_, height_);
            if (columns_ && rows_) break;
        }
        rowBytes_ = RowBytes(bpp_, columns_);
        row_ = 0;
        prev_ = nullptr;  // the first row of each pass has nothing above it
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
};

enum class Inflated { kDone, kRefused, kRowFailed };

// Inflates the joined IDAT data and hands each complete row to `rows`, keeping only a
// window of the output in memory. Not `raw`: the zlib stream with its header and Adler-32
// check, as uncompress reads it. `raw`: the deflate data after the two header bytes, unchecked.
// Output up to `expected` bytes counts; a stream that ends early leaves the rest zero.
Inflated InflateRows(const std::vector<std::span<const uint8_t>>& idat, bool raw, uint64_t expected,
                     RowDecoder& rows, std::vector<uint8_t>& window, std::vector<uint8_t>& prevStore) {
    z_stream s{};
    if (inflateInit2(&s, raw ? -15 : 15) != Z_OK) return Inflated::kRefused;
    struct End {
        z_stream* s;
        ~End() { inflateEnd(s); }
    } end{&s};
    size_t next = 0;
    uint64_t skip = raw ? 2 : 0;
    rows.Reset();
    size_t fill = 0, start = 0;
    uint64_t produced = 0;
    auto takeRows = [&] {
        while (!rows.Done() && fill - start >= rows.RowLength()) {
            const size_t len = rows.RowLength();
            if (!rows.Take(window.data() + start)) return false;
            start += len;
        }
        return true;
    };
    auto compact = [&] {
        rows.KeepPrev(prevStore);
        std::memmove(window.data(), window.data() + start, fill - start);
        fill -= start;
        start = 0;
    };
    while (!rows.Done() && produced < expected) {
        while (s.avail_in == 0 && next < idat.size()) {
            const std::span<const uint8_t> d = idat[next++];
            const size_t k = size_t(std::min<uint64_t>(skip, d.size()));
            skip -= k;
            s.next_in = const_cast<Bytef*>(d.data() + k);
            s.avail_in = uInt(d.size() - k);
        }
        if (start + rows.RowLength() > window.size()) compact();
        uint8_t* out = window.data() + fill;
        s.next_out = out;
        s.avail_out = uInt(std::min<uint64_t>(window.size() - fill, expected - produced));
        const int rc = inflate(&s, Z_NO_FLUSH);
        const size_t got = size_t(s.next_out - out);
        fill += got;
        produced += got;
        if (!takeRows()) return Inflated::kRowFailed;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK) return Inflated::kRefused;  // damaged data, or the data ran out
    }
    if (!rows.Done()) {
        // The stream ended early: the missing bytes read as zero.
        if (start + rows.RowLength() > window.size()) compact();
        std::fill(window.begin() + long(fill), window.begin() + long(start + rows.RowLength()), 0);
        fill = start + rows.RowLength();
        if (!takeRows()) return Inflated::kRowFailed;
        std::vector<uint8_t> zero;
        while (!rows.Done()) {
            zero.assign(rows.RowLength(), 0);
            if (!rows.Take(zero.data())) return Inflated::kRowFailed;
        }
    }
    return Inflated::kDone;
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
        const bool crcOk = stored == 0 || uint32_t(crc32(0, type, len + 4)) == stored;
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
    }

    if (!target.InitializeDIB(width_, height_)) return Fail("image too large");
    const int bpp = depth * SamplesPerPixel(ct);
    RowDecoder rows(width_, height_, bpp, interlace_ != 0, PickConverter(ct, depth), ctx, target);
    // A window of some rows, never the whole decompressed image of a large picture.
    const uint64_t windowSize = std::min<uint64_t>(expectedSize_, RowBytes(bpp, uint64_t(width_)) + 1 + (uint64_t(1) << 18));
    std::vector<uint8_t> window(static_cast<size_t>(windowSize)), prev;
    Inflated result = InflateRows(idat_, false, expectedSize_, rows, window, prev);
    // What zlib refuses (a bad header or Adler-32, ...) gets a second chance without the checks;
    // it yields the same bytes as far as the first attempt got.
    if (result == Inflated::kRefused) result = InflateRows(idat_, true, expectedSize_, rows, window, prev);
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
