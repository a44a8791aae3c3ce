// pressel_decode: loads a picture file through the control library's loader and writes it as
// a PAM (RGBA, straight alpha), so that our decoding can be compared with any other decoder.
//   pressel_decode IN OUT.pam [ICON_WIDTH ICON_HEIGHT]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cImage32.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s IN OUT.pam [ICON_WIDTH ICON_HEIGHT]\n", argv[0]);
        return 2;
    }
    const int iconWidth = argc == 5 ? std::atoi(argv[3]) : 0;
    const int iconHeight = argc == 5 ? std::atoi(argv[4]) : 0;
    pressel::cImage32 image;
    if (!image.LoadPicture_File(argv[1], iconWidth, iconHeight)) {
        const pressel::LoadReport& r = image.LastLoadReport();
        std::fprintf(stderr, "%s: not loaded: %s%s%s\n", argv[1], *r.reader ? r.reader : "",
                     *r.reader ? " reader: " : "", *r.reason ? r.reason : "missing file or 56 bytes or shorter");
        return 1;
    }
    const int w = image.Width(), h = image.Height();
    std::vector<unsigned char> rgba(size_t(w) * size_t(h) * 4);
    for (int y = 0; y < h; ++y) {
        const unsigned char* p = image.TopRow(y);
        for (int x = 0; x < w; ++x, p += 4) {
            unsigned char* o = &rgba[(size_t(y) * size_t(w) + size_t(x)) * 4];
            // Images without alpha carry meaningless alpha bytes: they are opaque.
            const unsigned a = image.Alpha() ? p[3] : 255;
            for (int c = 0; c < 3; ++c) {
                const unsigned v = p[2 - c];
                o[c] = (unsigned char)(a == 255 ? v : a == 0 ? 0 : std::min(255u, (v * 255 + a / 2) / a));
            }
            o[3] = (unsigned char)a;
        }
    }
    FILE* f = std::fopen(argv[2], "wb");
    if (!f) {
        std::perror(argv[2]);
        return 1;
    }
    std::fprintf(f, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", w, h);
    const bool ok = std::fwrite(rgba.data(), 1, rgba.size(), f) == rgba.size();
    if (std::fclose(f) != 0 || !ok) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("%s: %s %dx%d type %d%s\n", argv[1], image.LastLoadReport().reader, w, h, image.ImageType(),
                image.Alpha() ? " alpha" : "");
    return 0;
}
