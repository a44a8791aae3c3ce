// libpng reading from and writing to memory, for the tests and the benchmark.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

struct PngMemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t pos;
};

inline void PngReadFromMemory(png_structp p, png_bytep out, png_size_t n) {
    auto* r = static_cast<PngMemoryReader*>(png_get_io_ptr(p));
    if (r->pos + n > r->bytes->size()) png_error(p, "read past the end");
    std::memcpy(out, r->bytes->data() + r->pos, n);
    r->pos += n;
}

inline void PngWriteToMemory(png_structp p, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
    out->insert(out->end(), data, data + n);
}
