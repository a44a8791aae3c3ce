#include "cGIFparser.h"

#include <cctype>
#include <algorithm>
#include <cstring>
#include <memory>
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

// Room past the end of the frame for a whole string and a block copy.
constexpr size_t kLzwSlack = 4096 + 16;

// Copies `len` bytes forward in 16-byte blocks: every byte read lies before `dst`, and what
// lands past `len` is overwritten by later strings or lies in the slack.
inline void CopyString(uint8_t* dst, const uint8_t* src, size_t len) {
    for (size_t i = 0; i < len; i += 16) std::memmove(dst + i, src + i, 16);
}

// GIF LZW: codes of growing width (up to 12 bits) read least significant bit first. Fills
// `out` (frame size plus kLzwSlack) with colour indexes in stream order and tells how many of
// the `total` it produced; data that ends early leaves the rest unproduced. False on a code
// the table cannot have. A code's string is copied from where it was last written, as every
// string is an earlier one plus the first byte of the next.
bool DecodeLzw(const std::vector<uint8_t>& in, int minCodeSize, uint8_t* out, size_t total, size_t& produced) {
    constexpr int kMaxCodes = 4096;
    static thread_local uint32_t offset[kMaxCodes];
    static thread_local uint16_t length[kMaxCodes];
    const int clear = 1 << minCodeSize, eoi = clear + 1;
    int codeSize = minCodeSize + 1, next = clear + 2, prev = -1;
    size_t prevPos = 0, prevLen = 0;
    uint64_t bitBuf = 0;
    int bitCount = 0;
    size_t pos = 0;
    produced = 0;
    const size_t inSize = in.size();

    while (produced < total) {
        if (bitCount < codeSize) {
            if (pos + 8 <= inSize) {
                uint64_t word;
                std::memcpy(&word, in.data() + pos, 8);
                const int take = (63 - bitCount) / 8;
                bitBuf |= (word & ((uint64_t(1) << (take * 8)) - 1)) << bitCount;
                pos += size_t(take);
                bitCount += take * 8;
            } else {
                while (bitCount < codeSize) {
                    if (pos >= inSize) return true;  // data ended early: keep what we have
                    bitBuf |= uint64_t(in[pos++]) << bitCount;
                    bitCount += 8;
                }
            }
        }
        const int code = int(bitBuf & ((1u << codeSize) - 1));
        bitBuf >>= codeSize;
        bitCount -= codeSize;

        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == eoi) break;
        const size_t at = produced;
        size_t len;
        if (prev < 0) {
            if (code >= clear) return false;
            out[at] = uint8_t(code);
            len = 1;
        } else if (code < next) {
            if (code < clear) {
                out[at] = uint8_t(code);
                len = 1;
            } else {
                len = length[code];
                CopyString(out + at, out + offset[code], len);
            }
            if (next < kMaxCodes) {
                // The previous string and this one's first byte lie together in the output.
                offset[next] = uint32_t(prevPos);
                length[next] = uint16_t(prevLen + 1);
                if (++next == (1 << codeSize) && codeSize < 12) ++codeSize;
            }
        } else if (code == next && next < kMaxCodes) {
            // The code being defined: the previous string and its own first byte.
            len = prevLen + 1;
            CopyString(out + at, out + prevPos, prevLen);
            out[at + prevLen] = out[at];
            offset[next] = uint32_t(at);
            length[next] = uint16_t(len);
            if (++next == (1 << codeSize) && codeSize < 12) ++codeSize;
        } else {
            return false;
        }
        prev = code;
        prevPos = at;
        prevLen = len;
        produced = std::min(at + len, total);
    }
    return true;
}

// Picture rows of an interlaced frame in stream order: every 8th from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
class InterlacedRows {
public:
    explicit InterlacedRows(int height) : height_(height) { Skip(); }
    int Row() const { return row_; }
    void Next() {
        row_ += kStep[pass_];
        Skip();
    }

private:
    void Skip() {
        while (row_ >= height_ && pass_ < 3) row_ = kStart[++pass_];
    }
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int height_;
    int pass_ = 0, row_ = 0;
};

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
    const size_t total = size_t(width) * size_t(height);
    std::unique_ptr<uint8_t[]> indexes(new uint8_t[total + kLzwSlack]);
    size_t produced = 0;
    if (!DecodeLzw(lzw, minCodeSize, indexes.get(), total, produced)) return refuse("bad LZW code");
    if (!target.InitializeDIB(width, height)) return refuse("frame too large");

    // Each index to its pixel: an index beyond the table gives black, the transparent one
    // stays zero, and without transparency the alpha bytes stay 0.
    const uint8_t* table = v.data() + tablePos;
    const uint32_t opaque = transparent ? 0xFF000000u : 0;
    uint32_t pixel[256];
    for (uint32_t i = 0; i < 256; ++i) {
        pixel[i] = opaque;
        if (i < entries) pixel[i] |= uint32_t(table[i * 3 + 2]) | uint32_t(table[i * 3 + 1]) << 8 | uint32_t(table[i * 3]) << 16;
    }
    if (transparentIndex >= 0) pixel[transparentIndex] = 0;

    const bool interlaced = (flags & 0x40) != 0;
    InterlacedRows order(height);
    for (size_t i = 0, r = 0; i < produced; i += size_t(width), ++r) {
        const int y = interlaced ? order.Row() : int(r);
        uint8_t* dst = target.TopRow(y);
        const uint8_t* src = indexes.get() + i;
        const size_t n = std::min(size_t(width), produced - i);
        for (size_t x = 0; x < n; ++x) std::memcpy(dst + x * 4, &pixel[src[x]], 4);
        if (interlaced) order.Next();
    }
    target.SetAlpha(transparent);
    target.SetImageType(kTypeGif);
    why_ = "";
    return true;
}

}  // namespace pressel
