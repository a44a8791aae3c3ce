#include "modInflate.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pressel {

namespace {

// ---- decode table entries ----
// One 32-bit entry per table slot. A literal (bit 31):
//   bits 0-7    bits to drop: its code, or the codes of both literals of a pair
//   bits 8-15   the second literal of a pair (else 0)
//   bits 16-23  the literal
//   bits 24-27  a pair: the first literal's code length
//   bit 30      a pair: two literals whose codes fit in the root bits together
// Any other entry:
//   bits 0-7    bits to drop for this entry: its code and extra bits (a link: the root bits)
//   bits 8-11   extra bits after the code (length or distance); a link: its subtable's index bits
//   bit 12      link to a subtable for codes longer than the root
//   bit 13      end of block
//   bit 14      a codeword no symbol may use: zlib refuses it
//   bits 16-30  base length, base distance, code-length symbol or subtable start
constexpr uint32_t kLink = 1u << 12, kEnd = 1u << 13, kBad = 1u << 14, kPair = 1u << 30, kLiteral = 1u << 31;

inline bool IsLiteral(uint32_t e) { return int32_t(e) < 0; }
constexpr uint32_t Entry(uint32_t value, uint32_t extra = 0, uint32_t flags = 0) {
    return value << 16 | extra << 8 | flags;
}
inline uint32_t ValueOf(uint32_t e) { return (e >> 16) & 0x7FFF; }
inline uint32_t ExtraOf(uint32_t e) { return (e >> 8) & 15; }
// The extra bits of a length or distance entry, from the bits as they were before its code.
inline size_t ExtraValue(uint64_t bits, uint32_t e) {
    const unsigned extra = ExtraOf(e);
    return size_t(bits >> ((e & 0xFF) - extra) & ((uint64_t(1) << extra) - 1));
}

constexpr unsigned kLitRoot = 10, kDistRoot = 8, kCodeLenRoot = 7, kMaxCodeLength = 15;
constexpr unsigned kLongestEntry = kMaxCodeLength + 13;  // a code and its extra bits
// Bounds on a table with its subtables: a subtable of 2^k slots serves at least k + 1 codes of
// a complete code, so 288 symbols need at most 288 / 6 * 32 slots beyond a 10-bit root, 30 at
// most 30 / 8 * 128 beyond an 8-bit root.
constexpr size_t kLitCapacity = (size_t(1) << kLitRoot) + 1536, kDistCapacity = (size_t(1) << kDistRoot) + 480;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLenOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// What each symbol decodes to. Literal/length symbols 286 and 287 and distances 30 and 31 have
// codewords in fixed blocks but no meaning: zlib refuses them.
struct Templates {
    std::array<uint32_t, 288> lit{};
    std::array<uint32_t, 32> dist{};
    std::array<uint32_t, 19> codeLen{};
    Templates() {
        for (uint32_t s = 0; s < 256; ++s) lit[s] = Entry(s, 0, kLiteral);
        lit[256] = kEnd;
        for (uint32_t s = 0; s < 29; ++s) lit[257 + s] = Entry(kLengthBase[s], kLengthExtra[s]);
        lit[286] = lit[287] = kBad;
        for (uint32_t s = 0; s < 30; ++s) dist[s] = Entry(kDistBase[s], kDistExtra[s]);
        dist[30] = dist[31] = kBad;
        for (uint32_t s = 0; s < 19; ++s) codeLen[s] = Entry(s);
    }
};
const Templates kTemplates;

uint32_t Reverse(uint32_t code, unsigned length) {
    uint32_t r = 0;
    for (unsigned i = 0; i < length; ++i, code >>= 1) r = r << 1 | (code & 1);
    return r;
}

enum class Incomplete { kRefused, kSingleCode };

// Builds the decode table of a canonical code from its code lengths, with zlib's rules: an
// over-subscribed set is refused; an incomplete one too, except (when `incomplete` allows it)
// a single code of one bit, whose unused codeword is then refused when it is read. An empty
// set fills the table with `empty`, which takes one bit as zlib's does.
bool BuildTable(uint32_t* table, size_t capacity, unsigned root, const uint8_t* lengths, unsigned n,
                const uint32_t* templates, Incomplete incomplete, uint32_t empty) {
    unsigned count[kMaxCodeLength + 1] = {};
    for (unsigned s = 0; s < n; ++s) ++count[lengths[s]];
    count[0] = 0;
    unsigned longest = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len)
        if (count[len]) longest = len;
    const size_t rootSize = size_t(1) << root;
    if (longest == 0) {
        std::fill(table, table + rootSize, empty | 1);
        return true;
    }
    int left = 1;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        left = left * 2 - int(count[len]);
        if (left < 0) return false;  // over-subscribed
    }
    if (left > 0) {
        if (incomplete == Incomplete::kRefused || longest != 1) return false;
        std::fill(table, table + rootSize, kBad | 1);
    }

    // Symbols in canonical order (by length, then symbol), with their codes.
    unsigned offset[kMaxCodeLength + 1] = {}, total = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        offset[len] = total;
        total += count[len];
    }
    uint16_t sorted[288];
    for (unsigned s = 0; s < n; ++s)
        if (lengths[s]) sorted[offset[lengths[s]]++] = uint16_t(s);
    uint32_t codes[288];
    for (uint32_t i = 0, code = 0, previous = lengths[sorted[0]]; i < total; ++i, ++code) {
        const unsigned len = lengths[sorted[i]];
        code <<= len - previous;
        previous = len;
        codes[i] = code;
    }

    size_t used = rootSize;
    uint32_t subPrefix = UINT32_MAX, subStart = 0;
    unsigned subBits = 0;
    for (unsigned i = 0; i < total; ++i) {
        const unsigned s = sorted[i], len = lengths[s];
        const uint32_t reversed = Reverse(codes[i], len);
        if (len <= root) {
            const uint32_t e = templates[s] | (len + ExtraOf(templates[s]));
            for (size_t k = reversed; k < rootSize; k += size_t(1) << len) table[k] = e;
            continue;
        }
        const uint32_t prefix = codes[i] >> (len - root);  // the first root bits, as sent
        if (prefix != subPrefix) {
            // The codes under this prefix follow one another, the longest last.
            unsigned last = i;
            while (last + 1 < total && codes[last + 1] >> (lengths[sorted[last + 1]] - root) == prefix) ++last;
            subBits = lengths[sorted[last]] - root;
            subPrefix = prefix;
            subStart = uint32_t(used);
            used += size_t(1) << subBits;
            if (used > capacity) return false;  // cannot happen for a code that passed the checks above
            table[reversed & (rootSize - 1)] = Entry(subStart, subBits, kLink) | root;
        }
        const uint32_t e = templates[s] | (len - root + ExtraOf(templates[s]));
        for (size_t k = reversed >> root; k < (size_t(1) << subBits); k += size_t(1) << (len - root))
            table[subStart + k] = e;
    }
    return true;
}

