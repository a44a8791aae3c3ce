// PNG reader. Most inputs get their chunk CRCs repaired first, so that mutations reach the
// inflater, the filters and the pixel conversion instead of stopping at a CRC check; the
// whole-image and window inflaters are compared, and our inflater with zlib directly; what decodes
// is written back as PNG and read again.
#include <zlib.h>

#include <cstring>

#include "../zlib_oracle.h"
#include "cPNGparser.h"
#include "fuzz_common.h"
#include "modInflate.h"

namespace {

// Our inflater straight against zlib on the joined IDAT data, with room for all zlib gives
// and for less or more: the same verdict and the same bytes, whichever side says no.
void CompareInflaters(const std::vector<uint8_t>& png) {
    std::vector<uint8_t> idat;
    for (size_t pos = 8; pos + 12 <= png.size();) {
        const uint32_t len = uint32_t(png[pos]) << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
        if (len > png.size() - pos - 12) break;
        if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0) idat.insert(idat.end(), &png[pos + 8], &png[pos + 8 + len]);
        pos += 12 + len;
    }
    if (idat.size() < 2) return;
    constexpr size_t kMostRoom = size_t(1) << 20;
    size_t full = 0;  // room for exactly what the stream gives
    ZlibRawInflate(idat.data() + 2, idat.size() - 2, kMostRoom, &full);
    for (const size_t room : {full, full / 2 + 1, full + 9, size_t(idat[idat.size() / 2]) * 37}) {
        if (room > kMostRoom) continue;
        const auto theirs = ZlibRawInflate(idat.data() + 2, idat.size() - 2, room);
        std::vector<uint8_t> ours(room + pressel::kInflateSlack);
        const bool ok = pressel::InflateRaw(idat.data() + 2, idat.size() - 2, ours.data(), room);
        if (ok != theirs.has_value()) __builtin_trap();
        if (ok && room && std::memcmp(ours.data(), theirs->data(), room) != 0) __builtin_trap();
    }
}

}  // namespace

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
    CompareInflaters(png);
    pressel::cImage32 img;
    pressel::cPNGparser parser;
    parser.LoadStream(png, img, 0, png.size());
    // The whole-image inflater and the window one must give the same outcome on every stream.
    pressel::cImage32 viaWindow;
    pressel::cPNGparser windowed;
    windowed.SetWholeLimit(0);
    windowed.LoadStream(png, viaWindow, 0, png.size());
    if (img.HasImage() != viaWindow.HasImage()) __builtin_trap();
    if (img.HasImage() && viaWindow.HasImage() &&
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
