#include "cICOparser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "cPNGparser.h"
#include "modParsers.h"

namespace pressel {

namespace {
constexpr uint16_t kPngMark = 21060;  // "IH" "DR": where a PNG holds the end of its first chunk type
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
}  // namespace

bool cICOparser::LoadStream(std::span<const uint8_t> data, int requestedWidth, int requestedHeight,
                            cImage32& target, uint64_t offset, uint64_t length) {
    auto refuse = [&](const char* why) {
        why_ = why;
        return false;
    };
    ByteView v;
    if (!SubView(data, offset, length, v) || !v.Has(0, 6)) return refuse("not icon data");
    const uint16_t type = v.Le16(2), count = v.Le16(4);
    if (v.Le16(0) != 0 || (type != 1 && type != 2) || count < 1) return refuse("not icon data");
    uint64_t total = 6 + 16 * uint64_t(count);
    if (!v.Has(0, total)) return refuse("icon directory runs past the end of the data");

    std::vector<Entry> entries(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t d = 6 + 16 * i;
        Entry& e = entries[i];
        e.width = v.U8(d) ? v.U8(d) : 256;
        e.height = v.U8(d + 1) ? v.U8(d + 1) : 256;
        e.bitCount = v.Le16(d + 6);
        e.size = v.Le32(d + 8);
        e.offset = v.Le32(d + 12);
        total += e.size;
    }
    if (total > v.size()) return refuse("icon entry sizes exceed the data");

    for (Entry& e : entries) {
        if (!v.Has(e.offset, e.size) || e.size < 16) return refuse("icon entry outside the data");
        const uint16_t mark = v.Le16(e.offset + 14);
        if (mark == kPngMark) {
            if (!CheckPngEntry(v, e)) return refuse("bad PNG icon entry");
        } else if (mark != 0) {
            e.bitCount = mark;  // the bitmap header's own bit count
        } else if (e.bitCount == 0) {
            return refuse("icon entry without a bit count");
        }
    }

    if (requestedWidth < 1) requestedWidth = 48;
    if (requestedHeight < 1) requestedHeight = 48;
    const int best = ChooseBestEntry(entries, requestedWidth, requestedHeight);
    target.DestroyDIB();
    why_ = "";
    if (best == 0) {
        why_ = "no usable icon entry";
        return true;
    }
    const Entry& e = entries[size_t(best - 1)];
    if (e.png) {
        cPNGparser png;
        const bool taken = png.LoadStream(v.span(), target, e.offset, e.size);
        why_ = png.Why();
        if (target.HasImage()) target.SetImageType(kTypePngInIcon);
        return taken;
    }
    if (!DrawBitmapEntry(v, e, type == 2, target)) target.DestroyDIB();
    return true;
}

bool cICOparser::CheckPngEntry(const ByteView& v, Entry& e) {
    e.png = true;
    if (e.size < 26) return false;
    const size_t o = e.offset;
    if (std::memcmp(v.data() + o, kPngSignature, 8) != 0 || std::memcmp(v.data() + o + 12, "IHDR", 4) != 0)
        return false;
    const uint32_t w = v.Be32(o + 16), h = v.Be32(o + 20);
    if (w >= 1 && w <= 256) e.width = int(w); else e.bitCount = 0;
    if (h >= 1 && h <= 256) e.height = int(h); else e.bitCount = 0;
    if (e.bitCount == 0) {
        const int depth = v.U8(o + 24), colourType = v.U8(o + 25);
        e.bitCount = depth == 16 ? 32 : (colourType == 4 || colourType == 6) ? 32 : colourType == 2 ? 24 : depth;
    }
    return e.bitCount > 0;
}

int cICOparser::ChooseBestEntry(const std::vector<Entry>& entries, int width, int height) {
    const int n = int(entries.size());
    if (n == 0) return 0;
    if (n == 1) return entries[0].bitCount ? 1 : 0;
    std::vector<int64_t> score(size_t(n) + 1, 0);
    score[0] = 10000;
    int best = 0;
    // Size differences count double when the entry is smaller than asked; depth far from 32 costs.
    for (int i = 1; i <= n; ++i) {
        const Entry& e = entries[size_t(i - 1)];
        if (e.bitCount == 0) continue;
        int64_t dw = e.width - width, dh = e.height - height;
        if (e.width < width) dw *= 2;
        if (e.height < height) dh *= 2;
        int64_t s = dw + dh + std::abs(32 - e.bitCount);
        if (e.bitCount > 32) s = -10000;
        score[size_t(i)] = s;
        if (s == 0) return i;
        if (s < score[0] && s > 0) {
            score[0] = s;
            best = i;
        }
    }
    if (best) return best;
    // Nothing bigger fits: the closest by absolute score, later entries winning ties.
    for (int i = n; i >= 1; --i) {
        const int64_t s = std::abs(score[size_t(i)]) + std::abs(32 - entries[size_t(i - 1)].bitCount);
        if (s < score[0]) {
            score[0] = s;
            best = i;
        }
    }
    return best ? best : 1;
}

bool cICOparser::DrawBitmapEntry(const ByteView& v, const Entry& e, bool cursor, cImage32& target) {
    const int w = e.width, h = e.height, bc = e.bitCount;
    const uint64_t base = e.offset, end = uint64_t(e.offset) + e.size;
    if (e.size < 40) return false;
    const uint32_t headerSize = v.Le32(size_t(base));
    if (headerSize < 40 || headerSize > e.size) return false;
    if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32) return false;
    if (v.Le32(size_t(base) + 16) != kBiRgb) return false;

