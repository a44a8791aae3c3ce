// PNG reader: the PNG suite and random pictures against libpng, the damaged files beside the
// suite, and hand-made damage.
#include <filesystem>
#include <fstream>
#include <random>

#include <png.h>
#include <zlib.h>

#include "cPNGparser.h"
#include "support.h"

using namespace pressel;

namespace {

std::vector<std::string> SuiteFiles() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(FixturePath("pngsuite")))
        if (e.path().extension() == ".png") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool HasChunk(const Bytes& png, const char* type) {
    return std::search(png.begin(), png.end(), type, type + 4) != png.end();
}

// Decodes with our PNG reader alone; `taken` is its answer, the image tells the outcome.
// `wholeLimit` 0 makes it inflate through its window whatever the size.
bool DecodeOurs(const Bytes& png, cImage32& img, bool* taken = nullptr, uint64_t wholeLimit = cPNGparser::kWholeLimit) {
    cPNGparser parser;
    parser.SetWholeLimit(wholeLimit);
    const bool t = parser.LoadStream(png, img, 0, png.size());
    if (taken) *taken = t;
    return img.HasImage();
}

void ExpectMatchesLibpng(const Bytes& png, const Bytes& reference, uint64_t wholeLimit = cPNGparser::kWholeLimit) {
    Rgba ref;
    ASSERT_TRUE(LibpngDecode(reference, ref));
    cImage32 img;
    ASSERT_TRUE(DecodeOurs(png, img, nullptr, wholeLimit));
    EXPECT_EQ(img.ImageType(), kTypePng);
    // Colour types 2, 4 and 6 always carry alpha; grey and palette only with tRNS.
    const int colourType = png[25];
    EXPECT_EQ(img.Alpha(), colourType == 2 || colourType >= 4 || HasChunk(png, "tRNS"));
    EXPECT_TRUE(SamePixels(img, ref));
}

class PngSuite : public ::testing::TestWithParam<std::string> {};

TEST_P(PngSuite, DecodesLikeLibpng) {
    const Bytes png = ReadBytes(FixturePath("pngsuite/" + GetParam()));
    ExpectMatchesLibpng(png, png);
}

// The same samples re-encoded by libpng with the other interlacing must give the same pixels.
TEST_P(PngSuite, InterlacedTwinDecodesTheSame) {
    const Bytes png = ReadBytes(FixturePath("pngsuite/" + GetParam()));
    RawPng raw;
    ASSERT_TRUE(LibpngReadRaw(png, raw));
    raw.interlaced = !raw.interlaced;
    ExpectMatchesLibpng(LibpngEncode(raw), png);
}

INSTANTIATE_TEST_SUITE_P(Files, PngSuite, ::testing::ValuesIn(SuiteFiles()), [](const auto& info) {
    std::string n = info.param.substr(0, info.param.size() - 4);
    std::replace(n.begin(), n.end(), '-', '_');
    return n;
});

