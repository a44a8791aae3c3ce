// The 32-bit image: size rules, the BMP stream it saves, drawing with opacity and alpha,
// scaling, and the loader's argument rules and reader order.
#include <filesystem>
#include <fstream>

#include "support.h"

using namespace pressel;

namespace {

// One opaque pixel colour (no alpha flag), w x h.
void Fill(cImage32& img, int w, int h, uint8_t b, uint8_t g, uint8_t r, uint8_t a = 0) {
    ASSERT_TRUE(img.InitializeDIB(w, h));
    for (int i = 0; i < w * h; ++i) {
        uint8_t* p = img.BitsPointer() + i * 4;
        p[0] = b; p[1] = g; p[2] = r; p[3] = a;
    }
}

struct Canvas {
    int w, h;
    std::vector<uint8_t> px;
    Canvas(int w_, int h_, uint8_t v = 0) : w(w_), h(h_), px(size_t(w_ * h_ * 4), v) {}
    BgraSurface Surface() { return {px.data(), w, h, w * 4}; }
    const uint8_t* At(int x, int y) const { return &px[size_t((y * w + x) * 4)]; }
};

TEST(Image32, SizeRules) {
    cImage32 a, b;
    ASSERT_TRUE(a.InitializeDIB(3, -2));
    ASSERT_TRUE(b.InitializeDIB(3, 2));
    EXPECT_EQ(a.Height(), 2);
    EXPECT_EQ(a.ScanWidth(), 12);
    EXPECT_EQ(std::vector<uint8_t>(a.BitsPointer(), a.BitsPointer() + 24), std::vector<uint8_t>(24, 0));
    EXPECT_FALSE(a.InitializeDIB(0, 5));
    EXPECT_FALSE(a.HasImage()) << "a refused size destroys the old image";
    EXPECT_FALSE(a.InitializeDIB(-3, 5));
    EXPECT_FALSE(a.InitializeDIB(5, 0));
    EXPECT_FALSE(a.InitializeDIB(8193, 8193)) << "over 64 megapixels";
    EXPECT_TRUE(a.InitializeDIB(8192, 8192));
}

TEST(Image32, SavesA32BitBottomUpBmp) {
    cImage32 img;
    Fill(img, 2, 3, 1, 2, 3, 4);
    img.TopRow(0)[0] = 99;  // top row: last in the stream
    Bytes out;
    ASSERT_TRUE(img.SaveToStream(out));
    ASSERT_EQ(out.size(), 78u);
    auto le32 = [&](size_t o) { return out[o] | out[o + 1] << 8 | out[o + 2] << 16 | out[o + 3] << 24; };
    EXPECT_EQ(out[0], 'B');
    EXPECT_EQ(out[1], 'M');
    EXPECT_EQ(le32(2), 78);
    EXPECT_EQ(le32(10), 54);
    EXPECT_EQ(le32(14), 40);
    EXPECT_EQ(le32(18), 2);
    EXPECT_EQ(le32(22), 3);
    EXPECT_EQ(out[26], 1);
    EXPECT_EQ(out[28], 32);
    EXPECT_EQ(le32(30), 0);
    EXPECT_EQ(le32(34), 24);
    EXPECT_EQ(out[54], 1);
    EXPECT_EQ(out[54 + 16], 99);

    cImage32 empty;
    Bytes untouched{7, 7};
    EXPECT_FALSE(empty.SaveToStream(untouched));
    EXPECT_EQ(untouched, (Bytes{7, 7}));
}

// What SaveToStream writes, the loader reads back as the same pixels, alpha flag and kind.
TEST(Image32, StreamRoundTripKeepsEachAlphaKind) {
    cImage32 opaque, alpha;
    Fill(opaque, 30, 2, 10, 20, 30, 0);
    ASSERT_TRUE(alpha.LoadPicture_File(FixturePath("pngsuite/basn6a08.png")));
    for (cImage32* img : {&opaque, &alpha}) {
        Bytes stream;
        ASSERT_TRUE(img->SaveToStream(stream));
        cImage32 back;
        ASSERT_TRUE(back.LoadPicture_Stream(stream));
        EXPECT_EQ(back.Alpha(), img->Alpha());
        EXPECT_EQ(back.ImageType(), img->Alpha() ? kTypeBitmapPremultiplied : kTypeBitmap);
        Bytes again;
        back.SaveToStream(again);
        EXPECT_EQ(again, stream);
    }
}

TEST(Image32, StreamArgumentRules) {
    const Bytes png = ReadBytes(FixturePath("pngsuite/basn0g01.png"));
    cImage32 img;
    ASSERT_TRUE(img.LoadPicture_Stream(png));
    // 56 bytes are refused unread and leave the image; 57 are read (and destroy it).
    EXPECT_FALSE(img.LoadPicture_Stream(Bytes(56, 0)));
    EXPECT_TRUE(img.HasImage());
    EXPECT_FALSE(img.LoadPicture_Stream(Bytes(57, 0)));
    EXPECT_FALSE(img.HasImage());
    EXPECT_FALSE(img.LoadPicture_Stream({}));

    Bytes padded = png;
    padded.insert(padded.begin(), 10, 0xEE);
    EXPECT_TRUE(img.LoadPicture_Stream(padded, 0, 0, 10));
    EXPECT_TRUE(img.LoadPicture_Stream(padded, 0, 0, 10, int64_t(png.size())));
    EXPECT_FALSE(img.LoadPicture_Stream(padded, 0, 0, 10, int64_t(png.size()) + 1)) << "length past the end";
    EXPECT_FALSE(img.LoadPicture_Stream(padded, 0, 0, int64_t(padded.size())));
    EXPECT_FALSE(img.LoadPicture_Stream(padded, 0, 0, -5)) << "a negative start reads from 0";
    EXPECT_TRUE(img.LoadPicture_Stream(png, 0, 0, -5));
}

TEST(Image32, FileLoadingAndKeptSource) {
    const std::string dir = ::testing::TempDir();
    cImage32 img;
    EXPECT_FALSE(img.LoadPicture_File(dir + "no-such-picture.png"));
    EXPECT_FALSE(img.LoadPicture_File(dir));
    const std::string file = FixturePath("gif/rose.gif");
    ASSERT_TRUE(img.LoadPicture_File(file, 0, 0, true));
    Bytes kept;
    ASSERT_TRUE(img.GetOrginalFormat(kept));
    EXPECT_EQ(kept, ReadBytes(file));

    cImage32 copy;
    img.CopyImageTo(copy, true);
    EXPECT_EQ(copy.Width(), img.Width());
    EXPECT_EQ(copy.ImageType(), kTypeGif);
    EXPECT_EQ(0, memcmp(copy.BitsPointer(), img.BitsPointer(), size_t(img.ScanWidth() * img.Height())));
    ASSERT_TRUE(copy.GetOrginalFormat(kept));
    cImage32 noSource;
    img.CopyImageTo(noSource, false);
    EXPECT_FALSE(noSource.GetOrginalFormat(kept));

    ASSERT_TRUE(img.LoadPicture_File(file));
    EXPECT_FALSE(img.GetOrginalFormat(kept));
}

// The first reader that takes the data decides, even when it then makes no image.
TEST(Image32, ReadersAreAskedInOrder) {
    struct Case { std::string file; const char* reader; bool image; };
    const Case cases[] = {
        {"pngsuite/basn0g01.png", "PNG", true},   {"png-invalid/invalid-crc32.png", "PNG", false},
        {"gif/rose.gif", "GIF", true},            {"ico/palette.ico", "ICO", true},
        {"bmp/8bit.bmp", "BMP", true},            {"pngsuite/README", "", false},
    };
    for (const Case& c : cases) {
        cImage32 img;
        EXPECT_EQ(img.LoadPicture_File(FixturePath(c.file)), c.image) << c.file;
        EXPECT_STREQ(img.LastLoadReport().reader, c.reader) << c.file;
    }
}

TEST(Image32, JpegGoesToThePictureLoaderOnly) {
    Bytes jpeg(100, 0);
    jpeg[0] = 0xFF; jpeg[1] = 0xD8; jpeg[2] = 0xFF;
    cImage32 img;
    EXPECT_FALSE(img.LoadPicture_Stream(jpeg)) << "no loader set";
    int calls = 0;
    cImage32::SetPictureLoader([&](std::span<const uint8_t>, cImage32& target) {
        ++calls;
        if (!target.InitializeDIB(2, 2)) return false;
        for (int i = 0; i < 4; ++i) { target.BitsPointer()[i * 4 + 2] = 200; target.BitsPointer()[i * 4 + 3] = 77; }
        return true;
    });
    ASSERT_TRUE(img.LoadPicture_Stream(jpeg));
    EXPECT_EQ(img.ImageType(), kTypeBitmap);
    EXPECT_FALSE(img.Alpha());
    EXPECT_EQ(img.BitsPointer()[2], 200);
    EXPECT_EQ(img.BitsPointer()[3], 0) << "alpha bytes of an opaque bitmap are 0";
    jpeg[2] = 0;
    EXPECT_FALSE(img.LoadPicture_Stream(jpeg)) << "not JPEG: never handed over";
    EXPECT_EQ(calls, 1);
    cImage32::SetPictureLoader({});
}

TEST(Image32, RenderOpacityIsAConstantAlpha) {
    // percent -> constant alpha, halves to even; 0 draws nothing.
    const std::pair<int, int> cases[] = {{100, 255}, {70, 178}, {80, 204}, {30, 76}, {150, 128},
                                         {200, 255}, {-70, 178}, {1, 3}};
    cImage32 white;
    Fill(white, 1, 1, 255, 255, 255);
    for (auto [percent, k] : cases) {
        Canvas c(1, 1);
        ASSERT_TRUE(white.Render(c.Surface(), 0, 0, 0, 0, percent));
        EXPECT_EQ(c.At(0, 0)[0], k) << percent;
        EXPECT_EQ(c.At(0, 0)[3], k) << percent;
    }
    Canvas c(1, 1, 9);
    EXPECT_TRUE(white.Render(c.Surface(), 0, 0, 0, 0, 0));
    EXPECT_EQ(c.At(0, 0)[0], 9);
    cImage32 empty;
    EXPECT_FALSE(empty.Render(c.Surface(), 0, 0));
}

TEST(Image32, RenderBlendsPremultipliedPixelsAndClips) {
    // Half-transparent red (premultiplied 0,0,128,128) over white.
    cImage32 red;
    ASSERT_TRUE(LoadBytes(red, PngBuilder().Ihdr(2, 1, 8, 6).Idat({0, 255, 0, 0, 128, 255, 0, 0, 128}).End().bytes));
    Canvas c(2, 1, 255);
    ASSERT_TRUE(red.Render(c.Surface(), 0, 0));
    EXPECT_EQ(Bytes(c.At(0, 0), c.At(0, 0) + 4), (Bytes{127, 127, 255, 255}));

    // Without the alpha flag the alpha bytes are ignored: drawn opaque.
    cImage32 img;
    Fill(img, 4, 4, 0, 0, 0, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) img.TopRow(y)[x * 4] = uint8_t(10 * y + x);
    Canvas small(3, 3, 200);
    ASSERT_TRUE(img.Render(small.Surface(), -2, -1));
    EXPECT_EQ(small.At(0, 0)[0], 12) << "target (0,0) shows source (2,1)";
    EXPECT_EQ(small.At(1, 2)[0], 33);
    EXPECT_EQ(small.At(2, 0)[0], 200) << "outside the picture";
    EXPECT_EQ(small.At(0, 0)[3], 255);

    // A bottom-up target: rows through a negative stride.
    Canvas flipped(4, 4);
    BgraSurface s{flipped.px.data() + 3 * 16, 4, 4, -16};
    ASSERT_TRUE(img.Render(s, 0, 0));
    EXPECT_EQ(flipped.At(1, 3)[0], 1) << "top row of the picture lands in the last memory row";
    EXPECT_TRUE(img.Render(small.Surface(), 50, 50)) << "entirely outside";
}

TEST(Image32, RenderStretches) {
    cImage32 img;
    Fill(img, 2, 2, 0, 0, 0);
    img.TopRow(0)[0] = 100;
    img.TopRow(1)[4] = 200;
    Canvas big(4, 4);
    ASSERT_TRUE(img.Render(big.Surface(), 0, 0, 4, 4));
    EXPECT_EQ(big.At(1, 1)[0], 100);
    EXPECT_EQ(big.At(3, 3)[0], 200);
    EXPECT_EQ(big.At(2, 0)[0], 0);
    Canvas one(1, 1);
    ASSERT_TRUE(img.Render(one.Surface(), 0, 0, 1, 1));
    EXPECT_EQ(one.At(0, 0)[0], 75) << "the average of the four pixels";
}

TEST(Image32, ScaleModes) {
    cImage32 img;
    Fill(img, 100, 50, 0, 0, 0);
    struct Case { int dw, dh, mode, w, h; };
    const Case cases[] = {{50, 50, 0, 50, 25}, {400, 400, 0, 400, 200}, {400, 400, 1, 100, 50},
                          {400, 30, 1, 60, 30}, {7, 9, 2, 7, 9}, {7, 9, 5, 100, 50}, {33, 100, 0, 33, 16}};
    for (const Case& c : cases) {
        int w = -1, h = -1;
        img.ScaleImage(c.dw, c.dh, w, h, c.mode);
        EXPECT_EQ(w, c.w) << c.dw << "x" << c.dh << " mode " << c.mode;
        EXPECT_EQ(h, c.h) << c.dw << "x" << c.dh << " mode " << c.mode;
    }
    cImage32 empty;
    int w = -1, h = -1;
    empty.ScaleImage(10, 10, w, h, 0);
    EXPECT_EQ(w, -1);
}

TEST(Image32, SaveToFileAsksBeforeOverwriting) {
    const std::string path = ::testing::TempDir() + "pressel-image.bmp";
    std::filesystem::remove(path);
    cImage32 img;
    Fill(img, 2, 2, 1, 2, 3);
    EXPECT_FALSE(img.SaveToFile("", false));
    ASSERT_TRUE(img.SaveToFile(path, true));
    EXPECT_EQ(ReadBytes(path).size(), 70u);
    Fill(img, 3, 3, 1, 2, 3);
    int asked = 0;
    EXPECT_FALSE(img.SaveToFile(path, true, [&] { ++asked; return false; }));
    EXPECT_EQ(ReadBytes(path).size(), 70u);
    EXPECT_TRUE(img.SaveToFile(path, true, [&] { ++asked; return true; }));
    EXPECT_EQ(ReadBytes(path).size(), 90u);
    EXPECT_EQ(asked, 2);
    std::filesystem::remove(path);
}

}  // namespace
