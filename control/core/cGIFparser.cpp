#include "cGIFparser.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "modParsers.h"

namespace pressel {

namespace {

constexpr uint64_t kOffEnd = UINT64_MAX;  // a walk that ran off the end of the data

// From a sub-block chain at `p`: the position just past its 0 terminator.
uint64_t SkipSubBlocks(const ByteView& v, uint64_t p) {
    while (v.Has(p, 1) && v.U8(size_t(p)) != 0) p += uint64_t(v.U8(size_t(p))) + 1;
    return v.Has(p, 1) ? p + 1 : kOffEnd;
}

// GIF LZW: codes of growing width (up to 12 bits) read least significant bit first. Fills
// `out` with colour indexes in stream order and tells how many it produced; data that ends
// early leaves the rest unproduced. False on a code the table cannot have.
bool DecodeLzw(const std::vector<uint8_t>& in, int minCodeSize, std::vector<uint8_t>& out, size_t& produced) {
    constexpr int kMaxCodes = 4096;
    static thread_local uint16_t prefix[kMaxCodes], length[kMaxCodes];
    static thread_local uint8_t suffix[kMaxCodes], first[kMaxCodes];
    const int clear = 1 << minCodeSize, eoi = clear + 1;
    for (int i = 0; i < clear; ++i) {
        suffix[i] = first[i] = uint8_t(i);
        length[i] = 1;
    }
    int codeSize = minCodeSize + 1, next = clear + 2, prev = -1;
    uint32_t bitBuf = 0;
    int bitCount = 0;
    size_t pos = 0;
    produced = 0;
    const size_t total = out.size();

    // Writes the string of `code` at the current position, cut at the end of the frame.
    auto emit = [&](int code) {
        size_t len = length[code];
        size_t end = produced + len;
        for (int c = code; len > 0; c = prefix[c]) {
            --len;
            if (produced + len < total) out[produced + len] = suffix[c];
            if (len == 0) break;
        }
        produced = std::min(end, total);
    };
    auto add = [&](int pre, uint8_t ch) {
        prefix[next] = uint16_t(pre);
        suffix[next] = ch;
        first[next] = first[pre];
        length[next] = uint16_t(length[pre] + 1);
        if (++next == (1 << codeSize) && codeSize < 12) ++codeSize;
    };

    while (produced < total) {
        while (bitCount < codeSize) {
            if (pos >= in.size()) return true;  // data ended early: keep what we have
            bitBuf |= uint32_t(in[pos++]) << bitCount;
            bitCount += 8;
        }
        const int code = int(bitBuf & ((1u << codeSize) - 1));
        bitBuf >>= codeSize;
        bitCount -= codeSize;

        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = clear + 2;
            prev = -1;
        } else if (code == eoi) {
            break;
        } else if (prev < 0) {
            if (code >= clear) return false;
            emit(code);
            prev = code;
        } else if (code < next) {
            emit(code);
            if (next < kMaxCodes) add(prev, first[code]);
            prev = code;
        } else if (code == next && next < kMaxCodes) {
            add(prev, first[prev]);  // the code being defined: previous string + its own first byte
            emit(code);
            prev = code;
        } else {
            return false;
        }
    }
    return true;
}

// Picture row of the r-th row in the stream of an interlaced frame.
int InterlacedRow(int r, int height) {
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        int rows = height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (r < rows) return kStart[pass] + r * kStep[pass];
        r -= rows;
    }
    return 0;
}

}  // namespace