// Every colour type and depth PNG allows, at sizes where Adam7 passes are empty, with and
// without transparency, filled with random samples and encoded by libpng.
TEST(PngRandom, EveryFormatAndSizeMatchesLibpng) {
    std::mt19937 rng(7);
    const std::pair<int, int> formats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8},  {2, 16}, {3, 1},
                                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {5, 9}, {9, 5}, {17, 3}, {33, 12}};
    const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    for (auto [ct, depth] : formats) {
        for (auto [w, h] : sizes) {
            for (int variant = 0; variant < 4; ++variant) {
                SCOPED_TRACE(testing::Message() << "type " << ct << " depth " << depth << " " << w << "x" << h
                                                << " variant " << variant);
                RawPng raw;
                raw.width = w;
                raw.height = h;
                raw.depth = depth;
                raw.colourType = ct;
                raw.interlaced = variant & 1;
                const size_t rowBytes = (size_t(w) * size_t(channels[ct] * depth) + 7) / 8;
                for (int y = 0; y < h; ++y) {
                    Bytes row(rowBytes);
                    for (auto& b : row) b = uint8_t(rng());
                    raw.rows.push_back(row);
                }
                if (ct == 3) {
                    // Indexes at 8 bits must stay inside the palette.
                    if (depth == 8) for (auto& r : raw.rows) for (auto& b : r) b %= 200;
                    for (int i = 0; i < std::min(256, 1 << depth) * 3; ++i) raw.palette.push_back(uint8_t(rng()));
                    if (variant & 2) for (int i = 0; i < (1 << std::min(depth, 4)); ++i) raw.trnsAlpha.push_back(uint8_t(rng()));
                } else if ((variant & 2) && (ct == 0 || ct == 2)) {
                    // Key on the first pixel; at 16 bits only its high bytes match it.
                    raw.hasKey = true;
                    const Bytes& r0 = raw.rows[0];
                    const uint16_t lowFlip = depth == 16 ? 1 : 0;
                    auto sample = [&](int i) {
                        return depth == 16 ? uint16_t((r0[size_t(i) * 2] << 8 | r0[size_t(i) * 2 + 1]) ^ lowFlip)
                                           : depth == 8 ? r0[size_t(i)] : uint16_t(r0[0] >> (8 - depth));
                    };
                    raw.keyGrey = sample(0);
                    if (ct == 2) { raw.keyR = sample(0); raw.keyG = sample(1); raw.keyB = sample(2); }
                }
                const Bytes png = LibpngEncode(raw);
                ExpectMatchesLibpng(png, png);
            }
        }
    }
}

// Each row filter on pictures of few close values, where the Paeth predictor meets its ties.
TEST(PngRandom, EachFilterMatchesLibpng) {
    std::mt19937 rng(11);
    for (int filter : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH}) {
        for (auto [ct, channels] : {std::pair{0, 1}, {2, 3}, {4, 2}, {6, 4}}) {
            for (int depth : {8, 16}) {
                SCOPED_TRACE(testing::Message() << "filter " << filter << " type " << ct << " depth " << depth);
                RawPng raw;
                raw.width = 23;
                raw.height = 17;
                raw.depth = depth;
                raw.colourType = ct;
                raw.filter = filter;
                raw.interlaced = rng() & 1;
                for (int y = 0; y < raw.height; ++y) {
                    Bytes row;
                    for (int x = 0; x < raw.width * channels * depth / 8; ++x) row.push_back(uint8_t(rng() % 4 + ((x + y) & 8) * 3));
                    raw.rows.push_back(row);
                }
                const Bytes png = LibpngEncode(raw);
                ExpectMatchesLibpng(png, png);
            }
        }
    }
}

// Pictures whose data is far larger than the window of rows the reader keeps while inflating.
TEST(PngRandom, LargePicturesMatchLibpng) {
    std::mt19937 rng(5);
    for (int depth : {8, 16}) {
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << (interlaced ? " interlaced" : ""));
            RawPng raw;
            raw.width = 411;
            raw.height = depth == 8 ? 403 : 203;  // output of two windows and more
            raw.depth = depth;
            raw.colourType = 6;
            raw.interlaced = interlaced;
            raw.filter = depth == 16 ? PNG_FILTER_AVG : interlaced ? PNG_FILTER_UP : PNG_FILTER_PAETH;  // rows that need the row above
            raw.idatSize = depth == 16 ? 0 : size_t(1) << 22;  // many chunks, or one that fills the window at once
            for (int y = 0; y < raw.height; ++y) {
                Bytes row;
                for (int x = 0; x < raw.width * 4 * depth / 8; ++x) row.push_back(uint8_t((x ^ y) / 7 + rng() % 5));
                raw.rows.push_back(row);
            }
            const Bytes png = LibpngEncode(raw);
            ExpectMatchesLibpng(png, png);
        }
    }
    // Data for only the first 300 of 400 rows: the rest stays zero.
    Bytes rows;
    for (int y = 0; y < 300; ++y) {
        rows.push_back(uint8_t(y % 5));
        for (int x = 0; x < 700 * 3; ++x) rows.push_back(uint8_t(rng()));
    }
    cImage32 img;
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(700, 400, 8, 2).Idat(rows).End().bytes, img));
    EXPECT_EQ(img.TopRow(299)[3], 255);
    EXPECT_EQ(Bytes(img.TopRow(300), img.TopRow(300) + 8), (Bytes{0, 0, 0, 255, 0, 0, 0, 255}));
}

