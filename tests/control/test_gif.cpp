// GIF reader: files made by ImageMagick against its own decoding, and hand-made GIFs whose
// pixels are known from the indexes we encoded.
#include "cGIFparser.h"
#include "support.h"

using namespace pressel;

namespace {

// LZW codes for a string of literal indexes, at the widths a decoder reads them (no string is
// ever reused, so the table only grows, and stops growing at 4096 entries without a clear).
Bytes LzwLiterals(const Bytes& indexes, int minCodeSize, bool endCode = true) {
    Bytes out;
    uint32_t acc = 0;
    int bits = 0, codeSize = minCodeSize + 1, next = (1 << minCodeSize) + 2;
    auto put = [&](int code) {
        acc |= uint32_t(code) << bits;
        for (bits += codeSize; bits >= 8; bits -= 8, acc >>= 8) out.push_back(uint8_t(acc));
    };
    put(1 << minCodeSize);  // clear
    for (size_t i = 0; i < indexes.size(); ++i) {
        put(indexes[i]);
        if (i > 0 && next < 4096 && ++next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    if (endCode) put((1 << minCodeSize) + 1);
    if (bits > 0) out.push_back(uint8_t(acc));
    return out;
}

Bytes SubBlocks(const Bytes& data) {
    Bytes out;
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

Bytes Gce(bool transparent, uint8_t index) { return {0x21, 0xF9, 4, uint8_t(transparent ? 1 : 0), 0, 0, index, 0}; }

struct Gif {
    std::string signature = "GIF89a";
    Bytes globalTable;  // RGB triples, a power of two of them
    Bytes blocks;       // extensions before the image
    int width = 3, height = 2;
    Bytes localTable;
    bool interlaced = false;
    int minCodeSize = 2;
    Bytes indexes{0, 1, 2, 3, 1, 0};
    Bytes lzw;          // when set, used instead of encoding `indexes`

    static uint8_t TableBits(const Bytes& t) {
        int n = 0;
        while ((6 << n) < int(t.size())) ++n;
        return uint8_t(n);
    }
    Bytes Build() const {
        Bytes g(signature.begin(), signature.end());
        g.insert(g.end(), {uint8_t(width), 0, uint8_t(height), 0,
                           uint8_t(globalTable.empty() ? 0 : 0x80 | TableBits(globalTable)), 0, 0});
        g.insert(g.end(), globalTable.begin(), globalTable.end());
        g.insert(g.end(), blocks.begin(), blocks.end());
        g.insert(g.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8),
                           uint8_t((localTable.empty() ? 0 : 0x80 | TableBits(localTable)) | (interlaced ? 0x40 : 0))});
        g.insert(g.end(), localTable.begin(), localTable.end());
        g.push_back(uint8_t(minCodeSize));
        const Bytes data = SubBlocks(lzw.empty() ? LzwLiterals(indexes, minCodeSize) : lzw);
        g.insert(g.end(), data.begin(), data.end());
        g.push_back(0x3B);
        return g;
    }
};

const Bytes kTable = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};  // 4 colours

// Decodes with the GIF reader alone.
bool Decode(const Bytes& gif, cImage32& img, bool* taken = nullptr) {
    const bool t = cGIFparser().LoadStream(gif, img, 0, gif.size());
    if (taken) *taken = t;
    return img.HasImage();
}

Bytes Pixel(const cImage32& img, int x, int y) { return Bytes(img.TopRow(y) + x * 4, img.TopRow(y) + x * 4 + 4); }

TEST(GifFiles, MatchImageMagick) {
    for (const char* name : {"rose.gif", "rose-interlaced.gif", "rose87.gif", "rose-mono.gif", "alpha.gif", "anim.gif"}) {
        SCOPED_TRACE(name);
        cImage32 img;
        ASSERT_TRUE(img.LoadPicture_File(FixturePath(std::string("gif/") + name)));
        EXPECT_EQ(img.ImageType(), kTypeGif);
        EXPECT_EQ(img.Alpha(), std::string(name) == "alpha.gif") << "alpha only with a transparent index";
        EXPECT_TRUE(SamePixels(img, ReadPam(FixturePath(std::string("gif/") + name + ".pam"))));
    }
}

TEST(GifPixels, TableIndexesAndTransparency) {
    Gif gif;
    gif.globalTable = kTable;
    cImage32 img;
    ASSERT_TRUE(Decode(gif.Build(), img));
    EXPECT_EQ(Pixel(img, 0, 0), (Bytes{30, 20, 10, 0})) << "no transparency: alpha bytes stay 0";
    EXPECT_EQ(Pixel(img, 0, 1), (Bytes{120, 110, 100, 0}));

    gif.blocks = Gce(true, 1);
    ASSERT_TRUE(Decode(gif.Build(), img));
    EXPECT_TRUE(img.Alpha());
    EXPECT_EQ(Pixel(img, 1, 0), Bytes(4, 0));
    EXPECT_EQ(Pixel(img, 2, 0), (Bytes{90, 80, 70, 255}));

    // The last graphic control before the image counts; other extensions change nothing.
    gif.blocks = Gce(true, 1);
    const Bytes comment = {0x21, 0xFE, 3, 'a', 'b', 'c', 0};
    const Bytes app = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    const Bytes text = {0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 0, 1, 2, 'h', 'i', 0};
    for (const Bytes* b : {&comment, &app, &text}) gif.blocks.insert(gif.blocks.end(), b->begin(), b->end());
    const Bytes second = Gce(true, 2);
    gif.blocks.insert(gif.blocks.end(), second.begin(), second.end());
    ASSERT_TRUE(Decode(gif.Build(), img));
    EXPECT_EQ(Pixel(img, 1, 0)[3], 255);
    EXPECT_EQ(Pixel(img, 2, 0), Bytes(4, 0));

    // Only a local table; an index beyond it gives opaque black.
    gif = Gif();
    gif.localTable = Bytes(kTable.begin(), kTable.begin() + 6);
    gif.blocks = Gce(true, 3);
    gif.indexes = {0, 1, 2, 3, 1, 0};
    ASSERT_TRUE(Decode(gif.Build(), img));
    EXPECT_EQ(Pixel(img, 1, 0), (Bytes{60, 50, 40, 255}));
    EXPECT_EQ(Pixel(img, 2, 0), (Bytes{0, 0, 0, 255}));
    EXPECT_EQ(Pixel(img, 0, 1), Bytes(4, 0));
}

TEST(GifPixels, InterlacedRowsAndTheFullTable) {
    Gif gif;
    gif.globalTable = Bytes(256 * 3);
    for (int i = 0; i < 256; ++i) gif.globalTable[size_t(i) * 3] = uint8_t(i);
    gif.minCodeSize = 8;
    gif.width = 1;
    gif.height = 10;
    gif.indexes = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};  // stream order of rows 0..9 when interlaced
    gif.interlaced = true;
    cImage32 img;
    ASSERT_TRUE(Decode(gif.Build(), img));
    for (int y = 0; y < 10; ++y) EXPECT_EQ(img.TopRow(y)[2], y) << "row " << y;

