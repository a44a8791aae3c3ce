// Bitmap reader: every common BMP form against ImageMagick, the alpha classes of the direct
// 32-bit path, and damaged files.
#include <cstring>

#include "cBMPparser.h"
#include "modParsers.h"
#include "support.h"

using namespace pressel;

namespace {

// A BMP with a 40-byte header; `height` negative for rows stored top first.
Bytes Bmp(int width, int height, int bitCount, const Bytes& pixels, uint32_t compression = 0,
          const Bytes& palette = {}, uint32_t coloursUsed = 0) {
    Bytes out(54, 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put(2, uint32_t(54 + palette.size() + pixels.size()), 4);
    put(10, uint32_t(54 + palette.size()), 4);
    put(14, 40, 4);
    put(18, uint32_t(width), 4);
    put(22, uint32_t(height), 4);
    put(26, 1, 2);
    put(28, uint32_t(bitCount), 2);
    put(30, compression, 4);
    put(46, coloursUsed, 4);
    out.insert(out.end(), palette.begin(), palette.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

bool Decode(const Bytes& bmp, cImage32& img) {
    cBMPparser().LoadStream(bmp, img, 0, bmp.size());
    return img.HasImage();
}

TEST(BmpFiles, EveryFormMatchesImageMagick) {
    struct Case { const char* file; int type; int tolerance; };
    const Case cases[] = {
        {"1bit.bmp", kTypeBitmap, 0},        {"4bit.bmp", kTypeBitmap, 0},
        {"4bit-rle.bmp", kTypeBitmap, 0},    {"8bit.bmp", kTypeBitmap, 0},
        {"8bit-rle.bmp", kTypeBitmap, 0},    {"16bit-555.bmp", kTypeBitmap, 1},
        {"16bit-555-fields.bmp", kTypeBitmap, 1}, {"16bit-565.bmp", kTypeBitmap, 1},
        {"24bit.bmp", kTypeBitmap, 0},       {"24bit-topdown.bmp", kTypeBitmap, 0},
        {"os2-4bit.bmp", kTypeBitmap, 0},    {"os2-24bit.bmp", kTypeBitmap, 0},
        {"32bit-fields.bmp", kTypeBitmap, 0},  // bit fields without an alpha mask: no alpha
        {"32bit-v5-alpha.bmp", kTypeBitmapStraightAlpha, 0},
        {"32bit-straight.bmp", kTypeBitmapStraightAlpha, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        cImage32 img;
        ASSERT_TRUE(img.LoadPicture_File(FixturePath(std::string("bmp/") + c.file)));
        EXPECT_EQ(img.ImageType(), c.type);
        EXPECT_EQ(img.Alpha(), c.type != kTypeBitmap);
        EXPECT_TRUE(SamePixels(img, ReadPam(FixturePath(std::string("bmp/") + c.file + ".pam")), c.tolerance));
    }
}

// Uncompressed 32-bit pixels are taken as they are and sorted by their alpha bytes.
TEST(BmpDirect, AlphaClasses) {
    struct Case { const char* what; Bytes px; int type; bool alpha; Bytes result; };
    const Case cases[] = {
        {"all alpha 0", {10, 20, 30, 0, 40, 50, 60, 0}, kTypeBitmap, false, {10, 20, 30, 0, 40, 50, 60, 0}},
        {"all alpha 255", {10, 20, 30, 255, 40, 50, 60, 255}, kTypeBitmapPremultiplied, true, {10, 20, 30, 255, 40, 50, 60, 255}},
        {"premultiplied", {10, 20, 30, 128, 0, 0, 0, 0}, kTypeBitmapPremultiplied, true, {10, 20, 30, 128, 0, 0, 0, 0}},
        {"colour over its alpha", {200, 20, 30, 128, 0, 0, 0, 255}, kTypeBitmapStraightAlpha, true, {100, 10, 15, 128, 0, 0, 0, 255}},
        {"colour under alpha 0", {9, 0, 0, 0, 40, 50, 60, 255}, kTypeBitmapStraightAlpha, true, {0, 0, 0, 0, 40, 50, 60, 255}},
    };
    for (const Case& c : cases) {
        cImage32 img;
        ASSERT_TRUE(Decode(Bmp(2, 1, 32, c.px), img)) << c.what;
        EXPECT_EQ(img.ImageType(), c.type) << c.what;
        EXPECT_EQ(img.Alpha(), c.alpha) << c.what;
        EXPECT_EQ(Bytes(img.BitsPointer(), img.BitsPointer() + 8), c.result) << c.what;
    }
    // Top-down rows come out the same way up as their bottom-up twin.
    const Bytes rows = {1, 1, 1, 255, 2, 2, 2, 255};
    cImage32 up, down;
    ASSERT_TRUE(Decode(Bmp(1, 2, 32, rows), up));
    ASSERT_TRUE(Decode(Bmp(1, -2, 32, {2, 2, 2, 255, 1, 1, 1, 255}), down));
    EXPECT_EQ(Bytes(up.BitsPointer(), up.BitsPointer() + 8), Bytes(down.BitsPointer(), down.BitsPointer() + 8));
}

TEST(BmpDecoder, PaletteOverflowRleEscapesAndTruncation) {
    cImage32 img;
    // Two colours in the table, index 3 used: opaque black.
    ASSERT_TRUE(Decode(Bmp(2, 1, 8, {1, 3, 0, 0}, 0, {0, 0, 0, 0, 5, 6, 7, 0}, 2), img));
    EXPECT_EQ(Bytes(img.BitsPointer(), img.BitsPointer() + 8), (Bytes{5, 6, 7, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(img.Alpha());

    // RLE8: a run, a move right and up, literal pixels, end of bitmap.
    const Bytes pal = {0, 0, 0, 0, 10, 10, 10, 0, 20, 20, 20, 0, 30, 30, 30, 0};
    const Bytes rle = {2, 1, 0, 2, 1, 1, 0, 3, 2, 3, 1, 0, 0, 1};
    ASSERT_TRUE(Decode(Bmp(6, 2, 8, rle, 1, pal, 4), img));
    const uint8_t* bottom = img.BitsPointer();
    const uint8_t* top = img.BitsPointer() + 24;
    EXPECT_EQ(bottom[0], 10);
    EXPECT_EQ(bottom[4], 10);
    EXPECT_EQ(bottom[8], 0) << "skipped by the move";
    EXPECT_EQ(top[12], 20);
    EXPECT_EQ(top[16], 30);
    EXPECT_EQ(top[20], 10);

    // Runs longer than the row are cut; data ending before the picture is refused.
    EXPECT_TRUE(Decode(Bmp(2, 1, 8, {200, 1, 0, 0}, 1, pal, 4), img));
    EXPECT_FALSE(Decode(Bmp(2, 2, 8, {2, 1, 0, 0}, 1, pal, 4), img));
    EXPECT_FALSE(Decode(Bmp(4, 1, 8, {0, 4, 1, 2}, 1, pal, 4), img)) << "literal run past the data";
    EXPECT_FALSE(Decode(Bmp(2, 2, 24, Bytes(10, 0)), img)) << "plain pixels cut short";
    EXPECT_FALSE(Decode(Bmp(2, -1, 8, {2, 1, 0, 1}, 1, pal, 4), img)) << "top-down RLE";
    EXPECT_FALSE(Decode(Bmp(2, 1, 24, {0, 0, 0, 0, 0, 0, 0, 0}, 1), img)) << "RLE8 with 24 bits";
}

TEST(BmpDecoder, RefusedHeaders) {
    struct Case { const char* what; Bytes bmp; };
    Bytes hugeHeader = Bmp(1, 1, 24, Bytes(4, 0));
    hugeHeader[14] = hugeHeader[15] = hugeHeader[16] = hugeHeader[17] = 0xFF;
    Bytes pixelsPast = Bmp(1, 1, 24, Bytes(4, 0));
    pixelsPast[12] = 0x10;
    Bytes tiny = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0};
    const Case cases[] = {
        {"width 0", Bmp(0, 1, 24, Bytes(4, 0))},
        {"height 0", Bmp(1, 0, 24, Bytes(4, 0))},
        {"height -2^31", Bmp(1, INT32_MIN, 32, Bytes(4, 0))},
        {"header size 0xFFFFFFFF", hugeHeader},
        {"pixels start past the end", pixelsPast},
        {"header cut short", tiny},
        {"65535 x 65535", Bmp(65535, 65535, 24, Bytes(64, 0))},
        {"bit count 7", Bmp(1, 1, 7, Bytes(4, 0))},
        {"JPEG-in-BMP compression", Bmp(1, 1, 24, Bytes(4, 0), 4)},
        {"not an image", Bytes(80, 'x')},
    };
    for (const Case& c : cases) {
        cImage32 img;
        EXPECT_FALSE(Decode(c.bmp, img)) << c.what;
    }
}

// A header that promises more rows than the file holds costs no image: a 4 KB file claiming
// 8192 x 8192 plain pixels fails within far less memory than those pixels would take.
TEST(BmpDecoder, ShortFileFailsBeforeAllocating) {
    for (int bits : {8, 24, 32}) {
        SCOPED_TRACE(bits);
        const Bytes bmp = Bmp(8192, 8192, bits, Bytes(4096, 0), bits == 32 ? 3 : 0);
        EXPECT_EQ(RunWithinMemory(uint64_t(64) << 20, [&] {
                      cImage32 img;
                      return Decode(bmp, img);
                  }),
                  1);
    }
}

TEST(ParserHelpers, RowWidthsAndByteSwap) {
    EXPECT_EQ(AlignedScanWidth(24, 5), 16);
    EXPECT_EQ(AlignedScanWidth(1, 33), 8);
    EXPECT_EQ(AlignedScanWidth(32, 7), 28);
    EXPECT_EQ(AlignedScanWidth(4, 1), 4);
    const uint8_t bytes[4] = {0, 0, 0, 0x0D};
    uint32_t machine;
    std::memcpy(&machine, bytes, 4);
    EXPECT_EQ(SwapLong(machine), 13u);
    EXPECT_EQ(SwapLong(0x80000001u), 0x01000080u);
}

}  // namespace
