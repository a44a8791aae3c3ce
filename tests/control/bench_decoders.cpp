// Decoding speed of our PNG, GIF and BMP readers against every peer that reads the format
// (libpng, libspng, stb_image, giflib, Qt), side by side on pictures generated here, each
// decoder going from the encoded bytes in memory to a fresh 4-channel buffer. Outputs are
// compared pixel by pixel; the table gives peer time / our time (above 1: ours is faster).
//   pressel_decode_bench [SIZE|KIND ...]   e.g. "1024x768", "gif", "png-photo"; no argument: all
//   PRESSEL_BENCH_DUMP=DIR also writes the pictures there.
#include <gif_lib.h>
#include <png.h>
#include <spng.h>
#include <stb/stb_image.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "cBMPparser.h"
#include "cGIFparser.h"
#include "cPNGparser.h"
#include "png_memory.h"

// ---- peak memory, for the line under the table ----
namespace {
// A field of /proc/self/status in kB, or -1.
long StatusKb(const char* field) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return -1;
}
}  // namespace

namespace {

using Bytes = std::vector<uint8_t>;

// A picture in straight RGBA, rows top first.
struct Picture {
    int w = 0, h = 0;
    Bytes px;
    uint8_t* At(int x, int y) { return &px[(size_t(y) * size_t(w) + size_t(x)) * 4]; }
};

// Smooth waves with grain and a soft alpha ring: what a photograph gives an encoder.
Picture Photo(int w, int h) {
    Picture p{w, h, Bytes(size_t(w) * size_t(h) * 4)};
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> grain(-6, 6);
    for (int y = 0; y < h; ++y) {
        const double fy = y / double(h);
        for (int x = 0; x < w; ++x) {
            const double fx = x / double(w);
            const double v[3] = {128 + 90 * std::sin(fx * 7 + fy * 3) + 30 * std::sin(fx * 41 * fy),
                                 128 + 80 * std::cos(fx * 5 - fy * 9) + 25 * std::sin(fy * 37),
                                 128 + 70 * std::sin(fx * fy * 13 + 1) + 35 * std::cos(fx * 29)};
            uint8_t* o = p.At(x, y);
            for (int c = 0; c < 3; ++c) o[c] = uint8_t(std::clamp(int(v[c]) + grain(rng), 0, 255));
            const double d = std::hypot(fx - 0.5, fy - 0.5) * 4 - 1;  // opaque centre, soft ring
            o[3] = uint8_t(std::clamp(int(255 * (1 - d)), 0, 255));
        }
    }
    return p;
}

// Flat panels, borders and lines of small glyphs in a few colours: a screenshot of a form.
Picture Screenshot(int w, int h) {
    Picture p{w, h, Bytes(size_t(w) * size_t(h) * 4)};
    std::mt19937 rng(7);
    uint16_t glyphs[48][10];  // 6 x 10 pixel glyphs
    for (auto& g : glyphs)
        for (auto& row : g) row = uint16_t(rng() & 0x3F);
    const uint32_t ui[6] = {0xF0F0F0, 0xFFFFFF, 0x3C6EB4, 0xD4D0C8, 0x202020, 0x808080};
    auto put = [&](int x, int y, uint32_t c) {
        uint8_t* o = p.At(x, y);
        o[0] = uint8_t(c >> 16);
        o[1] = uint8_t(c >> 8);
        o[2] = uint8_t(c);
        o[3] = 255;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int px = x % 512, py = y % 384;  // a window every 512 x 384
            uint32_t c = ui[0];
            if (py < 24) c = px < 500 ? ui[2] : ui[3];                       // title bar
            else if (px < 4 || px > 507 || py > 379) c = ui[5];              // border
            else if (px > 16 && px < 496 && py > 40 && py < 370) c = ui[1];  // content
            put(x, y, c);
        }
    for (int y = 0; y + 16 <= h; y += 16)
        for (int x = 0; x + 8 <= w; x += 8) {
            const int px = x % 512, py = y % 384;
            if (!(px > 24 && px < 480 && py > 48 && py < 352)) continue;
            const uint32_t pick = uint32_t(x / 8 * 131 + y / 16 * 71) % 61;
            if (pick >= 48) continue;  // spaces
            for (int gy = 0; gy < 10; ++gy)
                for (int gx = 0; gx < 6; ++gx)
                    if (glyphs[pick][gy] >> gx & 1) put(x + gx, y + 3 + gy, ui[4]);
        }
    return p;
}

// ---- encoders ----

enum class Kind { kPhotoRgba, kPhotoRgb, kScreenshot, kPalette, kGrey, kSixteen, kInterlaced };

// The colour index of a pixel for palette formats: 4 bits of red, 4 of green.
uint8_t PaletteIndex(const uint8_t* px) { return uint8_t((px[0] >> 4) << 4 | px[1] >> 4); }
uint8_t Grey(const uint8_t* px) { return uint8_t((px[0] * 77 + px[1] * 150 + px[2] * 29) >> 8); }

Bytes EncodePng(Picture& pic, Kind kind) {
    const int w = pic.w, h = pic.h;
    int colourType = PNG_COLOR_TYPE_RGBA, depth = 8, channels = 4;
    if (kind == Kind::kPhotoRgb || kind == Kind::kScreenshot) colourType = PNG_COLOR_TYPE_RGB, channels = 3;
    if (kind == Kind::kPalette) colourType = PNG_COLOR_TYPE_PALETTE, channels = 1;
    if (kind == Kind::kGrey) colourType = PNG_COLOR_TYPE_GRAY, channels = 1;
    if (kind == Kind::kSixteen) depth = 16;
    const int bytes = depth / 8;
    std::vector<Bytes> rows(size_t(h), Bytes(size_t(w) * size_t(channels * bytes)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = pic.At(x, y);
            uint8_t* o = &rows[size_t(y)][size_t(x) * size_t(channels * bytes)];
            if (kind == Kind::kPalette) o[0] = PaletteIndex(s);
            else if (kind == Kind::kGrey) o[0] = Grey(s);
            else
                for (int c = 0; c < channels; ++c) {
                    o[c * bytes] = s[c];
                    if (bytes == 2) o[c * 2 + 1] = uint8_t(s[c] * 37 + x);  // low bytes of noise
                }
        }
    Bytes out;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    png_set_write_fn(p, &out, PngWriteToMemory, nullptr);
    png_set_IHDR(p, info, png_uint_32(w), png_uint_32(h), depth, colourType,
                 kind == Kind::kInterlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette(256);
    Bytes alpha(256);
    for (int i = 0; i < 256; ++i) {
        palette[size_t(i)] = {uint8_t(i & 0xF0), uint8_t(i << 4), uint8_t(i * 7)};
        alpha[size_t(i)] = uint8_t(i % 16 == 0 ? 0 : i % 16 == 1 ? 128 : 255);
    }
    if (kind == Kind::kPalette) {
        png_set_PLTE(p, info, palette.data(), 256);
        png_set_tRNS(p, info, alpha.data(), 256, nullptr);
    }
    png_write_info(p, info);
    std::vector<png_bytep> pointers;
    for (Bytes& r : rows) pointers.push_back(r.data());
    png_write_image(p, pointers.data());
    png_write_end(p, info);
    png_destroy_write_struct(&p, &info);
    return out;
}

int GifWrite(GifFileType* g, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(g->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

Bytes EncodeGif(Picture& pic, Kind kind) {
    Bytes out;
    int err = 0;
    GifFileType* g = EGifOpen(&out, GifWrite, &err);
    EGifSetGifVersion(g, true);
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i) colours[size_t(i)] = {uint8_t(i & 0xF0), uint8_t(i << 4), uint8_t(i * 7)};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(g, pic.w, pic.h, 8, 0, map);
    if (kind == Kind::kScreenshot) {  // with a transparent index
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, PaletteIndex(pic.At(0, 0))};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    }
    const bool interlaced = kind == Kind::kInterlaced;
    EGifPutImageDesc(g, 0, 0, pic.w, pic.h, interlaced, nullptr);
    std::vector<int> order;
    if (interlaced) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < pic.h; y += step) order.push_back(y);
    } else {
        for (int y = 0; y < pic.h; ++y) order.push_back(y);
    }
    Bytes line(size_t(pic.w));
    for (int y : order) {
        for (int x = 0; x < pic.w; ++x) line[size_t(x)] = PaletteIndex(pic.At(x, y));
        EGifPutLine(g, line.data(), pic.w);
    }
    EGifCloseFile(g, &err);
    GifFreeMapObject(map);
    return out;
}

void Le16(Bytes& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void Le32(Bytes& b, uint32_t v) { Le16(b, v & 0xFFFF), Le16(b, v >> 16); }

// BMP of `bits` a pixel: 1, 4 and 8 with a colour table, 16 as 5-5-5, 24, and 32 with bit
// fields and alpha in a version 4 header.
Bytes EncodeBmp(Picture& pic, int bits) {
    const int w = pic.w, h = pic.h;
    const uint32_t header = bits == 32 ? 108 : 40, colours = bits <= 8 ? 1u << bits : 0;
    const size_t stride = (size_t(bits) * size_t(w) + 31) / 32 * 4;
    const uint32_t offset = 14 + header + colours * 4;
    Bytes b{'B', 'M'};
    Le32(b, uint32_t(offset + stride * size_t(h)));
    Le32(b, 0);
    Le32(b, offset);
    Le32(b, header);
    Le32(b, uint32_t(w));
    Le32(b, uint32_t(h));
    Le16(b, 1);
    Le16(b, uint32_t(bits));
    Le32(b, bits == 32 ? 3 : 0);
    Le32(b, uint32_t(stride * size_t(h)));
    Le32(b, 2835), Le32(b, 2835), Le32(b, colours), Le32(b, 0);
    if (bits == 32) {
        for (uint32_t m : {0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u}) Le32(b, m);
        b.resize(14 + header, 0);
    }
    for (uint32_t i = 0; i < colours; ++i) {
        const uint32_t v = colours == 2 ? i * 255 : colours == 16 ? i * 17 : i;
        b.push_back(uint8_t(v * 7)), b.push_back(uint8_t(v << 4)), b.push_back(uint8_t(v & 0xF0)), b.push_back(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        Bytes row(stride, 0);
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = pic.At(x, y);
            switch (bits) {
                case 1: row[size_t(x) / 8] |= uint8_t((Grey(s) >> 7) << (7 - x % 8)); break;
                case 4: row[size_t(x) / 2] |= uint8_t((Grey(s) >> 4) << (x % 2 ? 0 : 4)); break;
                case 8: row[size_t(x)] = PaletteIndex(s); break;
                case 16: {
                    const uint32_t v = uint32_t(s[0] >> 3) << 10 | uint32_t(s[1] >> 3) << 5 | uint32_t(s[2] >> 3);
                    row[size_t(x) * 2] = uint8_t(v), row[size_t(x) * 2 + 1] = uint8_t(v >> 8);
                    break;
                }
                default:
                    for (int c = 0; c < 3; ++c) row[size_t(x) * size_t(bits / 8) + size_t(c)] = s[2 - c];
                    if (bits == 32) row[size_t(x) * 4 + 3] = s[3];
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// ---- decoders: each from the bytes to a fresh 4-channel buffer ----

// Straight RGBA from a peer, or our premultiplied BGRA with its alpha flag.
struct Decoded {
    int w = 0, h = 0;
    Bytes px;
    bool ours = false, alpha = true;
};

bool Ours(const Bytes& data, const std::string& format, Decoded& out) {
    pressel::cImage32 img;
    if (format == "png") pressel::cPNGparser().LoadStream(data, img, 0, data.size());
    else if (format == "gif") pressel::cGIFparser().LoadStream(data, img, 0, data.size());
    else pressel::cBMPparser().LoadStream(data, img, 0, data.size());
    if (!img.HasImage()) return false;
    out.w = img.Width(), out.h = img.Height(), out.ours = true, out.alpha = img.Alpha();
    out.px.resize(size_t(out.w) * size_t(out.h) * 4);
    for (int y = 0; y < out.h; ++y)  // the image keeps its rows bottom first
        std::memcpy(&out.px[size_t(y) * size_t(out.w) * 4], img.TopRow(y), size_t(out.w) * 4);
    return true;
}

// Only the decoding is timed for ours: the copy above is for the comparison.
bool OursTimed(const Bytes& data, const std::string& format) {
    pressel::cImage32 img;
    if (format == "png") pressel::cPNGparser().LoadStream(data, img, 0, data.size());
    else if (format == "gif") pressel::cGIFparser().LoadStream(data, img, 0, data.size());
    else pressel::cBMPparser().LoadStream(data, img, 0, data.size());
    return img.HasImage();
}

bool Libpng(const Bytes& png, Decoded& out) {
    png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    PngMemoryReader r{&png, 0};
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_read_struct(&p, &info, nullptr);
        return false;
    }
    png_set_read_fn(p, &r, PngReadFromMemory);
    png_read_info(p, info);
    png_set_expand(p);
    png_set_strip_16(p);
    png_set_gray_to_rgb(p);
    png_set_add_alpha(p, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(p);
    png_read_update_info(p, info);
    out.w = int(png_get_image_width(p, info)), out.h = int(png_get_image_height(p, info));
    out.px.resize(size_t(out.w) * size_t(out.h) * 4);
    std::vector<png_bytep> rows(size_t(out.h));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = out.px.data() + y * size_t(out.w) * 4;
    png_read_image(p, rows.data());
    png_read_end(p, nullptr);
    png_destroy_read_struct(&p, &info, nullptr);
    return true;
}

bool Spng(const Bytes& png, Decoded& out) {
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, png.data(), png.size());
    spng_ihdr ihdr{};
    size_t n = 0;
    bool ok = spng_get_ihdr(ctx, &ihdr) == 0 && spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &n) == 0;
    if (ok) {
        out.w = int(ihdr.width), out.h = int(ihdr.height);
        out.px.resize(n);
        ok = spng_decode_image(ctx, out.px.data(), n, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
    }
    spng_ctx_free(ctx);
    return ok;
}

bool Stb(const Bytes& data, Decoded& out) {
    int channels = 0;
    uint8_t* px = stbi_load_from_memory(data.data(), int(data.size()), &out.w, &out.h, &channels, 4);
    if (!px) return false;
    out.px.assign(px, px + size_t(out.w) * size_t(out.h) * 4);  // stb's own buffer is already fresh
    stbi_image_free(px);
    return true;
}

// stb_image without the copy above, for timing.
bool StbTimed(const Bytes& data) {
    int w = 0, h = 0, channels = 0;
    uint8_t* px = stbi_load_from_memory(data.data(), int(data.size()), &w, &h, &channels, 4);
    stbi_image_free(px);
    return px != nullptr;
}

struct GifReader {
    const Bytes* bytes;
    size_t pos;
};
int GifRead(GifFileType* g, GifByteType* out, int n) {
    auto* r = static_cast<GifReader*>(g->UserData);
    const size_t k = std::min(size_t(n), r->bytes->size() - r->pos);
    std::memcpy(out, r->bytes->data() + r->pos, k);
    r->pos += k;
    return int(k);
}

bool Giflib(const Bytes& gif, Decoded& out) {
    GifReader r{&gif, 0};
    int err = 0;
    GifFileType* g = DGifOpen(&r, GifRead, &err);
    if (!g) return false;
    bool ok = DGifSlurp(g) == GIF_OK && g->ImageCount > 0;
    if (ok) {
        const SavedImage& im = g->SavedImages[0];
        const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : g->SColorMap;
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(g, 0, &gcb);
        out.w = im.ImageDesc.Width, out.h = im.ImageDesc.Height;
        out.px.resize(size_t(out.w) * size_t(out.h) * 4);
        uint32_t table[256] = {};
        for (int i = 0; i < map->ColorCount && i < 256; ++i) {
            const GifColorType c = map->Colors[i];
            table[i] = uint32_t(c.Red) | uint32_t(c.Green) << 8 | uint32_t(c.Blue) << 16 | 0xFF000000u;
        }
        if (gcb.TransparentColor >= 0 && gcb.TransparentColor < 256) table[gcb.TransparentColor] = 0;
        for (size_t i = 0, n = size_t(out.w) * size_t(out.h); i < n; ++i)
            std::memcpy(&out.px[i * 4], &table[im.RasterBits[i]], 4);
    }
    DGifCloseFile(g, &err);
    return ok;
}

bool QtImage(const Bytes& data, const char* format, Decoded& out) {
    QImage img;
    if (!img.loadFromData(data.data(), int(data.size()), format)) return false;
    if (img.format() != QImage::Format_ARGB32) img = img.convertToFormat(QImage::Format_ARGB32);
    out.w = img.width(), out.h = img.height();
    out.px.resize(size_t(out.w) * size_t(out.h) * 4);
    for (int y = 0; y < out.h; ++y) {
        const uint8_t* s = img.constScanLine(y);
        uint8_t* d = &out.px[size_t(y) * size_t(out.w) * 4];
        for (int x = 0; x < out.w; ++x, s += 4, d += 4) d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
    }
    return true;
}

// Pixels a peer gives that differ from ours by more than 1 in a byte, after premultiplying
// the peer's by our rule; without our alpha flag only the colours count.
int64_t Differences(const Decoded& ours, const Decoded& peer) {
    if (ours.w != peer.w || ours.h != peer.h) return -1;
    int64_t diff = 0;
    for (size_t i = 0; i < ours.px.size(); i += 4) {
        const uint8_t* o = &ours.px[i];
        const uint8_t* p = &peer.px[i];
        const uint32_t a = ours.alpha ? p[3] : 255;
        const int want[4] = {int(p[2] * a / 255), int(p[1] * a / 255), int(p[0] * a / 255), int(p[3])};
        for (int c = 0; c < (ours.alpha ? 4 : 3); ++c)
            if (std::abs(want[c] - int(o[c])) > 1) {
                ++diff;
                break;
            }
    }
    return diff;
}

// The best of several rounds for each decoder, in milliseconds (negative when one fails).
// Each round runs every decoder, so that a busy spell of the machine hits all alike, and
// times its second of two runs in a row: on a heap its first run has warmed.
std::vector<double> Times(const std::vector<std::function<bool()>>& decoders) {
    std::vector<double> best(decoders.size(), 1e30);
    double spent = 0;
    for (int round = 0; round < 100 && (round < 5 || spent < 3000); ++round) {
        for (size_t d = 0; d < decoders.size(); ++d) {
            if (!decoders[d]()) best[d] = -1;
            const auto t0 = std::chrono::steady_clock::now();
            if (!decoders[d]()) best[d] = -1;
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            if (best[d] >= 0) best[d] = std::min(best[d], ms);
            spent += ms;
        }
    }
    return best;
}

struct Row {
    std::string format, kind;
    int w, h;
    std::function<Bytes(Picture&)> encode;
};

const char* const kPeers[] = {"libpng", "libspng", "stb_image", "giflib", "Qt"};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // Qt finds its GIF reader as a plugin
    std::vector<std::string> filters(argv + 1, argv + argc);
    const std::pair<int, int> sizes[] = {{256, 256}, {1024, 768}, {4096, 3072}};
    struct KindName {
        const char* name;
        Kind kind;
    };
    const KindName pngKinds[] = {{"photo RGBA8", Kind::kPhotoRgba},         {"photo RGB8", Kind::kPhotoRgb},
                                 {"screenshot RGB8", Kind::kScreenshot},     {"palette + tRNS", Kind::kPalette},
                                 {"grey 8", Kind::kGrey},                    {"photo RGBA16", Kind::kSixteen},
                                 {"photo RGBA8 interlaced", Kind::kInterlaced}};
    const KindName gifKinds[] = {{"photo", Kind::kPhotoRgb}, {"screenshot + transparency", Kind::kScreenshot},
                                 {"photo interlaced", Kind::kInterlaced}};
    std::vector<Row> rows;
    for (auto [w, h] : sizes) {
        for (const KindName& k : pngKinds)
            rows.push_back({"png", k.name, w, h, [k = k.kind](Picture& p) { return EncodePng(p, k); }});
        for (const KindName& k : gifKinds)
            rows.push_back({"gif", k.name, w, h, [k = k.kind](Picture& p) { return EncodeGif(p, k); }});
        for (int bits : {1, 4, 8, 16, 24, 32})
            rows.push_back({"bmp", std::to_string(bits) + "-bit" + (bits == 32 ? " bit fields + alpha" : ""), w, h,
                            [bits](Picture& p) { return EncodeBmp(p, bits); }});
    }

    std::printf("| picture | ours ms |");
    for (const char* peer : kPeers) std::printf(" %s |", peer);
    std::printf(" pixels |\n|---|---|");
    for (size_t i = 0; i < std::size(kPeers); ++i) std::printf("---|");
    std::printf("---|\n");
    std::map<std::string, Picture> pictures;
    for (const Row& row : rows) {
        const std::string size = std::to_string(row.w) + "x" + std::to_string(row.h);
        const std::string name = row.format + " " + row.kind + " " + size;
        std::string slug = name;
        std::replace(slug.begin(), slug.end(), ' ', '-');
        bool wanted = filters.empty();
        for (const std::string& f : filters) wanted |= slug.find(f) != std::string::npos;
        if (!wanted) continue;
        const bool screenshot = row.kind.find("screenshot") != std::string::npos;
        const std::string key = (screenshot ? "s" : "p") + size;
        if (!pictures.count(key)) pictures[key] = screenshot ? Screenshot(row.w, row.h) : Photo(row.w, row.h);
        const Bytes data = row.encode(pictures[key]);
        if (const char* dir = std::getenv("PRESSEL_BENCH_DUMP"))
            std::ofstream(std::string(dir) + "/" + slug + "." + row.format, std::ios::binary)
                .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));

        Decoded ours;
        if (!Ours(data, row.format, ours)) {
            std::printf("| %s | our reader failed |\n", name.c_str());
            continue;
        }
        std::string pixels = "same";
        const char* qtFormat = row.format == "png" ? "PNG" : row.format == "gif" ? "GIF" : "BMP";
        std::vector<std::function<bool()>> timed{[&] { return OursTimed(data, row.format); }};
        std::vector<std::string> cells;  // a peer's cell, or "" to be filled with its ratio
        for (const char* peer : kPeers) {
            const std::string p = peer;
            std::function<bool(Decoded&)> decode;
            std::function<bool()> fast;
            if (p == "libpng" && row.format == "png") decode = [&](Decoded& d) { return Libpng(data, d); };
            if (p == "libspng" && row.format == "png") decode = [&](Decoded& d) { return Spng(data, d); };
            if (p == "giflib" && row.format == "gif") decode = [&](Decoded& d) { return Giflib(data, d); };
            if (p == "stb_image") {
                decode = [&](Decoded& d) { return Stb(data, d); };
                fast = [&] { return StbTimed(data); };
            }
            if (p == "Qt") decode = [&, qtFormat](Decoded& d) { return QtImage(data, qtFormat, d); };
            Decoded out;
            if (!decode || !decode(out)) {
                cells.push_back(decode ? " fails" : "");
                continue;
            }
            if (const int64_t diff = Differences(ours, out); diff != 0)
                pixels = (pixels == "same" ? "" : pixels + ", ") + p + " " + std::to_string(diff);
            cells.push_back("ratio");
            timed.push_back(fast ? fast : [decode] {
                Decoded d;
                return decode(d);
            });
        }
        const std::vector<double> ms = Times(timed);
        std::printf("| %s | %.2f |", name.c_str(), ms[0]);
        for (size_t c = 0, t = 1; c < cells.size(); ++c) {
            if (cells[c] == "ratio") std::printf(" %.2f |", ms[t++] / ms[0]);
            else std::printf("%s |", cells[c].c_str());
        }
        std::printf(" %s |\n", pixels.c_str());
        std::fflush(stdout);
    }

    // Peak resident memory our reader adds on the largest RGBA picture, against the image.
    bool memory = filters.empty();
    for (const std::string& f : filters) memory |= f == "memory";
    if (memory) {
        Picture& photo = pictures.count("p4096x3072") ? pictures["p4096x3072"] : (pictures["p4096x3072"] = Photo(4096, 3072));
        const Bytes data = EncodePng(photo, Kind::kPhotoRgba);
        std::ofstream("/proc/self/clear_refs") << "5";  // restarts the peak from here
        const long before = StatusKb("VmRSS:");
        OursTimed(data, "png");
        const long peak = StatusKb("VmHWM:");
        const double image = 4096.0 * 3072 * 4 / 1024;
        std::printf("\nPeak memory of our PNG reader on the 4096x3072 RGBA photo, beyond its input: %.1f MB, %.2f x the image\n",
                    double(peak - before) / 1024, double(peak - before) / image);
    }
    return 0;
}