// Joins literals in the root table: where a literal's code leaves room in the root bits for
// the whole code of another literal, the slot gives both, halving the lookups of literal runs.
// From the last slot down, so that every slot read is still a single symbol.
void PairLiterals(uint32_t* table, unsigned root) {
    for (size_t i = size_t(1) << root; i-- > 0;) {
        const uint32_t first = table[i];
        if (!IsLiteral(first)) continue;
        const unsigned len1 = first & 0xFF;
        const uint32_t second = table[i >> len1];
        if (!IsLiteral(second) || len1 + (second & 0xFF) > root) continue;
        table[i] = (first & 0x00FF0000u) | kLiteral | kPair | len1 << 24 | (second >> 8 & 0xFF00) | (len1 + (second & 0xFF));
    }
}

struct FixedTables {
    uint32_t lit[kLitCapacity];
    uint32_t dist[kDistCapacity];
    FixedTables() {
        uint8_t lengths[288];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        BuildTable(lit, kLitCapacity, kLitRoot, lengths, 288, kTemplates.lit.data(), Incomplete::kRefused, kBad);
        PairLiterals(lit, kLitRoot);
        std::fill(lengths, lengths + 32, 5);
        BuildTable(dist, kDistCapacity, kDistRoot, lengths, 32, kTemplates.dist.data(), Incomplete::kRefused, kBad);
    }
};

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// Copies a match of `length` bytes from `distance` back, a word at a time: it may write up to
// 15 bytes past the match, which later output or the slack takes.
inline void CopyMatch(uint8_t* out, size_t distance, size_t length) {
    const uint8_t* src = out - distance;
    uint8_t* const end = out + length;
    if (distance >= 8) {
        // Most matches are short: two words without a loop.
        Store64(out, Load64(src));
        Store64(out + 8, Load64(src + 8));
        if (length <= 16) return;
        out += 16;
        src += 16;
#if defined(__SSE2__)
        if (distance >= 16) {
            do {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
                out += 16;
                src += 16;
            } while (out < end);
            return;
        }
#endif
        do {
            Store64(out, Load64(src));
            out += 8;
            src += 8;
        } while (out < end);
        return;
    }
    // A period of 1 to 7 bytes: spread over a word in a register, then stored every whole
    // number of periods, with no loads of bytes just written.
    uint64_t v = Load64(src) & ((uint64_t(1) << (8 * distance)) - 1);
    for (size_t have = distance; have < 8; have *= 2) v |= v << (8 * have);
    static constexpr uint8_t kStep[8] = {0, 8, 8, 6, 8, 5, 6, 7};
    for (const size_t step = kStep[distance]; out < end; out += step) Store64(out, v);
}