// Rows longer than the inflater's window, which then restores them a piece at a time: every
// pixel size with every filter, through the whole-image inflater and through the window.
TEST(PngRandom, RowsLongerThanTheWindowMatchLibpng) {
    std::mt19937 rng(17);
    struct Format { int colourType, depth, channels, width; };
    const Format formats[] = {{6, 8, 4, 70001}, {6, 16, 4, 33001}, {2, 8, 3, 90001}, {2, 16, 3, 45001},
                              {4, 8, 2, 140001}, {4, 16, 2, 70001}, {0, 8, 1, 270001}, {0, 4, 1, 999999}};
    for (const Format& f : formats) {
        for (int filter : {PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH}) {
            RawPng raw;
            raw.width = f.width;
            raw.height = 3;
            raw.depth = f.depth;
            raw.colourType = f.colourType;
            raw.filter = filter;
            raw.interlaced = filter == PNG_FILTER_PAETH;
            const size_t rowBytes = (size_t(f.width) * size_t(f.channels * f.depth) + 7) / 8;
            for (int y = 0; y < raw.height; ++y) {
                Bytes row(rowBytes);
                for (size_t x = 0; x < rowBytes; ++x) row[x] = uint8_t((x / 97 + size_t(y) * 13) * 5 + rng() % 3);
                raw.rows.push_back(row);
            }
            const Bytes png = LibpngEncode(raw);
            for (uint64_t limit : {uint64_t(0), cPNGparser::kWholeLimit}) {
                SCOPED_TRACE(testing::Message() << "type " << f.colourType << " depth " << f.depth << " filter "
                                                << filter << (limit ? " whole" : " window"));
                ExpectMatchesLibpng(png, png, limit);
            }
        }
    }
}

// Deflate streams that zlib refuses and a more lenient inflater might not.

// A dynamic block whose code-length code is incomplete: one code of one bit.
Bytes IncompleteCodeLengthCode() {
    BitWriter w;
    w.Put(1, 1), w.Put(2, 2);             // last block, dynamic codes
    w.Put(0, 5), w.Put(0, 5), w.Put(0, 4);  // 257 literal/length and 1 distance code, 4 code-length codes
    w.Put(0, 3), w.Put(0, 3), w.Put(0, 3), w.Put(1, 3);  // only symbol 0 (length zero) has a code
    for (int i = 0; i < 258 + 40; ++i) w.Put(0, 1);
    w.Put(0, 7);
    return w.out;
}

// 30000 stored zeros, then a fixed block copying from distance code 30, which deflate does not
// define; the stream's check is that of the zeros.
Bytes DistanceCode30() {
    BitWriter w;
    w.Put(0, 1), w.Put(0, 2), w.Align();  // stored block
    const Bytes zeros(30000, 0);
    w.Put(30000, 16), w.Put(uint16_t(~30000u), 16);
    w.out.insert(w.out.end(), zeros.begin(), zeros.end());
    w.Put(1, 1), w.Put(1, 2);   // last block, fixed codes
    w.Code(1, 7);               // length 3
    w.Code(30, 5), w.Put(0, 13);  // distance code 30
    w.Code(0, 7);               // end of block
    w.Align();
    const uint32_t check = uint32_t(adler32(1, zeros.data(), uInt(zeros.size())));
    for (int i = 3; i >= 0; --i) w.out.push_back(uint8_t(check >> (8 * i)));
    return w.out;
}

