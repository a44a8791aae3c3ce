// PNG reader and writer of the control library.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cImage32.h"

namespace pressel {

class ByteView;

class cPNGparser {
public:
    // True as soon as the data carries the PNG signature, whether or not it then decodes;
    // success shows as an image in `target` (premultiplied, type kTypePng). False means
    // "not PNG" and lets the next reader try.
    bool LoadStream(std::span<const uint8_t> data, cImage32& target, uint64_t offset, uint64_t length);
    bool LoadFile(const std::string& fileName, cImage32& target);

    // Writes `source` as PNG (RGBA when it has alpha, else RGB) to the file, or to
    // `outStream` when the file name is empty. An existing file is replaced.
    bool SaveTo(const std::string& fileName, std::vector<uint8_t>& outStream, const cImage32& source);

    const char* Why() const { return why_; }

    // Decompressed data up to this size is inflated whole, larger data a window at a time.
    // Both give the same outcome; the tests and the fuzzer compare them.
    static constexpr uint64_t kWholeLimit = uint64_t(256) << 20;
    void SetWholeLimit(uint64_t bytes) { wholeLimit_ = bytes; }

private:
    bool ReadPngChunks(const ByteView& data, cImage32& target);
    bool ParseIHDR(const ByteView& chunk);
    bool ParsePLTE(const ByteView& chunk);
    void ParseTRNS(const ByteView& chunk);
    bool InflateAndConvert(cImage32& target);
    bool Fail(const char* why) { why_ = why; return false; }

    int width_ = 0;
    int height_ = 0;
    int bitDepth_ = 0;
    int colourType_ = 0;
    int interlace_ = 0;
    bool haveHeader_ = false;
    std::vector<uint8_t> palette_;   // R, G, B triples
    bool havePalette_ = false;
    std::vector<uint8_t> trns_;      // raw tRNS bytes; 256 alpha values for colour type 3
    bool haveTrns_ = false;
    int32_t transparentKey_ = -1;    // grey value, 0x00RRGGBB, or 0 for a palette tRNS
    uint32_t keyHigh_ = 0;           // the same from the high bytes, for 16-bit samples
    std::vector<std::span<const uint8_t>> idat_;  // the IDAT chunks' data, in order
    uint64_t expectedSize_ = 0;
    uint64_t wholeLimit_ = kWholeLimit;
    const char* why_ = "";
};

}  // namespace pressel