enum class Step { kMore, kBlockDone, kDone, kRefused };

class Inflater {
public:
    Inflater(const uint8_t* in, size_t inSize, uint8_t* out, size_t room)
        : in_(in), inEnd_(in + inSize), begin_(out), out_(out), end_(out + room) {}

    bool Run() {
        static const FixedTables fixed;
        for (;;) {
            // Block header. After the room is full zlib still reads on until it must write a
            // byte, and refuses what it meets on the way; running out of data there is no fault.
            Ensure(3);
            const uint32_t header = uint32_t(bits_ & 7);
            Drop(3);
            if (Overrun()) return Full();
            Step step = Step::kRefused;
            switch (header >> 1) {
                case 0: step = Stored(); break;
                case 1: step = Codes(fixed.lit, fixed.dist); break;
                case 2: step = Dynamic(); break;
                default: return false;
            }
            if (step == Step::kRefused) return false;
            if (step == Step::kDone) return true;
            if (header & 1) return true;  // the last block ended: the stream ends here
        }
    }
    uint8_t* Out() const { return out_; }

private:
    // ---- bits, least significant first ----
    // Past the end of the data the buffer takes zero bytes, counted in `phantom_`, so that
    // reading can run ahead; consuming any of them means the data ran out.
    void Ensure(unsigned n) {
        while (count_ < n) {
            if (in_ < inEnd_) bits_ |= uint64_t(*in_++) << count_;
            else phantom_ += 8;
            count_ += 8;
        }
    }
    void Drop(unsigned n) {
        bits_ >>= n;
        count_ -= n;
    }
    uint32_t Take(unsigned n) {
        Ensure(n);
        const uint32_t v = uint32_t(bits_ & ((uint64_t(1) << n) - 1));
        Drop(n);
        return v;
    }
    bool Overrun() const { return phantom_ > count_; }
    // At least 56 bits; only with 8 bytes of data left. Bits above the count repeat the bytes
    // still to come, so loading them again changes nothing.
    void Refill() {
        bits_ |= Load64(in_) << count_;
        in_ += (63 - count_) >> 3;
        count_ |= 56;
    }
    // The entry of the next code; drops a link's root bits but not the code's own.
    uint32_t Lookup(const uint32_t* table, unsigned root) {
        uint32_t e = table[bits_ & ((uint64_t(1) << root) - 1)];
        if (!IsLiteral(e) && (e & kLink)) {
            Drop(root);
            e = table[ValueOf(e) + (bits_ & ((uint64_t(1) << ExtraOf(e)) - 1))];
        }
        return e;
    }
    // Where zlib stops for want of data: done if the room is full, else refused.
    bool Full() const { return out_ == end_; }
    Step FullOrRefused() const { return Full() ? Step::kDone : Step::kRefused; }

    // ---- blocks ----
    Step Stored() {
        Drop(count_ & 7);  // to a byte boundary
        const size_t length = Take(16);
        const size_t complement = Take(16);
        if (Overrun()) return FullOrRefused();
        if (length != (~complement & 0xFFFF)) return Step::kRefused;
        // The whole bytes still in the bit buffer go back to the data.
        in_ -= (count_ - phantom_) / 8;
        bits_ = 0;
        count_ = phantom_ = 0;
        if (length == 0) return Step::kBlockDone;
        if (Full()) return Step::kDone;
        const size_t n = std::min({length, size_t(inEnd_ - in_), size_t(end_ - out_)});
        std::memcpy(out_, in_, n);
        in_ += n;
        out_ += n;
        if (n == length) return Step::kBlockDone;
        return FullOrRefused();
    }