    // 6000 codes without a clear: past 4096 table entries the decoder keeps 12-bit codes.
    gif.interlaced = false;
    gif.width = 100;
    gif.height = 60;
    gif.indexes.resize(6000);
    for (size_t i = 0; i < 6000; ++i) gif.indexes[i] = uint8_t(i * 7);
    ASSERT_TRUE(Decode(gif.Build(), img));
    EXPECT_EQ(img.TopRow(59)[99 * 4 + 2], uint8_t(5999 * 7));
    EXPECT_EQ(img.TopRow(41)[0 * 4 + 2], uint8_t(4100 * 7));
}

TEST(GifPixels, DataEndingEarlyKeepsWhatWasDecoded) {
    Gif gif;
    gif.globalTable = kTable;
    gif.blocks = Gce(true, 0);
    gif.indexes = {1, 2, 3};
    gif.lzw = LzwLiterals(gif.indexes, 2, false);
    cImage32 img;
    ASSERT_TRUE(Decode(gif.Build(), img));
    EXPECT_EQ(Pixel(img, 2, 0), (Bytes{120, 110, 100, 255}));
    EXPECT_EQ(Pixel(img, 0, 1), Bytes(4, 0));
}

TEST(GifRules, SignaturesAndRefusals) {
    Gif gif;
    gif.globalTable = kTable;
    struct Case { const char* what; Bytes data; bool taken; bool image; };
    std::vector<Case> cases;
    for (const char* sig : {"GIF89A", "gif87a", "GiF89a"}) {
        gif.signature = sig;
        cases.push_back({sig, gif.Build(), true, true});
    }
    gif.signature = "GIF90a";
    cases.push_back({"version 90a", gif.Build(), false, false});
    gif.signature = "GIF89a";
    Gif noTable = gif;
    noTable.globalTable.clear();
    cases.push_back({"no colour table", noTable.Build(), false, false});
    Gif badCode = gif;
    badCode.lzw = {0x04 | 0x07 << 3};  // clear, then code 7 with nothing defined
    cases.push_back({"code beyond the table", badCode.Build(), false, false});
    Gif literalFirst = gif;
    literalFirst.lzw = {0x04 | 0x05 << 3};  // clear, then the end code: nothing decoded, still a picture
    cases.push_back({"empty picture", literalFirst.Build(), true, true});
    Gif zero = gif;
    zero.width = 0;
    cases.push_back({"frame width 0", zero.Build(), false, false});
    Gif huge = gif;
    huge.width = huge.height = 65535;
    cases.push_back({"65535 x 65535 frame", huge.Build(), false, false});
    Gif codeSize = gif;
    codeSize.minCodeSize = 12;
    cases.push_back({"LZW code size 12", codeSize.Build(), false, false});
    Bytes trailer = gif.Build();
    trailer.resize(13 + 12);
    trailer.push_back(0x3B);
    cases.push_back({"trailer before any image", trailer, false, false});
    const Bytes full = gif.Build();
    for (size_t cut : {size_t(6), size_t(11), size_t(13 + 12), size_t(13 + 12 + 5), full.size() - 3})
        cases.push_back({"cut short", Bytes(full.begin(), full.begin() + long(cut)), true, false});

    for (const Case& c : cases) {
        cImage32 img;
        bool taken = false;
        EXPECT_EQ(Decode(c.data, img, &taken), c.image) << c.what;
        EXPECT_EQ(taken, c.taken) << c.what;
    }
}

}  // namespace