// Damaged image data: where the whole-image inflater gives up the window decides, and the two
// must never disagree on the outcome or the pixels.
TEST(PngDamage, WholeAndWindowInflatersAgree) {
    std::vector<Bytes> sources;
    for (const char* name : {"basn6a08.png", "basn2c16.png", "basn3p02.png", "basn3p04-31i.png"})
        sources.push_back(ReadBytes(FixturePath(std::string("pngsuite/") + name)));
    sources.push_back(PngBuilder().Ihdr(4, 4, 8, 0).Chunk("IDAT", IncompleteCodeLengthCode()).End().bytes);
    sources.push_back(PngBuilder().Ihdr(100, 301, 8, 0).Chunk("IDAT", DistanceCode30()).End().bytes);
    std::mt19937 rng(23);
    int images = 0, failures = 0;
    for (size_t s = 0; s < sources.size(); ++s) {
        for (int round = 0; round < 150; ++round) {
            Bytes png = sources[s];
            const auto idat = std::search(png.begin() + 8, png.end(), "IDAT", "IDAT" + 4) - png.begin();
            const size_t len = size_t(png[size_t(idat) - 4]) << 24 | size_t(png[size_t(idat) - 3]) << 16 |
                               size_t(png[size_t(idat) - 2]) << 8 | png[size_t(idat) - 1];
            if (round > 0 && len > 0) {
                const size_t at = size_t(idat) + 4 + rng() % len;
                if (round % 3 == 0) png[at] = uint8_t(rng());
                else png[at] ^= uint8_t(1u << (rng() % 8));
            }
            RepairCrcs(png);
            cImage32 whole, window;
            const bool a = DecodeOurs(png, whole), b = DecodeOurs(png, window, nullptr, 0);
            ASSERT_EQ(a, b) << "source " << s << " round " << round;
            (a ? images : failures)++;
            if (a)
                ASSERT_TRUE(std::equal(whole.BitsPointer(), whole.BitsPointer() + size_t(whole.Width()) * size_t(whole.Height()) * 4,
                                       window.BitsPointer()))
                    << "source " << s << " round " << round;
        }
    }
    EXPECT_GT(images, 100);  // both kinds of outcome were met
    EXPECT_GT(failures, 100);
}

// Working memory: the whole-image inflater holds the image and its raw rows, the window one
// row of samples besides the image, never two.
TEST(PngMemory, WorkingRowsAreBounded) {
    const uint32_t width = 2000000;  // 16-bit RGBA: a row of 16 MB, the image 16 MB
    const Bytes rows(2 * (size_t(width) * 8 + 1), 0);
    const Bytes png = PngBuilder().Ihdr(width, 2, 16, 6).Idat(rows).End().bytes;
    const int64_t image = int64_t(width) * 2 * 4, row = int64_t(width) * 8;
    const int64_t slack = int64_t(4) << 20;  // scratch memory comes in whole huge pages
    for (uint64_t limit : {uint64_t(0), cPNGparser::kWholeLimit}) {
        SCOPED_TRACE(limit ? "whole" : "window");
        bool decoded = false;
        const int64_t peak = PeakGrowth([&] {
            cImage32 img;
            decoded = DecodeOurs(png, img, nullptr, limit);
        });
        if (peak < 0) GTEST_SKIP() << "the system does not tell the peak memory";
        EXPECT_TRUE(decoded);
        EXPECT_LE(peak, image + (limit ? int64_t(rows.size()) : row) + slack);
        EXPECT_GE(peak, image) << "the measure sees the image";
    }
}

// A 69-byte PNG of 33554432 x 2 16-bit pixels: its image takes 268 MB, and the window inflater
// works in one row of samples (268 MB) besides it, where it once held two and the window.
TEST(PngMemory, HugeRowsFitBesideTheImage) {
    const uint32_t width = 33554432;
    const Bytes png = PngBuilder().Ihdr(width, 2, 16, 6).Idat(Bytes(1, 0)).End().bytes;
    const uint64_t image = uint64_t(width) * 2 * 4, row = uint64_t(width) * 8;
    EXPECT_EQ(RunWithinMemory(image + row + (uint64_t(64) << 20), [&] {
                  cImage32 img;
                  return DecodeOurs(png, img) && img.TopRow(1)[3] == 0;
              }),
              0);
}