    Step Dynamic() {
        const uint32_t counts = Take(14);
        if (Overrun()) return FullOrRefused();
        const unsigned nLit = 257 + (counts & 31), nDist = 1 + (counts >> 5 & 31), nCodeLen = 4 + (counts >> 10);
        if (nLit > 286 || nDist > 30) return Step::kRefused;

        uint8_t codeLenLengths[19] = {};
        for (unsigned i = 0; i < nCodeLen; ++i) {
            codeLenLengths[kCodeLenOrder[i]] = uint8_t(Take(3));
            if (Overrun()) return FullOrRefused();
        }
        uint32_t codeLenTable[size_t(1) << kCodeLenRoot];
        // An empty set reads every length as 0, a bit each, as zlib's does.
        if (!BuildTable(codeLenTable, sizeof codeLenTable / 4, kCodeLenRoot, codeLenLengths, 19,
                        kTemplates.codeLen.data(), Incomplete::kRefused, Entry(0)))
            return Step::kRefused;

        uint8_t lengths[286 + 30];
        const unsigned total = nLit + nDist;
        for (unsigned have = 0; have < total;) {
            Ensure(kMaxCodeLength);
            const uint32_t e = Lookup(codeLenTable, kCodeLenRoot);
            Drop(e & 0xFF);
            if (Overrun()) return FullOrRefused();
            const unsigned symbol = ValueOf(e);
            if (symbol < 16) {
                lengths[have++] = uint8_t(symbol);
                continue;
            }
            unsigned repeat, value = 0;
            if (symbol == 16) {
                repeat = 3 + Take(2);
                if (Overrun()) return FullOrRefused();
                if (have == 0) return Step::kRefused;
                value = lengths[have - 1];
            } else {
                repeat = symbol == 17 ? 3 + Take(3) : 11 + Take(7);
                if (Overrun()) return FullOrRefused();
            }
            if (repeat > total - have) return Step::kRefused;
            std::memset(lengths + have, int(value), repeat);
            have += repeat;
        }
        if (lengths[256] == 0) return Step::kRefused;  // no end-of-block code
        if (!BuildTable(lit_, kLitCapacity, kLitRoot, lengths, nLit, kTemplates.lit.data(), Incomplete::kSingleCode, kBad) ||
            !BuildTable(dist_, kDistCapacity, kDistRoot, lengths + nLit, nDist, kTemplates.dist.data(),
                        Incomplete::kSingleCode, kBad))
            return Step::kRefused;
        PairLiterals(lit_, kLitRoot);
        return Codes(lit_, dist_);
    }

    Step Codes(const uint32_t* lit, const uint32_t* dist) {
        for (;;) {
            const Step fast = Fast(lit, dist);
            if (fast != Step::kMore) return fast;
            const Step one = Symbol(lit, dist);
            if (one != Step::kMore) return one;
        }
    }

