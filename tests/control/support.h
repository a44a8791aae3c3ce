// Shared helpers of the image core tests: fixture files, an independent PNG decoder and
// encoder (libpng), PAM references, and builders for hand-made damaged files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cImage32.h"

using Bytes = std::vector<uint8_t>;

std::string FixturePath(const std::string& relative);
Bytes ReadBytes(const std::string& path);

// A picture in straight (not premultiplied) RGBA, rows top first.
struct Rgba {
    int width = 0;
    int height = 0;
    Bytes px;
    const uint8_t* At(int x, int y) const { return &px[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
};

// libpng set up like our reader: 16-bit samples reduced to their high byte, grey and RGB
// transparency keys matched on the bytes our reader compares, palette alpha from tRNS.
// `ignoreAdler` decodes data whose zlib checksum is wrong. False when libpng refuses.
bool LibpngDecode(const Bytes& png, Rgba& out, bool ignoreAdler = false);

// Raw PNG content for libpng to encode: rows top first, samples packed as PNG stores them.
struct RawPng {
    int width = 0, height = 0, depth = 8, colourType = 6;
    bool interlaced = false;
    int filter = -1;  // PNG_FILTER_* mask for every row, or libpng's own choice
    size_t idatSize = 0;  // largest IDAT chunk; 0: libpng's 8192
    std::vector<Bytes> rows;
    Bytes palette;   // RGB triples
    Bytes trnsAlpha; // colour type 3
    bool hasKey = false;
    uint16_t keyGrey = 0, keyR = 0, keyG = 0, keyB = 0;
};
Bytes LibpngEncode(const RawPng& raw);
bool LibpngReadRaw(const Bytes& png, RawPng& out);  // samples as stored, for re-encoding

// Reference decodings made once by ImageMagick (tests/fixtures/images/*.pam).
Rgba ReadPam(const std::string& path);

// Our image against a straight-alpha reference: the reference is premultiplied by our rule
// (c * a / 255, truncated) and every byte may differ by `tolerance` (by at most 1 where
// alpha is partial). Without our alpha flag only the colours are compared.
::testing::AssertionResult SamePixels(const pressel::cImage32& ours, const Rgba& ref, int tolerance = 0);

// A PNG assembled chunk by chunk, so that tests can damage any part of it.
struct PngBuilder {
    Bytes bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    // Appends a chunk with its CRC (or `crc` itself when given).
    PngBuilder& Chunk(const char* type, const Bytes& data, const uint32_t* crc = nullptr);
    PngBuilder& Ihdr(uint32_t w, uint32_t h, int depth, int colourType, int interlace = 0);
    // Filtered rows (filter byte first) compressed with zlib into one IDAT.
    PngBuilder& Idat(const Bytes& filteredRows);
    PngBuilder& End() { return Chunk("IEND", {}); }
};
Bytes Zlib(const Bytes& raw);

// Rewrites the CRC of every chunk of a PNG, so that damage reaches what lies behind the checks.
void RepairCrcs(Bytes& png);

// How far the resident memory peaked above its level before `work`, in bytes; -1 where the
// system does not tell.
int64_t PeakGrowth(const std::function<void()>& work);

// Runs `work` in a child process allowed `extraBytes` of address space beyond what it starts
// with: 0 when work returned true, 1 when false, 2 when memory ran out, 3 on any other end.
int RunWithinMemory(uint64_t extraBytes, const std::function<bool()>& work);

// Loads bytes through the whole loader (as a stream).
bool LoadBytes(pressel::cImage32& image, const Bytes& bytes, int iconW = 0, int iconH = 0);

// The bits of a hand-made deflate stream, after a zlib header unless told otherwise.
struct BitWriter {
    Bytes out;
    uint32_t acc = 0;
    int bits = 0;
    explicit BitWriter(bool zlibHeader = true) {
        if (zlibHeader) out = {0x78, 0x01};
    }
    void Put(uint32_t v, int n) {  // least significant bit first
        acc |= v << bits;
        for (bits += n; bits >= 8; bits -= 8, acc >>= 8) out.push_back(uint8_t(acc));
    }
    void Code(uint32_t code, int n) {  // Huffman codes go most significant bit first
        for (int i = n - 1; i >= 0; --i) Put(code >> i & 1, 1);
    }
    void Align() {
        if (bits) Put(0, 8 - bits);
    }
};
