// PNG reader. Most inputs get their chunk CRCs repaired first, so that mutations reach the
// inflater, the filters and the pixel conversion instead of stopping at a CRC check; the
// whole-image and window inflaters are compared, and what decodes is written back as PNG and read again.
#include <zlib.h>

#include <cstring>

#include "cPNGparser.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> png(data, data + size);
    if (size % 8 != 0) {
        for (size_t pos = 8; pos + 12 <= png.size();) {
            const uint32_t len = uint32_t(png[pos]) << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
            if (len > png.size() - pos - 12) break;
            const uint32_t crc = uint32_t(crc32(0, &png[pos + 4], len + 4));
            for (int i = 0; i < 4; ++i) png[pos + 8 + len + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
            pos += 12 + len;
        }
    }
    // The IDAT data joined, to tell whether zlib itself reads the stream through.
    std::vector<uint8_t> idat;
    for (size_t pos = 8; pos + 12 <= png.size();) {
        const uint32_t len = uint32_t(png[pos]) << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
        if (len > png.size() - pos - 12) break;
        if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0) idat.insert(idat.end(), &png[pos + 8], &png[pos + 8 + len]);
        pos += 12 + len;
    }
    bool zlibReadsIt = false;
    {
        z_stream z{};
        if (inflateInit(&z) == Z_OK) {
            std::vector<uint8_t> sink(1 << 16);
            z.next_in = idat.data();
            z.avail_in = uInt(idat.size());
            int rc = Z_OK;
            while (rc == Z_OK) {
                z.next_out = sink.data();
                z.avail_out = uInt(sink.size());
                rc = inflate(&z, Z_NO_FLUSH);
            }
            zlibReadsIt = rc == Z_STREAM_END || rc == Z_BUF_ERROR;
            inflateEnd(&z);
        }
    }
    pressel::cImage32 img;
    pressel::cPNGparser parser;
    parser.LoadStream(png, img, 0, png.size());
    // The whole-image inflater and the window one must agree on every stream zlib reads; libdeflate
    // still takes some codes zlib refuses, a known difference on damaged data.
    pressel::cImage32 viaWindow;
    pressel::cPNGparser windowed;
    windowed.SetWholeLimit(0);
    windowed.LoadStream(png, viaWindow, 0, png.size());
    if (zlibReadsIt && img.HasImage() != viaWindow.HasImage()) __builtin_trap();
    if (zlibReadsIt && img.HasImage() && viaWindow.HasImage() &&
        std::memcmp(img.BitsPointer(), viaWindow.BitsPointer(), size_t(img.Width()) * size_t(img.Height()) * 4) != 0)
        __builtin_trap();
    ExerciseImage(img, size);
    if (img.HasImage() && img.Width() * img.Height() < 4096) {
        std::vector<uint8_t> out;
        if (parser.SaveTo("", out, img)) {
            pressel::cImage32 back;
            pressel::cPNGparser().LoadStream(out, back, 0, out.size());
            if (!back.HasImage() || back.Width() != img.Width() || back.Height() != img.Height()) __builtin_trap();
        }
    }
    return 0;
}