// Outcomes of the damaged files beside the suite.
TEST(PngInvalid, EachGivesTheOutcomeOfTheChunkWalk) {
    for (const char* name : {"invalid-crc32.png", "invalid-noend.png", "invalid-palette.png", "invalid-trunc.png"}) {
        SCOPED_TRACE(name);
        cImage32 img;
        bool taken = false;
        EXPECT_FALSE(DecodeOurs(ReadBytes(FixturePath(std::string("png-invalid/") + name)), img, &taken));
        EXPECT_TRUE(taken) << "a PNG signature is always taken";
    }
    // A wrong Adler-32 decodes through the fallback inflater.
    const Bytes png = ReadBytes(FixturePath("png-invalid/invalid-zlib.png"));
    Rgba ref;
    ASSERT_TRUE(LibpngDecode(png, ref, true));
    cImage32 img;
    ASSERT_TRUE(DecodeOurs(png, img));
    EXPECT_TRUE(SamePixels(img, ref));
}

// --- hand-made files ---

Bytes Rgba1x2(uint8_t filter = 0) { return {filter, 255, 0, 0, 128, 10, 20, 30, 0}; }

TEST(PngPixels, PremultipliesAndClearsTransparentPixels) {
    cImage32 img;
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(2, 1, 8, 6).Idat(Rgba1x2()).End().bytes, img));
    const uint8_t* p = img.TopRow(0);
    EXPECT_EQ(Bytes(p, p + 8), (Bytes{0, 0, 128, 128, 0, 0, 0, 0}));
}

TEST(PngPixels, SixteenBitKeyMatchesOnHighBytesOnly) {
    // Two 16-bit RGB pixels differing from the key only in their low bytes: both transparent.
    const Bytes rows = {0, 0x12, 0x00, 0x34, 0x00, 0x56, 0x00, 0x12, 0xFF, 0x34, 0xFF, 0x56, 0xFF};
    const Bytes key = {0x12, 0x77, 0x34, 0x77, 0x56, 0x77};
    cImage32 img;
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(2, 1, 16, 2).Chunk("tRNS", key).Idat(rows).End().bytes, img));
    const uint8_t* p = img.TopRow(0);
    EXPECT_EQ(Bytes(p, p + 8), Bytes(8, 0));
}

TEST(PngPixels, PaletteWithoutPlteUsesTheDefaultPalette) {
    cImage32 img;
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(2, 1, 1, 3).Idat({0, 0x40}).End().bytes, img));
    EXPECT_EQ(Bytes(img.TopRow(0), img.TopRow(0) + 8), (Bytes{0, 0, 0, 255, 255, 255, 255, 255}));
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(1, 1, 8, 3).Idat({0, 1}).End().bytes, img));
    EXPECT_EQ(Bytes(img.TopRow(0), img.TopRow(0) + 4), (Bytes{0, 0, 0, 255})) << "white only at depth 1";
}

TEST(PngChunks, SplitDataUnknownChunksAndCrcRules) {
    const Bytes z = Zlib(Rgba1x2());
    const uint32_t zeroCrc = 0, badCrc = 0x12345678;
    cImage32 whole, other;
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(2, 1, 8, 6).Idat(Rgba1x2()).End().bytes, whole));
    const Bytes reference(whole.BitsPointer(), whole.BitsPointer() + 8);
    auto same = [&](const Bytes& png) {
        cImage32 img;
        return DecodeOurs(png, img) && Bytes(img.BitsPointer(), img.BitsPointer() + 8) == reference;
    };
    EXPECT_TRUE(same(PngBuilder().Ihdr(2, 1, 8, 6).Chunk("IDAT", Bytes(z.begin(), z.begin() + 5))
                         .Chunk("IDAT", Bytes(z.begin() + 5, z.end())).End().bytes)) << "split IDAT";
    EXPECT_TRUE(same(PngBuilder().Ihdr(2, 1, 8, 6).Chunk("gAMA", {0, 0, 0x3A, 0x98}).Chunk("ZZZZ", {1, 2})
                         .Idat(Rgba1x2()).End().bytes)) << "unknown critical chunk and gAMA skipped";
    EXPECT_TRUE(same(PngBuilder().Ihdr(2, 1, 8, 6).Chunk("IDAT", z, &zeroCrc).End().bytes)) << "CRC 0 unchecked";
    EXPECT_FALSE(same(PngBuilder().Ihdr(2, 1, 8, 6).Chunk("IDAT", z, &badCrc).End().bytes)) << "bad IDAT CRC";
    EXPECT_FALSE(same(PngBuilder().Ihdr(2, 1, 8, 3).Chunk("PLTE", {1, 2, 3}, &badCrc).Idat({0, 0, 0}).End().bytes));

    // A bad tRNS CRC only loses the transparency.
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(1, 1, 8, 0).Chunk("tRNS", {0, 9}, &badCrc).Idat({0, 9}).End().bytes, other));
    EXPECT_FALSE(other.Alpha());
    EXPECT_EQ(other.TopRow(0)[3], 255);
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(1, 1, 8, 0).Chunk("tRNS", {0, 9}).Idat({0, 9}).End().bytes, other));
    EXPECT_TRUE(other.Alpha());
    EXPECT_EQ(other.TopRow(0)[3], 0);
}

