// PNG decoding speed: our reader against libpng on the same files, each decoding into a new
// 32-bit RGBA buffer. Besides a few suite files, it generates large photo-like pictures.
//   pressel_png_bench [--benchmark_filter=...]   (PRESSEL_BENCH_DUMP=DIR also writes the pictures there)
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cPNGparser.h"
#include "png_memory.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A smooth, noisy, photo-like picture: overlapping waves, grain, and a soft alpha edge.
Bytes MakePhoto(int w, int h, int colourType, bool interlaced) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> grain(-6, 6);
    const int channels = colourType == PNG_COLOR_TYPE_RGBA ? 4 : colourType == PNG_COLOR_TYPE_RGB ? 3 : 1;
    std::vector<Bytes> rows(size_t(h), Bytes(size_t(w) * size_t(channels)));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double fx = x / double(w), fy = y / double(h);
            const double v[3] = {128 + 90 * std::sin(fx * 7 + fy * 3) + 30 * std::sin(fx * 41 * fy),
                                 128 + 80 * std::cos(fx * 5 - fy * 9) + 25 * std::sin(fy * 37),
                                 128 + 70 * std::sin(fx * fy * 13 + 1) + 35 * std::cos(fx * 29)};
            uint8_t* o = &rows[size_t(y)][size_t(x) * size_t(channels)];
            for (int c = 0; c < std::min(channels, 3); ++c) o[c] = uint8_t(std::clamp(int(v[c]) + grain(rng), 0, 255));
            if (channels == 4) {
                const double d = std::hypot(fx - 0.5, fy - 0.5) * 4 - 1;  // opaque centre, soft ring
                o[3] = uint8_t(std::clamp(int(255 * (1 - d)), 0, 255));
            }
            if (colourType == PNG_COLOR_TYPE_PALETTE) o[0] = uint8_t((int(v[0]) / 16 * 16 + int(v[1]) / 16) & 0xFF);
        }
    }
    Bytes out;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    png_set_write_fn(p, &out, PngWriteToMemory, nullptr);
    png_set_IHDR(p, info, png_uint_32(w), png_uint_32(h), 8, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette(256);
    for (int i = 0; i < 256; ++i) palette[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(p, info, palette.data(), 256);
    png_write_info(p, info);
    std::vector<png_bytep> pointers;
    for (Bytes& r : rows) pointers.push_back(r.data());
    png_write_image(p, pointers.data());
    png_write_end(p, info);
    png_destroy_write_struct(&p, &info);
    return out;
}

const Bytes& Picture(const std::string& name) {
    static std::map<std::string, Bytes> cache;
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    Bytes b;
    if (name == "photo-rgba-2048x1536") b = MakePhoto(2048, 1536, PNG_COLOR_TYPE_RGBA, false);
    else if (name == "photo-rgb-2048x1536") b = MakePhoto(2048, 1536, PNG_COLOR_TYPE_RGB, false);
    else if (name == "photo-rgba-interlaced-1024x768") b = MakePhoto(1024, 768, PNG_COLOR_TYPE_RGBA, true);
    else if (name == "palette-1024x768") b = MakePhoto(1024, 768, PNG_COLOR_TYPE_PALETTE, false);
    else {
        std::ifstream f(std::string(VRN_FIXTURES) + "/images/pngsuite/" + name, std::ios::binary);
        b.assign(std::istreambuf_iterator<char>(f), {});
    }
    if (const char* dir = std::getenv("PRESSEL_BENCH_DUMP"))  // to look at, or to time elsewhere
        std::ofstream(std::string(dir) + "/" + name + (name.ends_with(".png") ? "" : ".png"), std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return cache[name] = b;
}

// libpng to 8-bit RGBA, the nearest it comes to what our reader delivers.
bool LibpngToRgba(const Bytes& png, Bytes& out) {
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
    const size_t w = png_get_image_width(p, info), h = png_get_image_height(p, info);
    out.assign(w * h * 4, 0);
    std::vector<png_bytep> rows(h);
    for (size_t y = 0; y < h; ++y) rows[y] = out.data() + y * w * 4;
    png_read_image(p, rows.data());
    png_read_end(p, nullptr);
    png_destroy_read_struct(&p, &info, nullptr);
    return true;
}

void Ours(benchmark::State& state, const char* name) {
    const Bytes& png = Picture(name);
    for (auto _ : state) {
        pressel::cImage32 img;
        pressel::cPNGparser().LoadStream(png, img, 0, png.size());
        if (!img.HasImage()) state.SkipWithError("our reader failed");
        benchmark::DoNotOptimize(img.BitsPointer());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(png.size()));
}

void Libpng(benchmark::State& state, const char* name) {
    const Bytes& png = Picture(name);
    for (auto _ : state) {
        Bytes out;
        if (!LibpngToRgba(png, out)) state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(png.size()));
}

const char* const kPictures[] = {"photo-rgba-2048x1536", "photo-rgb-2048x1536", "photo-rgba-interlaced-1024x768",
                                 "palette-1024x768", "basn6a08.png", "basn2c16.png", "basn3p08.png"};

[[maybe_unused]] const bool kRegistered = [] {
    for (const char* name : kPictures) {
        benchmark::RegisterBenchmark((std::string("ours/") + name).c_str(), Ours, name)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("libpng/") + name).c_str(), Libpng, name)->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
