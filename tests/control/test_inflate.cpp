// Our whole-image inflater against zlib's raw inflate, the outcome it must give: hand-made
// streams for each rule of deflate zlib enforces, real zlib output, and damaged copies of it,
// each with room for all it gives, a byte less and some more.
#include <functional>
#include <random>

#include <zlib.h>

#include "modInflate.h"
#include "support.h"
#include "zlib_oracle.h"

using namespace pressel;

namespace {

// Canonical Huffman codes of a set of code lengths, as deflate assigns them.
std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
    int count[16] = {};
    for (int l : lengths) ++count[l];
    count[0] = 0;
    uint32_t next[16] = {}, code = 0;
    for (int bits = 1; bits < 16; ++bits) next[bits] = code = (code + uint32_t(count[bits - 1])) << 1;
    std::vector<uint32_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s]) codes[s] = next[lengths[s]]++;
    return codes;
}

std::vector<int> FixedLitLengths() {
    std::vector<int> l(288, 8);
    std::fill(l.begin() + 144, l.begin() + 256, 9);
    std::fill(l.begin() + 256, l.begin() + 280, 7);
    return l;
}

// A complete code-length code: 13 codes of 4 bits, 6 of 5.
std::vector<int> PlainCodeLengthCode() {
    std::vector<int> l(19, 4);
    std::fill(l.begin() + 13, l.end(), 5);
    return l;
}

// Writes blocks with the codes of the current block.
struct Deflate {
    BitWriter w{false};
    std::vector<int> litLen, distLen;
    std::vector<uint32_t> litCode, distCode;

    Deflate& Fixed(bool last) {
        w.Put(last, 1), w.Put(1, 2);
        Use(FixedLitLengths(), std::vector<int>(32, 5));
        return *this;
    }
    // A dynamic block header; `symbols` replaces the code-length symbols (symbol, extra bits,
    // extra value) that would otherwise spell the lengths one by one.
    Deflate& Dynamic(bool last, const std::vector<int>& lit, const std::vector<int>& dist,
                     const std::vector<int>& codeLenCode = PlainCodeLengthCode(),
                     const std::vector<std::array<int, 3>>& symbols = {}) {
        static constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        w.Put(last, 1), w.Put(2, 2);
        w.Put(uint32_t(lit.size() - 257), 5), w.Put(uint32_t(dist.size() - 1), 5), w.Put(15, 4);
        for (int s : kOrder) w.Put(uint32_t(codeLenCode[size_t(s)]), 3);
        const std::vector<uint32_t> clCodes = CanonicalCodes(codeLenCode);
        std::vector<std::array<int, 3>> spelt = symbols;
        if (spelt.empty()) {
            for (int l : lit) spelt.push_back({l, 0, 0});
            for (int l : dist) spelt.push_back({l, 0, 0});
        }
        for (const auto& [symbol, extraBits, extra] : spelt) {
            w.Code(clCodes[size_t(symbol)], codeLenCode[size_t(symbol)]);
            w.Put(uint32_t(extra), extraBits);
        }
        Use(lit, dist);
        return *this;
    }
    Deflate& Stored(bool last, const Bytes& data, int complementFlip = 0) {
        w.Put(last, 1), w.Put(0, 2), w.Align();
        w.Put(uint32_t(data.size()), 16), w.Put(uint16_t(~data.size()) ^ uint32_t(complementFlip), 16);
        w.out.insert(w.out.end(), data.begin(), data.end());
        return *this;
    }
    Deflate& Sym(int s) {
        w.Code(litCode.at(size_t(s)), litLen.at(size_t(s)));
        return *this;
    }
    Deflate& Text(const std::string& text) {
        for (char c : text) Sym(uint8_t(c));
        return *this;
    }
    Deflate& End() { return Sym(256); }
    // A match, with its symbols found by walking deflate's base tables.
    Deflate& Match(int length, int distance) {
        int sym = 257, base = 3;
        if (length == 258) sym = 285, base = 258;
        while (length >= base + (1 << LengthExtra(sym))) base += 1 << LengthExtra(sym), ++sym;
        Sym(sym), w.Put(uint32_t(length - base), LengthExtra(sym));
        int dsym = 0, dbase = 1;
        while (distance >= dbase + (1 << DistExtra(dsym))) dbase += 1 << DistExtra(dsym), ++dsym;
        return DistSym(dsym, distance - dbase);
    }
    Deflate& DistSym(int dsym, int extra) {
        w.Code(distCode.at(size_t(dsym)), distLen.at(size_t(dsym)));
        w.Put(uint32_t(extra), DistExtra(dsym));
        return *this;
    }
    Bytes Done() {
        w.Align();
        return w.out;
    }
    static int LengthExtra(int sym) { return sym < 265 || sym >= 285 ? 0 : (sym - 261) / 4; }
    static int DistExtra(int dsym) { return dsym < 4 ? 0 : (dsym - 2) / 2; }

private:
    void Use(const std::vector<int>& lit, const std::vector<int>& dist) {
        litLen = lit, distLen = dist;
        litCode = CanonicalCodes(lit), distCode = CanonicalCodes(dist);
    }
};