    const int64_t colourBits = AlignedScanWidth(bc, w) * h;
    const int64_t maskRow = AlignedScanWidth(1, w), maskSize = maskRow * h;
    // The colour table holds what the entry leaves room for, at most 2^bits entries (a short
    // table moves the pixels up rather than being read past).
    int64_t paletteCount = 0;
    if (bc <= 8) {
        paletteCount = (int64_t(e.size) - headerSize - colourBits - maskSize) / 4;
        paletteCount = std::clamp<int64_t>(paletteCount, 0, int64_t(1) << bc);
    }
    const uint64_t bitsStart = base + headerSize + 4 * uint64_t(paletteCount);
    if (bitsStart + uint64_t(colourBits) > end) return false;

    if (!target.InitializeDIB(w, h)) return false;
    DibFormat f;
    f.width = w;
    f.height = h;
    f.bitCount = bc;
    const DibPalette palette{v.data() + base + headerSize, int(paletteCount), 4};
    if (!DecodeDib(f, palette, ByteView(v.span().subspan(size_t(bitsStart), size_t(colourBits))), target))
        return false;

    uint8_t* px = target.BitsPointer();
    const size_t pixels = size_t(w) * size_t(h);
    if (bc == 32) {
        // The entry's own alpha, premultiplied; the AND mask is not used.
        const uint8_t* src = v.data() + bitsStart;
        for (size_t i = 0; i < pixels; ++i, px += 4) {
            const uint8_t a = src[i * 4 + 3];
            if (a == 0) {
                std::memset(px, 0, 4);
            } else if (a != 255) {
                for (int c = 0; c < 3; ++c) px[c] = MulDiv255(px[c], a);
            }
            px[3] = a;
        }
        target.SetImageType(cursor ? kTypeCursor32 : kTypeIcon32);
        target.SetAlpha(true);
        return true;
    }
    if (int64_t(e.size) < maskSize) return false;
    const uint8_t* mask = v.data() + end - uint64_t(maskSize);  // the mask ends the entry
    bool anySet = false;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = mask + size_t(y) * size_t(maskRow);
        for (int x = 0; x < w; ++x, px += 4) {
            if (row[x >> 3] & (0x80 >> (x & 7))) {
                std::memset(px, 0, 4);
                anySet = true;
            } else {
                px[3] = 255;
            }
        }
    }
    target.SetImageType(cursor ? kTypeCursorMasked : kTypeIconMasked);
    target.SetAlpha(anySet);
    return true;
}

}  // namespace pressel