TEST(PngChunks, FilterOutsideRangeLeftInPlainDataFailsInterlacedData) {
    cImage32 img;
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(2, 1, 8, 6).Idat(Rgba1x2(7)).End().bytes, img));
    EXPECT_EQ(img.TopRow(0)[2], 128);
    // 1x1 interlaced: only pass 1 holds data.
    EXPECT_FALSE(DecodeOurs(PngBuilder().Ihdr(1, 1, 8, 6, 1).Idat({7, 1, 2, 3, 255}).End().bytes, img));
    EXPECT_TRUE(DecodeOurs(PngBuilder().Ihdr(1, 1, 8, 6, 1).Idat({0, 1, 2, 3, 255}).End().bytes, img));
}

TEST(PngChunks, ShortAndLongImageData) {
    cImage32 img;
    // Only the first of two rows: the second stays zero bytes.
    ASSERT_TRUE(DecodeOurs(PngBuilder().Ihdr(1, 2, 8, 6).Idat({0, 1, 2, 3, 255}).End().bytes, img));
    EXPECT_EQ(img.TopRow(0)[3], 255);
    EXPECT_EQ(Bytes(img.TopRow(1), img.TopRow(1) + 4), Bytes(4, 0));
    // More data than the picture needs.
    EXPECT_TRUE(DecodeOurs(PngBuilder().Ihdr(1, 1, 8, 6).Idat({0, 1, 2, 3, 255, 0, 9, 9, 9, 9}).End().bytes, img));
    // A damaged zlib header is not examined by the fallback inflater.
    Bytes z = Zlib(Rgba1x2());
    z[0] = 0xFF;
    z[1] = 0xFF;
    EXPECT_TRUE(DecodeOurs(PngBuilder().Ihdr(2, 1, 8, 6).Chunk("IDAT", z).End().bytes, img));
    EXPECT_EQ(img.TopRow(0)[3], 128);
}