// Literal/length lengths where the named symbols have the given lengths and the rest none.
std::vector<int> Lengths(size_t n, std::initializer_list<std::pair<int, int>> set) {
    std::vector<int> l(n, 0);
    for (auto [s, len] : set) l[size_t(s)] = len;
    return l;
}

// The 256 bytes, the end of block and length 3 (symbol 257): 254 codes of 8 bits, 4 of 9.
std::vector<int> AllLiterals() {
    std::vector<int> l(258, 8);
    std::fill(l.begin() + 254, l.end(), 9);
    return l;
}

std::vector<int> TwoDistances() { return Lengths(2, {{0, 1}, {1, 1}}); }

Bytes ZlibCompress(const Bytes& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy);
    Bytes out(deflateBound(&z, uLong(data.size())) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Ours against zlib with room for all zlib gives, a byte less, a byte more and some more.
::testing::AssertionResult SameAsZlib(const Bytes& stream) {
    size_t produced = 0;
    ZlibRawInflate(stream.data(), stream.size(), size_t(1) << 20, &produced);
    for (size_t room : {produced, produced ? produced - 1 : 0, produced + 1, produced + 300, size_t(1)}) {
        const auto theirs = ZlibRawInflate(stream.data(), stream.size(), room);
        Bytes ours(room + kInflateSlack, 0xA5);
        const bool ok = InflateRaw(stream.data(), stream.size(), ours.data(), room);
        if (ok != theirs.has_value())
            return ::testing::AssertionFailure() << "room " << room << ": ours " << (ok ? "reads" : "refuses") << " it, zlib "
                                                 << (theirs ? "reads" : "refuses") << " it";
        if (ok && !std::equal(theirs->begin(), theirs->end(), ours.begin()))
            return ::testing::AssertionFailure() << "room " << room << ": other bytes than zlib's";
    }
    return ::testing::AssertionSuccess();
}

struct Case {
    const char* name;
    std::function<Bytes()> stream;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"fixed literals", [] { return Deflate().Fixed(true).Text("hello, png").End().Done(); }},
        {"fixed then stored then empty stored last",
         [] { return Deflate().Fixed(false).Text("ab").End().Stored(false, {1, 2, 3}).Stored(true, {}).Done(); }},
        {"stored block with a bad complement", [] { return Deflate().Stored(true, {1, 2, 3}, 0x100).Done(); }},
        {"stored block longer than the data", [] {
             Bytes s = Deflate().Stored(true, Bytes(40, 7)).Done();
             s.resize(s.size() - 10);
             return s;
         }},
        {"reserved block type", [] {
             Deflate d;
             d.w.Put(1, 1), d.w.Put(3, 2), d.w.Put(0, 13);
             return d.Done();
         }},
        {"dynamic block", [] {
             return Deflate().Dynamic(true, AllLiterals(), Lengths(4, {{0, 2}, {1, 2}, {2, 2}, {3, 2}})).Text("abcabcabc").Match(3, 3).Match(3, 1).End().Done();
         }},
        {"single end-of-block code, its unused codeword read", [] {
             Deflate d;
             d.Dynamic(false, Lengths(257, {{256, 1}}), Lengths(1, {}));
             d.w.Code(1, 1);
             return d.Done();
         }},
        {"single end-of-block code, used as it is", [] {
             return Deflate().Dynamic(false, Lengths(257, {{256, 1}}), Lengths(1, {})).End().Fixed(true).Text("x").End().Done();
         }},
        {"single distance code, its unused codeword read", [] {
             Deflate d;
             d.Dynamic(true, Lengths(258, {{'a', 1}, {256, 2}, {257, 2}}), Lengths(1, {{0, 1}})).Text("aa").Sym(257);
             d.w.Code(1, 1);
             return d.End().Done();
         }},
        {"single distance code, used as it is", [] {
             return Deflate().Dynamic(true, Lengths(258, {{'a', 1}, {256, 2}, {257, 2}}), Lengths(1, {{0, 1}})).Text("a").Match(3, 1).End().Done();
         }},
        {"single distance code of two bits", [] {
             return Deflate().Dynamic(true, Lengths(258, {{'a', 1}, {256, 2}, {257, 2}}), Lengths(1, {{0, 2}})).Text("a").End().Done();
         }},
        {"286 literal/length codes", [] {
             std::vector<int> lit = AllLiterals();
             lit.resize(286, 0);
             return Deflate().Dynamic(true, lit, TwoDistances()).Text("ok").End().Done();
         }},
        {"287 literal/length codes", [] {
             std::vector<int> lit = AllLiterals();
             lit.resize(287, 0);
             return Deflate().Dynamic(true, lit, TwoDistances()).Text("ok").End().Done();
         }},
        {"30 distance codes", [] {
             return Deflate().Dynamic(true, AllLiterals(), Lengths(30, {{0, 1}, {29, 1}})).Text("ab").Match(3, 1).End().Done();
         }},
        {"31 distance codes", [] {
             return Deflate().Dynamic(true, AllLiterals(), Lengths(31, {{0, 1}, {30, 1}})).Text("ab").Match(3, 1).End().Done();
         }},
        {"no distance codes, literals only",
         [] { return Deflate().Dynamic(true, AllLiterals(), Lengths(1, {})).Text("abc").End().Done(); }},
        {"no distance codes, a match", [] {
             Deflate d;
             d.Dynamic(true, AllLiterals(), Lengths(1, {})).Text("abc").Sym(257);
             d.w.Put(0, 8);
             return d.End().Done();
         }},
        {"incomplete literal/length set",
         [] { return Deflate().Dynamic(true, Lengths(257, {{'a', 2}, {'b', 2}, {256, 2}}), TwoDistances()).Text("ab").End().Done(); }},
        {"over-subscribed literal/length set",
         [] { return Deflate().Dynamic(true, Lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), TwoDistances()).Text("ab").End().Done(); }},
        {"over-subscribed distance set",
         [] { return Deflate().Dynamic(true, AllLiterals(), Lengths(3, {{0, 1}, {1, 1}, {2, 1}})).Text("a").End().Done(); }},
        {"incomplete code-length code", [] {
             std::vector<int> cl = PlainCodeLengthCode();
             cl[18] = 0;
             return Deflate().Dynamic(true, AllLiterals(), TwoDistances(), cl).Text("a").End().Done();
         }},
        {"over-subscribed code-length code", [] {
             std::vector<int> cl = PlainCodeLengthCode();
             cl[0] = 3;
             return Deflate().Dynamic(true, AllLiterals(), TwoDistances(), cl).Text("a").End().Done();
         }},
        {"empty code-length code", [] {
             Deflate d;
             d.w.Put(1, 1), d.w.Put(2, 2), d.w.Put(0, 5), d.w.Put(0, 5), d.w.Put(15, 4), d.w.Put(0, 19 * 3);
             for (int i = 0; i < 300; ++i) d.w.Put(0, 1);
             return d.Done();
         }},
        {"empty code-length code after the last byte, data cut short", [] {
             Deflate d;
             d.Fixed(false).Text("z").End();
             d.w.Put(1, 1), d.w.Put(2, 2), d.w.Put(0, 5), d.w.Put(0, 5), d.w.Put(15, 4), d.w.Put(0, 19 * 3);
             return d.Done();
         }},
        {"no end-of-block code", [] {
             std::vector<int> lit = AllLiterals();
             lit[256] = 0, lit[255] = 8;
             return Deflate().Dynamic(true, lit, TwoDistances()).Text("a").Done();
         }},
        {"repeat running past the last length", [] {
             std::vector<std::array<int, 3>> s(256, {8, 0, 0});
             s.push_back({8, 0, 0});
             s.push_back({18, 7, 127});  // 138 zeros where 2 lengths are left
             return Deflate().Dynamic(true, Lengths(257, {}), Lengths(2, {}), PlainCodeLengthCode(), s).Done();
         }},
        {"repeats filling the lengths exactly", [] {
             // Literals 0-14 and the end of block on 4 bits, two distance codes of 1 bit.
             const std::vector<std::array<int, 3>> s = {{4, 0, 0},    {16, 2, 3}, {16, 2, 3}, {4, 0, 0},  {4, 0, 0},
                                                        {18, 7, 127}, {18, 7, 92}, {4, 0, 0},  {1, 0, 0},  {1, 0, 0},
                                                        {17, 3, 7},   {17, 3, 2}};
             std::vector<int> lit(257, 0);
             std::fill(lit.begin(), lit.begin() + 15, 4);
             lit[256] = 4;
             return Deflate().Dynamic(true, lit, Lengths(17, {{0, 1}, {1, 1}}), PlainCodeLengthCode(), s).Text("\1\2\3").End().Done();
         }},
        {"repeat of the previous length first", [] {
             // Read as three zeros, the rest would make complete codes.
             std::vector<std::array<int, 3>> s = {{16, 2, 0}, {7, 0, 0}, {7, 0, 0}};
             std::vector<int> lit(257, 8);
             lit[0] = lit[1] = lit[2] = 0, lit[3] = lit[4] = 7;
             for (int i = 5; i < 257; ++i) s.push_back({8, 0, 0});
             s.push_back({1, 0, 0}), s.push_back({1, 0, 0});
             return Deflate().Dynamic(true, lit, TwoDistances(), PlainCodeLengthCode(), s).Sym(200).End().Done();
         }},
        {"fixed length symbol 286", [] { return Deflate().Fixed(true).Text("abc").Sym(286).End().Done(); }},
        {"fixed length symbol 287", [] { return Deflate().Fixed(true).Text("abc").Sym(287).End().Done(); }},
        {"fixed distance code 29", [] {
             Deflate d;
             d.Fixed(false);
             for (int i = 0; i < 30000; i += 3) d.Text("xyz");
             return d.Sym(257).DistSym(29, 0).End().Fixed(true).End().Done();
         }},
        {"fixed distance code 30", [] { return Deflate().Fixed(true).Text("abc").Sym(257).DistSym(30, 0).End().Done(); }},
        {"fixed distance code 31", [] { return Deflate().Fixed(true).Text("abc").Sym(257).DistSym(31, 0).End().Done(); }},
        {"distance as far back as the output", [] { return Deflate().Fixed(true).Text("abc").Match(5, 3).End().Done(); }},
        {"distance too far back", [] { return Deflate().Fixed(true).Text("abc").Match(5, 4).End().Done(); }},
        {"distance too far back over a stored block", [] {
             return Deflate().Stored(false, Bytes(100, 9)).Fixed(true).Match(3, 100).Match(3, 104).End().Done();
         }},
        {"no last block", [] { return Deflate().Fixed(false).Text("abc").End().Done(); }},
        {"data after the last block", [] {
             Bytes s = Deflate().Fixed(true).Text("abc").End().Done();
             s.insert(s.end(), {0xFF, 0xFF, 0xFF});
             return s;
         }},
        {"overlapping matches of every length at distances 1 to 8", [] {
             Deflate d;
             d.Fixed(true).Text("01234567");
             for (int length = 3; length <= 258; ++length)
                 for (int distance = 1; distance <= 8; ++distance) d.Sym('a' + distance).Match(length, distance);
             return d.End().Done();
         }},
        {"matches at distances 9 to 70", [] {
             Deflate d;
             d.Fixed(true);
             for (int i = 0; i < 80; ++i) d.Sym(i * 7 % 256);
             for (int distance = 9; distance <= 70; ++distance)
                 for (int length : {3, 15, 16, 17, 31, 64, 200, 258}) d.Match(length, distance).Sym(distance);
             return d.End().Done();
         }},
    };
    return cases;
}

