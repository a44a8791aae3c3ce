#include "cPNGparser.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

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

template <size_t Step>
void UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, size_t step) {
    if constexpr (Step != 0) step = Step;
    switch (type) {
        case 1:
            for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + row[i - step]);
            break;
        case 2:
            if (prev) for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
            break;
        case 3:
            if (prev) {
                for (size_t i = 0; i < step && i < n; ++i) row[i] = uint8_t(row[i] + prev[i] / 2);
                for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + (row[i - step] + prev[i]) / 2);
            } else {
                for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + row[i - step] / 2);
            }
            break;
        case 4:
            if (prev) {
                for (size_t i = 0; i < step && i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
                for (size_t i = step; i < n; ++i)
                    row[i] = uint8_t(row[i] + Paeth(row[i - step], prev[i], prev[i - step]));
            } else {
                for (size_t i = step; i < n; ++i) row[i] = uint8_t(row[i] + row[i - step]);
            }
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

// One row of `n` pixels into dst, `step` bytes from one pixel to the next.
template <int CT, int D>
bool ConvertRow(const RowContext& c, const uint8_t* s, uint64_t n, uint8_t* dst, size_t step) {
    constexpr int B = D / 8;  // bytes per sample at depth 8 and 16; the high byte comes first
    for (uint64_t i = 0; i < n; ++i, dst += step) {
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

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

// zlib raw inflate after the two header bytes, without the Adler-32 check; output that
// fills the buffer ends it as success.
bool InflateRaw(const std::vector<uint8_t>& in, uint8_t* out, uint64_t outSize) {
    if (in.size() < 2) return false;
    z_stream s{};
    if (inflateInit2(&s, -15) != Z_OK) return false;
    s.next_in = const_cast<Bytef*>(in.data() + 2);
    s.avail_in = uInt(in.size() - 2);
    s.next_out = out;
    s.avail_out = uInt(outSize);
    int rc = inflate(&s, Z_FINISH);
    bool ok = rc == Z_STREAM_END || s.avail_out == 0;
    inflateEnd(&s);
    return ok;
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
    compressed_.clear();
    compressed_.reserve(v.size() / 2 + 1);
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
            compressed_.insert(compressed_.end(), chunk.data(), chunk.data() + len);
        }
        // Every other chunk (gAMA, cHRM, iCCP, text, ...) is skipped: no colour correction.
    }
    if (compressed_.empty()) return Fail("no image data");
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
    // calloc: the part of the buffer a short stream leaves unwritten must read as zero.
    std::unique_ptr<uint8_t, FreeDeleter> buf(static_cast<uint8_t*>(std::calloc(size_t(expectedSize_), 1)));
    if (!buf) return Fail("out of memory");
    uLongf destLen = uLongf(expectedSize_);
    bool ok = uncompress(buf.get(), &destLen, compressed_.data(), uLong(compressed_.size())) == Z_OK;
    if (!ok) ok = InflateRaw(compressed_, buf.get(), expectedSize_);
    std::vector<uint8_t>().swap(compressed_);
    if (!ok) return Fail("image data does not inflate");

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
    const RowConverter convert = PickConverter(ct, depth);
    const int bpp = depth * SamplesPerPixel(ct);
    const size_t step = size_t(std::max(1, bpp / 8));
    uint8_t* data = buf.get();
    const int firstPass = interlace_ ? 0 : 7, lastPass = interlace_ ? 6 : 7;
    for (int p = firstPass; p <= lastPass; ++p) {
        const uint64_t cols = p == 7 ? uint64_t(width_) : PassColumns(p, width_);
        const uint64_t rows = p == 7 ? uint64_t(height_) : PassRows(p, height_);
        if (!cols || !rows) continue;  // passes without pixels take no data
        const uint64_t rb = RowBytes(bpp, cols);
        const uint8_t* prev = nullptr;
        for (uint64_t g = 0; g < rows; ++g, data += rb + 1) {
            uint8_t* row = data + 1;
            // Non-interlaced rows with an unknown filter are kept as they are.
            if (data[0] > 4 && interlace_) return Fail("bad filter type in interlaced data");
            Unfilter(data[0], row, prev, size_t(rb), step);
            prev = row;
            const int y = kFirstRow[p] + int(g) * kRowStep[p];
            uint8_t* dst = target.TopRow(y) + size_t(kFirstCol[p]) * 4;
            if (!convert(ctx, row, cols, dst, size_t(kColStep[p]) * 4))
                return Fail("palette index beyond the palette");
        }
    }
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
