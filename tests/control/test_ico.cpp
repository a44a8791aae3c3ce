// Icon and cursor reader: icotool-made files against ImageMagick, the choice of entry, and
// hand-made entries and damaged directories.
#include "cICOparser.h"
#include "support.h"

using namespace pressel;

namespace {

struct Entry {
    uint8_t w, h;
    uint16_t bitCount;  // directory field (hot spot y of a cursor)
    Bytes data;
};

Bytes Ico(const std::vector<Entry>& entries, uint16_t type = 1) {
    Bytes out = {0, 0, uint8_t(type), 0, uint8_t(entries.size()), uint8_t(entries.size() >> 8)};
    uint32_t offset = uint32_t(6 + 16 * entries.size());
    auto le = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    for (const Entry& e : entries) {
        out.insert(out.end(), {e.w, e.h, 0, 0, 1, 0});
        le(e.bitCount, 2);
        le(uint32_t(e.data.size()), 4);
        le(offset, 4);
        offset += uint32_t(e.data.size());
    }
    for (const Entry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
    return out;
}

// A bitmap entry: header (height counting colour bits and mask), colour table, bits, mask.
Bytes BitmapEntry(int w, int h, int bitCount, const Bytes& palette, const Bytes& bits, const Bytes& mask) {
    Bytes out(40, 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put(0, 40, 4);
    put(4, uint32_t(w), 4);
    put(8, uint32_t(2 * h), 4);
    put(12, 1, 2);
    put(14, uint32_t(bitCount), 2);
    for (const Bytes* b : {&palette, &bits, &mask}) out.insert(out.end(), b->begin(), b->end());
    return out;
}

bool Decode(const Bytes& ico, cImage32& img, int w = 0, int h = 0, bool* taken = nullptr) {
    const bool t = cICOparser().LoadStream(ico, w, h, img, 0, ico.size());
    if (taken) *taken = t;
    return img.HasImage();
}

TEST(IcoFiles, ChosenEntryMatchesImageMagick) {
    struct Case { const char* file; int size; int entry; int type; bool alpha; };
    const Case cases[] = {
        {"palette.ico", 16, 0, kTypeIconMasked, false},  {"palette.ico", 32, 1, kTypeIconMasked, false},
        {"palette.ico", 0, 2, kTypeIconMasked, false},   {"truecolour.ico", 24, 0, kTypeIconMasked, false},
        {"truecolour.ico", 16, 1, kTypeIcon32, true},    {"truecolour.ico", 32, 2, kTypeIcon32, true},
        {"masked.ico", 32, 0, kTypeIconMasked, true},    {"pointer.cur", 32, 0, kTypeCursorMasked, true},
        {"pointer32.cur", 32, 0, kTypeCursor32, true},   {"png-entry.ico", 16, 0, kTypeIcon32, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " at " << c.size);
        cImage32 img;
        ASSERT_TRUE(img.LoadPicture_File(FixturePath(std::string("ico/") + c.file), c.size, c.size));
        EXPECT_EQ(img.ImageType(), c.type);
        EXPECT_EQ(img.Alpha(), c.alpha);
        EXPECT_TRUE(SamePixels(img, ReadPam(FixturePath("ico/" + std::string(c.file) + "." + std::to_string(c.entry) + ".pam"))));
    }
}

TEST(IcoFiles, PngEntryGoesThroughThePngReader) {
    const Bytes ico = ReadBytes(FixturePath("ico/png-entry.ico"));
    // Entry 2 of the directory: size at byte 30, offset at byte 34.
    const uint32_t size = ico[30] | ico[31] << 8 | ico[32] << 16 | uint32_t(ico[33]) << 24;
    const uint32_t offset = ico[34] | ico[35] << 8 | ico[36] << 16 | uint32_t(ico[37]) << 24;
    Rgba ref;
    ASSERT_TRUE(LibpngDecode(Bytes(ico.begin() + offset, ico.begin() + offset + size), ref));
    cImage32 img;
    ASSERT_TRUE(img.LoadPicture_Stream(ico));  // no size asked: 48, and the 256 entry wins over 16
    EXPECT_EQ(img.ImageType(), kTypePngInIcon);
    EXPECT_TRUE(SamePixels(img, ref));
}

TEST(IcoChoice, SizeAndDepthScores) {
    using E = cICOparser::Entry;
    auto e = [](int w, int bc) { return E{w, w, bc, false, 0, 0}; };
    struct Case { std::vector<E> entries; int w; int chosen; };
    const Case cases[] = {
        {{e(16, 32), e(32, 32), e(48, 32)}, 32, 2},  // exact fit at once
        {{e(16, 8), e(48, 8)}, 32, 2},               // 56 beats -40, which is never taken first
        {{e(16, 32), e(16, 32)}, 32, 2},             // only smaller ones: the later of equal scores
        {{e(16, 64), e(48, 64)}, 32, 1},             // nothing beats 10000: the first
        {{e(32, 4), e(32, 8), e(32, 24)}, 32, 3},    // depth nearest 32
        {{e(64, 32), e(48, 32)}, 32, 2},             // smallest bigger one
        {{e(16, 0)}, 32, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(cICOparser::ChooseBestEntry(c.entries, c.w, c.w), c.chosen);
}

TEST(IcoEntries, AlphaMaskPaletteAndSize256) {
    // 2x2 32-bit: transparent, opaque, half and a colour under alpha 0.
    const Bytes bits = {10, 20, 30, 0, 40, 50, 60, 255, 200, 100, 50, 128, 9, 9, 9, 0};
    cImage32 img;
    ASSERT_TRUE(Decode(Ico({{2, 2, 0, BitmapEntry(2, 2, 32, {}, bits, Bytes(8, 0))}}), img));
    EXPECT_EQ(Bytes(img.BitsPointer(), img.BitsPointer() + 16),
              (Bytes{0, 0, 0, 0, 40, 50, 60, 255, 100, 50, 25, 128, 0, 0, 0, 0}));
    const Bytes colourNoAlpha = {7, 7, 7, 0, 7, 7, 7, 0, 7, 7, 7, 0, 7, 7, 7, 0};
    ASSERT_TRUE(Decode(Ico({{2, 2, 0, BitmapEntry(2, 2, 32, {}, colourNoAlpha, Bytes(8, 0))}}), img));
    EXPECT_EQ(Bytes(img.BitsPointer(), img.BitsPointer() + 16), Bytes(16, 0)) << "all alpha 0: all transparent";

    // 4-bit entry holding only a 2-colour table: the pixels follow the short table.
    const Bytes palette = {0, 0, 255, 0, 255, 0, 0, 0};
    const Bytes mask = {0x40, 0, 0, 0, 0, 0, 0, 0};  // bottom row, second pixel transparent
    ASSERT_TRUE(Decode(Ico({{2, 2, 4, BitmapEntry(2, 2, 4, palette, {0x01, 0, 0, 0, 0x10, 0, 0, 0}, mask)}}), img));
    EXPECT_EQ(img.ImageType(), kTypeIconMasked);
    EXPECT_TRUE(img.Alpha());
    EXPECT_EQ(Bytes(img.BitsPointer(), img.BitsPointer() + 16),
              (Bytes{0, 0, 255, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 255}));

    // Size bytes of 0 mean 256.
    ASSERT_TRUE(Decode(Ico({{0, 0, 1, BitmapEntry(256, 256, 1, {0, 0, 0, 0, 255, 255, 255, 0},
                                                  Bytes(32 * 256, 0xFF), Bytes(32 * 256, 0))}}), img));
    EXPECT_EQ(img.Width(), 256);
    EXPECT_EQ(img.TopRow(255)[0], 255);
    EXPECT_FALSE(img.Alpha()) << "no mask bit set";
}

TEST(IcoDamage, DirectoriesAndEntriesThatFail) {
    const Bytes good = BitmapEntry(2, 2, 32, {}, Bytes(16, 255), Bytes(8, 0));
    Bytes badHeader = good;
    badHeader[0] = badHeader[1] = badHeader[2] = badHeader[3] = 0xFF;
    Bytes bitCount3 = good;
    bitCount3[14] = 3;
    Bytes noBitCount = good;
    noBitCount[14] = 0;
    Bytes tooLong = Ico({{2, 2, 0, good}});
    tooLong[14] = 0xFF;  // entry size far past the data
    Bytes offsetPast = Ico({{2, 2, 0, good}});
    offsetPast[18 + 2] = 0x10;
    Bytes pngHead = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0};
    Bytes reserved = Ico({{2, 2, 0, good}});
    reserved[0] = 1;
    Bytes type3 = Ico({{2, 2, 0, good}});
    type3[2] = 3;

    struct Case { const char* what; Bytes ico; bool taken; bool image; };
    const Case cases[] = {
        {"good", Ico({{2, 2, 0, good}}), true, true},
        {"header size 0xFFFFFFFF", Ico({{2, 2, 0, badHeader}}), true, false},
        {"bit count 3", Ico({{2, 2, 0, bitCount3}}), true, false},
        {"no bit count anywhere", Ico({{2, 2, 0, noBitCount}}), false, false},
        {"directory bit count stands in", Ico({{2, 2, 32, noBitCount}}), true, true},
        {"sizes past the data", tooLong, false, false},
        {"offset past the data", offsetPast, false, false},
        {"short PNG entry", Ico({{16, 16, 0, pngHead}}), false, false},
        {"entry shorter than its colour bits", Ico({{4, 4, 0, Bytes(good.begin(), good.begin() + 48)}}), true, false},
        {"reserved not 0", reserved, false, false},
        {"type 3", type3, false, false},
        {"no entries", Bytes{0, 0, 1, 0, 0, 0}, false, false},
        {"directory cut short", Bytes{0, 0, 1, 0, 2, 0, 1, 1, 0, 0}, false, false},
    };
    for (const Case& c : cases) {
        cImage32 img;
        bool taken = false;
        EXPECT_EQ(Decode(c.ico, img, 0, 0, &taken), c.image) << c.what;
        EXPECT_EQ(taken, c.taken) << c.what;
    }
}

}  // namespace