TEST(Inflate, HandMadeStreamsGiveZlibsOutcome) {
    for (const Case& c : Cases()) {
        const Bytes stream = c.stream();
        EXPECT_TRUE(SameAsZlib(stream)) << c.name;
        // Cut short anywhere: at the end of the data zlib stops, and what it stops at decides.
        for (size_t cut = 0; cut < stream.size(); cut += 1 + stream.size() / 200)
            EXPECT_TRUE(SameAsZlib(Bytes(stream.begin(), stream.begin() + long(cut)))) << c.name << ", first " << cut << " bytes";
    }
}

// zlib's own output for pictures' kinds of data, whole and with one or more bits flipped.
TEST(Inflate, ZlibOutputAndDamagedCopiesGiveZlibsOutcome) {
    std::mt19937 rng(7);
    std::vector<Bytes> sources;
    Bytes noise(200000), smooth(300000), runs(100000);
    for (auto& b : noise) b = uint8_t(rng());
    for (size_t i = 0; i < smooth.size(); ++i) smooth[i] = uint8_t(i / 3 % 251 + rng() % 4);
    for (size_t i = 0; i < runs.size(); ++i) runs[i] = uint8_t(i / 1000 * 37);
    for (const Bytes* data : {&noise, &smooth, &runs})
        for (int level : {0, 1, 6, 9}) sources.push_back(ZlibCompress(*data, level));
    sources.push_back(ZlibCompress(smooth, 6, Z_HUFFMAN_ONLY));
    sources.push_back(ZlibCompress(smooth, 6, Z_FIXED));
    sources.push_back(ZlibCompress(runs, 9, Z_RLE));
    int refused = 0, read = 0;
    for (const Bytes& source : sources) {
        ASSERT_TRUE(SameAsZlib(source));
        for (int round = 0; round < 40; ++round) {
            Bytes damaged = source;
            // Damage early on, where the most block headers and codes lie ahead of it.
            const size_t at = rng() % std::min<size_t>(damaged.size(), 2000 + size_t(round) * 500);
            damaged[at] ^= uint8_t(1u << (rng() % 8));
            if (round % 4 == 0) damaged[rng() % damaged.size()] = uint8_t(rng());
            ASSERT_TRUE(SameAsZlib(damaged)) << "round " << round;
            ++(ZlibRawInflate(damaged.data(), damaged.size(), size_t(1) << 20) ? read : refused);
        }
    }
    EXPECT_GT(refused, 20);  // both outcomes were met
    EXPECT_GT(read, 20);
}

}  // namespace