bool cGIFparser::LoadStream(std::span<const uint8_t> data, cImage32& target, uint64_t offset,
                            uint64_t length) {
    ByteView v;
    char sig[7] = {};
    if (SubView(data, offset, length, v) && v.Has(0, 6))
        for (int i = 0; i < 6; ++i) sig[i] = char(std::tolower(v.U8(size_t(i))));
    if (std::strcmp(sig, "gif89a") != 0 && std::strcmp(sig, "gif87a") != 0) {
        why_ = "not GIF data";
        return false;
    }
    // From here, running off the end of the data is a fault: a GIF, but no image.
    auto fault = [&] {
        target.DestroyDIB();
        why_ = "the GIF's blocks run past the end of the data";
        return true;
    };
    auto refuse = [&](const char* why) {
        target.DestroyDIB();
        why_ = why;
        return false;
    };

    if (!v.Has(10, 1)) return fault();
    const uint8_t screenFlags = v.U8(10);
    const uint64_t globalEntries = (screenFlags & 0x80) ? uint64_t(2) << (screenFlags & 7) : 0;
    uint64_t pos = 13 + 3 * globalEntries;
    bool transparent = false;
    int transparentIndex = -1;
    for (;;) {
        if (!v.Has(pos, 1)) return fault();
        const uint8_t b = v.U8(size_t(pos));
        if (b == 0x00) {
            ++pos;
        } else if (b == 0x21) {
            if (!v.Has(pos, 2)) return fault();
            const uint8_t label = v.U8(size_t(pos) + 1);
            if (label == 0xFF) {
                if (!v.Has(pos, 3)) return fault();
                pos = SkipSubBlocks(v, pos + 3 + v.U8(size_t(pos) + 2));
            } else if (label == 0xF9) {
                // Only the last graphic control before the image counts.
                if (!v.Has(pos, 7)) return fault();
                transparent = (v.U8(size_t(pos) + 3) & 1) != 0;
                transparentIndex = v.U8(size_t(pos) + 6);
                pos += 8;
            } else {
                pos = SkipSubBlocks(v, pos + 2);
            }
            if (pos == kOffEnd) return fault();
        } else {
            break;
        }
    }
    if (v.U8(size_t(pos)) != 0x2C) return refuse("no image descriptor after the extensions");

    const uint64_t d = pos;
    if (!v.Has(d, 10)) return fault();
    const int width = v.Le16(size_t(d) + 5), height = v.Le16(size_t(d) + 7);
    const uint8_t flags = v.U8(size_t(d) + 9);
    const uint64_t localEntries = (flags & 0x80) ? uint64_t(2) << (flags & 7) : 0;
    const uint64_t codeSizePos = d + 10 + 3 * localEntries;
    if (!v.Has(codeSizePos, 1)) return fault();
    const uint64_t end = SkipSubBlocks(v, codeSizePos + 1);
    if (end == kOffEnd) return fault();
    if (end - d < 4) return refuse("image block too short");

    const uint64_t entries = localEntries ? localEntries : globalEntries;
    const uint64_t tablePos = localEntries ? d + 10 : 13;
    if (entries == 0) return refuse("no colour table");
    if (!v.Has(tablePos, 3 * entries)) return fault();
    if (!transparent) transparentIndex = -1;

    // The frame itself, placed at the origin with its own size.
    const int minCodeSize = v.U8(size_t(codeSizePos));
    if (width < 1 || height < 1) return refuse("frame of size 0");
    if (int64_t(width) * height > kMaxPixels) return refuse("frame too large");
    if (minCodeSize < 1 || minCodeSize > 11) return refuse("bad LZW code size");
    std::vector<uint8_t> lzw;
    lzw.reserve(size_t(end - codeSizePos));
    for (uint64_t p = codeSizePos + 1; v.U8(size_t(p)) != 0; p += uint64_t(v.U8(size_t(p))) + 1)
        lzw.insert(lzw.end(), v.data() + p + 1, v.data() + p + 1 + v.U8(size_t(p)));
    std::vector<uint8_t> indexes(size_t(width) * size_t(height));
    size_t produced = 0;
    if (!DecodeLzw(lzw, minCodeSize, indexes, produced)) return refuse("bad LZW code");
    if (!target.InitializeDIB(width, height)) return refuse("frame too large");

    const uint8_t* table = v.data() + tablePos;
    const bool interlaced = (flags & 0x40) != 0;
    const uint8_t opaque = transparent ? 255 : 0;  // without transparency the alpha bytes stay 0
    for (size_t i = 0; i < produced; ++i) {
        const int idx = indexes[i];
        if (idx == transparentIndex) continue;
        const int r = int(i / size_t(width)), x = int(i % size_t(width));
        uint8_t* px = target.TopRow(interlaced ? InterlacedRow(r, height) : r) + size_t(x) * 4;
        if (uint64_t(idx) < entries) {  // an index beyond the table gives black
            px[0] = table[idx * 3 + 2];
            px[1] = table[idx * 3 + 1];
            px[2] = table[idx * 3];
        }
        px[3] = opaque;
    }
    target.SetAlpha(transparent);
    target.SetImageType(kTypeGif);
    why_ = "";
    return true;
}

}  // namespace pressel
