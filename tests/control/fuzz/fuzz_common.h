// Shared by the fuzz targets: whatever a reader produced is drawn, saved and scaled, so that
// a wrong size or a short pixel buffer shows up under AddressSanitizer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cImage32.h"

inline void ExerciseImage(const pressel::cImage32& img, size_t seed) {
    if (!img.HasImage()) return;
    std::vector<uint8_t> canvas(24 * 24 * 4, 0x80);
    const pressel::BgraSurface s{canvas.data(), 24, 24, 24 * 4};
    const int x = int(seed % 31) - 15, y = int(seed / 31 % 31) - 15;
    img.Render(s, x, y, 0, 0, int(seed % 101));
    img.Render(s, x, y, int(seed % 40) + 1, int(seed % 23) + 1, 100);
    std::vector<uint8_t> bmp;
    img.SaveToStream(bmp);
    int w = 0, h = 0;
    img.ScaleImage(int(seed % 500), int(seed % 300), w, h, int(seed % 4));
}