    // Symbols while at least 16 bytes of data and 262 bytes of room are left, so that nothing
    // runs out: two refills, four literals and a longest match. kMore hands over to Symbol.
    // The state lives in locals: stores through the output pointer could alias the members.
    Step Fast(const uint32_t* lit, const uint32_t* dist) {
        constexpr uint64_t kLitMask = (uint64_t(1) << kLitRoot) - 1, kDistMask = (uint64_t(1) << kDistRoot) - 1;
        const uint8_t* in = in_;
        const uint8_t* const inEnd = inEnd_;
        uint8_t* out = out_;
        uint8_t* const end = end_;
        uint8_t* const begin = begin_;
        uint64_t bits = bits_;
        unsigned count = count_;
        Step result = Step::kMore;
        auto refill = [&] {
            bits |= Load64(in) << count;
            in += (63 - count) >> 3;
            count |= 56;
        };
        auto drop = [&](unsigned n) {
            bits >>= n;
            count -= n;
        };
        auto field = [&](unsigned n) { return size_t(bits & ((uint64_t(1) << n) - 1)); };
        while (inEnd - in >= 16 && end - out >= 262) {
            refill();
            uint32_t e = lit[bits & kLitMask];
            if (IsLiteral(e)) {
                // One or two literals: both bytes are stored, the pointer moves past those given.
                drop(e & 0xFF);
                Store16(out, uint16_t((e >> 16 & 0xFF) | (e & 0xFF00)));
                out += 1 + (e >> 30 & 1);
                e = lit[bits & kLitMask];
                if (IsLiteral(e)) {
                    drop(e & 0xFF);
                    Store16(out, uint16_t((e >> 16 & 0xFF) | (e & 0xFF00)));
                    out += 1 + (e >> 30 & 1);
                    continue;
                }
                refill();
            }
            if (e & kLink) {
                drop(kLitRoot);
                e = lit[ValueOf(e) + field(ExtraOf(e))];
                if (IsLiteral(e)) {
                    drop(e & 0xFF);
                    *out++ = uint8_t(e >> 16);
                    continue;
                }
            }
            // A code and its extra bits go in one step; the extra bits come from the copy.
            const uint64_t lengthBits = bits;
            drop(e & 0xFF);
            if (e & (kEnd | kBad)) {
                result = e & kBad ? Step::kRefused : Step::kBlockDone;
                break;
            }
            const size_t length = ValueOf(e) + ExtraValue(lengthBits, e);
            uint32_t d = dist[bits & kDistMask];
            if (d & kLink) {
                drop(kDistRoot);
                d = dist[ValueOf(d) + field(ExtraOf(d))];
            }
            const uint64_t distanceBits = bits;
            drop(d & 0xFF);
            const size_t distance = ValueOf(d) + ExtraValue(distanceBits, d);
            if ((d & kBad) || distance > size_t(out - begin)) {  // no such distance, or too far back
                result = Step::kRefused;
                break;
            }
            CopyMatch(out, distance, length);
            out += length;
        }
        in_ = in;
        out_ = out;
        bits_ = bits;
        count_ = count;
        return result;
    }

    // One symbol near the end of the data or of the room, in zlib's steps: each step takes
    // all its bits before anything is checked, and with the room full zlib stops at the first
    // byte it would write.
    Step Symbol(const uint32_t* lit, const uint32_t* dist) {
        Ensure(kLongestEntry);
        const uint32_t e = Lookup(lit, kLitRoot);
        const uint64_t lengthBits = bits_;
        Drop((e & kPair) && IsLiteral(e) ? e >> 24 & 15 : e & 0xFF);  // one symbol at a time here
        if (Overrun()) return FullOrRefused();
        if (IsLiteral(e)) {
            if (Full()) return Step::kDone;
            *out_++ = uint8_t(e >> 16);
            return Step::kMore;
        }
        if (e & kBad) return Step::kRefused;
        if (e & kEnd) return Step::kBlockDone;
        const size_t length = ValueOf(e) + ExtraValue(lengthBits, e);
        Ensure(kLongestEntry);
        const uint32_t d = Lookup(dist, kDistRoot);
        const uint64_t distanceBits = bits_;
        Drop(d & 0xFF);
        if (Overrun()) return FullOrRefused();
        if (d & kBad) return Step::kRefused;
        const size_t distance = ValueOf(d) + ExtraValue(distanceBits, d);
        if (Overrun() || Full()) return FullOrRefused();
        if (distance > size_t(out_ - begin_)) return Step::kRefused;
        const size_t n = std::min(length, size_t(end_ - out_));
        for (size_t i = 0; i < n; ++i, ++out_) *out_ = out_[-std::ptrdiff_t(distance)];
        return n == length ? Step::kMore : Step::kDone;  // a match cut by the full room ends it
    }

    const uint8_t* in_;
    const uint8_t* const inEnd_;
    uint8_t* const begin_;
    uint8_t* out_;
    uint8_t* const end_;
    uint64_t bits_ = 0;
    unsigned count_ = 0, phantom_ = 0;
    uint32_t lit_[kLitCapacity];
    uint32_t dist_[kDistCapacity];
};

}  // namespace

bool InflateRaw(const uint8_t* in, size_t inSize, uint8_t* out, size_t room) {
    if (room == 0) return true;  // zlib is not even asked
    Inflater inflater(in, inSize, out, room);
    if (!inflater.Run()) return false;
    std::memset(inflater.Out(), 0, size_t(out + room - inflater.Out()));
    return true;
}

}  // namespace pressel