TEST(PngDamage, RefusedHeadersGiveNoImage) {
    struct Case { const char* what; Bytes png; };
    const Bytes row = {0, 0, 0, 0, 0, 0, 0};
    const Case cases[] = {
        {"RGB at depth 4", PngBuilder().Ihdr(1, 1, 4, 2).Idat(row).End().bytes},
        {"palette at depth 16", PngBuilder().Ihdr(1, 1, 16, 3).Chunk("PLTE", {1, 2, 3}).Idat(row).End().bytes},
        {"grey alpha at depth 2", PngBuilder().Ihdr(1, 1, 2, 4).Idat(row).End().bytes},
        {"colour type 1", PngBuilder().Ihdr(1, 1, 8, 1).Idat(row).End().bytes},
        {"depth 3", PngBuilder().Ihdr(1, 1, 3, 0).Idat(row).End().bytes},
        {"width 0", PngBuilder().Ihdr(0, 1, 8, 0).Idat(row).End().bytes},
        {"width 2^31", PngBuilder().Ihdr(0x80000000u, 1, 8, 0).Idat(row).End().bytes},
        {"65535 x 65535", PngBuilder().Ihdr(65535, 65535, 8, 6).Idat(row).End().bytes},
        {"just over 64 megapixels", PngBuilder().Ihdr(8193, 8193, 8, 0).Idat(row).End().bytes},
        {"IHDR of 12 bytes", PngBuilder().Chunk("IHDR", Bytes(12, 1)).Idat(row).End().bytes},
        {"second IHDR", PngBuilder().Ihdr(1, 1, 8, 0).Ihdr(2, 1, 8, 0).Idat(row).End().bytes},
        {"no IHDR", PngBuilder().Idat(row).End().bytes},
        {"no IDAT", PngBuilder().Ihdr(1, 1, 8, 0).End().bytes},
        {"no IEND", PngBuilder().Ihdr(1, 1, 8, 0).Idat(row).bytes},
        {"PLTE not in triples", PngBuilder().Ihdr(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4}).Idat({0, 0}).End().bytes},
        {"index beyond palette", PngBuilder().Ihdr(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3}).Idat({0, 1}).End().bytes},
        {"index beyond palette at depth 2", PngBuilder().Ihdr(4, 1, 2, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}).Idat({0, 0x0C}).End().bytes},
        {"undecodable data", PngBuilder().Ihdr(1, 1, 8, 0).Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF, 0xFF}).End().bytes},
    };
    for (const Case& c : cases) {
        cImage32 img;
        bool taken = false;
        EXPECT_FALSE(DecodeOurs(c.png, img, &taken)) << c.what;
        EXPECT_TRUE(taken) << c.what;
    }
}

TEST(PngDamage, LyingLengthsAndEveryTruncation) {
    Bytes png = ReadBytes(FixturePath("pngsuite/basn2c08.png"));
    cImage32 img;
    bool taken = false;
    for (size_t n = 0; n < png.size(); ++n) {
        Bytes cut(png.begin(), png.begin() + long(n));
        EXPECT_FALSE(DecodeOurs(cut, img, &taken)) << "cut at " << n;
        EXPECT_EQ(taken, n >= 8) << "cut at " << n;
    }
    for (uint32_t len : {0x7FFFFFF0u, 0x80000000u, 0xFFFFFFFFu, 14u}) {
        Bytes lying = png;
        for (int i = 0; i < 4; ++i) lying[33 + size_t(i)] = uint8_t(len >> (24 - 8 * i));  // the chunk after IHDR
        EXPECT_FALSE(DecodeOurs(lying, img)) << len;
    }
}

TEST(PngSave, WritesWhatLibpngReadsBack) {
    for (const char* name : {"basn6a08.png", "basn0g08.png"}) {
        SCOPED_TRACE(name);
        cImage32 img;
        ASSERT_TRUE(DecodeOurs(ReadBytes(FixturePath(std::string("pngsuite/") + name)), img));
        Bytes out{1, 2, 3};
        cPNGparser writer;
        ASSERT_TRUE(writer.SaveTo("", out, img));
        EXPECT_EQ(out[25], img.Alpha() ? 6 : 2) << "colour type";
        Rgba back;
        ASSERT_TRUE(LibpngDecode(out, back));
        EXPECT_TRUE(SamePixels(img, back, 1));
    }
    cImage32 empty;
    Bytes out;
    EXPECT_FALSE(cPNGparser().SaveTo("", out, empty));
}

TEST(PngSave, ReplacesAnExistingFile) {
    const std::string path = ::testing::TempDir() + "pressel-save.png";
    { std::ofstream(path) << "old"; }
    cImage32 img;
    ASSERT_TRUE(img.InitializeDIB(3, 2));
    Bytes unused;
    ASSERT_TRUE(cPNGparser().SaveTo(path, unused, img));
    Rgba back;
    ASSERT_TRUE(LibpngDecode(ReadBytes(path), back));
    EXPECT_EQ(back.width, 3);
    std::filesystem::remove(path);
}

}  // namespace
