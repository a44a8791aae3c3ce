#include "support.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "png_memory.h"

std::string FixturePath(const std::string& relative) { return std::string(VRN_FIXTURES) + "/images/" + relative; }

Bytes ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    EXPECT_TRUE(f.good()) << "missing fixture " << path;
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

namespace {

void Quiet(png_structp, png_const_charp) {}
[[noreturn]] void Fail(png_structp p, png_const_charp) { png_longjmp(p, 1); }

// Reads `png` with libpng; `expand` unpacks sub-byte samples and keeps the high byte of
// 16-bit ones. Fills rows (one vector per picture row) and the header fields.
bool ReadRows(const Bytes& png, bool expand, bool ignoreAdler, RawPng& raw, png_color_16* key,
              std::vector<png_byte>& trnsAlpha) {
    png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
    png_infop info = png_create_info_struct(p);
    PngMemoryReader reader{&png, 0};
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_read_struct(&p, &info, nullptr);
        return false;
    }
    if (ignoreAdler) png_set_option(p, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_set_read_fn(p, &reader, PngReadFromMemory);
    png_read_info(p, info);
    raw.width = int(png_get_image_width(p, info));
    raw.height = int(png_get_image_height(p, info));
    raw.depth = png_get_bit_depth(p, info);
    raw.colourType = png_get_color_type(p, info);
    raw.interlaced = png_get_interlace_type(p, info) != PNG_INTERLACE_NONE;
    if (expand && raw.depth < 8) png_set_packing(p);
    if (expand && raw.depth == 16) png_set_strip_16(p);
    png_set_interlace_handling(p);
    png_read_update_info(p, info);
    const size_t rowBytes = png_get_rowbytes(p, info);
    raw.rows.assign(size_t(raw.height), Bytes(rowBytes));
    std::vector<png_bytep> pointers;
    for (Bytes& r : raw.rows) pointers.push_back(r.data());
    png_read_image(p, pointers.data());

    png_colorp plte = nullptr;
    int plteCount = 0;
    if (png_get_PLTE(p, info, &plte, &plteCount))
        for (int i = 0; i < plteCount; ++i) raw.palette.insert(raw.palette.end(), {plte[i].red, plte[i].green, plte[i].blue});
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    png_color_16p colour = nullptr;
    if (png_get_tRNS(p, info, &alpha, &alphaCount, &colour)) {
        raw.hasKey = true;
        if (raw.colourType == PNG_COLOR_TYPE_PALETTE) trnsAlpha.assign(alpha, alpha + alphaCount);
        else *key = *colour;
    }
    png_destroy_read_struct(&p, &info, nullptr);
    return true;
}

}  // namespace

bool LibpngDecode(const Bytes& png, Rgba& out, bool ignoreAdler) {
    RawPng raw;
    png_color_16 key{};
    std::vector<png_byte> trnsAlpha;
    if (!ReadRows(png, true, ignoreAdler, raw, &key, trnsAlpha)) return false;
    const int d = raw.depth, ct = raw.colourType;
    // The key bytes our reader compares: the high byte at depth 16, else the low byte.
    auto keyByte = [d](uint16_t v) { return d == 16 ? v >> 8 : v & 0xFF; };
    const int greyScale = d >= 8 ? 1 : 255 / ((1 << d) - 1);
    out.width = raw.width;
    out.height = raw.height;
    out.px.assign(size_t(raw.width) * size_t(raw.height) * 4, 0);
    for (int y = 0; y < raw.height; ++y) {
        const uint8_t* s = raw.rows[size_t(y)].data();
        for (int x = 0; x < raw.width; ++x) {
            uint8_t* o = &out.px[(size_t(y) * size_t(raw.width) + size_t(x)) * 4];
            switch (ct) {
                case PNG_COLOR_TYPE_GRAY:
                    o[0] = o[1] = o[2] = uint8_t(s[x] * greyScale);
                    o[3] = raw.hasKey && s[x] == keyByte(key.gray) ? 0 : 255;
                    break;
                case PNG_COLOR_TYPE_RGB:
                    std::memcpy(o, s + x * 3, 3);
                    o[3] = raw.hasKey && o[0] == keyByte(key.red) && o[1] == keyByte(key.green) &&
                                   o[2] == keyByte(key.blue) ? 0 : 255;
                    break;
                case PNG_COLOR_TYPE_PALETTE:
                    std::memcpy(o, &raw.palette[size_t(s[x]) * 3], 3);
                    o[3] = s[x] < trnsAlpha.size() ? trnsAlpha[s[x]] : 255;
                    break;
                case PNG_COLOR_TYPE_GRAY_ALPHA:
                    o[0] = o[1] = o[2] = s[x * 2];
                    o[3] = s[x * 2 + 1];
                    break;
                default:
                    std::memcpy(o, s + x * 4, 4);
            }
        }
    }
    return true;
}

bool LibpngReadRaw(const Bytes& png, RawPng& out) {
    png_color_16 key{};
    std::vector<png_byte> alpha;
    if (!ReadRows(png, false, false, out, &key, alpha)) return false;
    out.trnsAlpha.assign(alpha.begin(), alpha.end());
    out.keyGrey = key.gray;
    out.keyR = key.red;
    out.keyG = key.green;
    out.keyB = key.blue;
    return true;
}

Bytes LibpngEncode(const RawPng& raw) {
    Bytes out;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
    png_infop info = png_create_info_struct(p);
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_write_struct(&p, &info);
        ADD_FAILURE() << "libpng could not encode the test picture";
        return {};
    }
    png_set_write_fn(p, &out, PngWriteToMemory, nullptr);
    png_set_IHDR(p, info, png_uint_32(raw.width), png_uint_32(raw.height), raw.depth, raw.colourType,
                 raw.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> plte;
    for (size_t i = 0; i + 2 < raw.palette.size(); i += 3)
        plte.push_back({raw.palette[i], raw.palette[i + 1], raw.palette[i + 2]});
    if (!plte.empty()) png_set_PLTE(p, info, plte.data(), int(plte.size()));
    if (raw.colourType == PNG_COLOR_TYPE_PALETTE && !raw.trnsAlpha.empty()) {
        png_set_tRNS(p, info, raw.trnsAlpha.data(), int(raw.trnsAlpha.size()), nullptr);
    } else if (raw.hasKey && raw.colourType != PNG_COLOR_TYPE_PALETTE) {
        png_color_16 key{0, raw.keyR, raw.keyG, raw.keyB, raw.keyGrey};
        png_set_tRNS(p, info, nullptr, 0, &key);
    }
    if (raw.filter >= 0) png_set_filter(p, PNG_FILTER_TYPE_BASE, raw.filter);
    png_set_compression_level(p, 1);  // test pictures: speed over size
    if (raw.idatSize) png_set_compression_buffer_size(p, raw.idatSize);
    png_write_info(p, info);
    std::vector<png_bytep> pointers;
    for (const Bytes& r : raw.rows) pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(p, pointers.data());
    png_write_end(p, info);
    png_destroy_write_struct(&p, &info);
    return out;
}

Rgba ReadPam(const std::string& path) {
    const Bytes b = ReadBytes(path);
    const std::string text(b.begin(), b.end());
    const size_t end = text.find("ENDHDR\n");
    Rgba out;
    if (end == std::string::npos) {
        ADD_FAILURE() << path << " is not a PAM";
        return out;
    }
    std::istringstream header(text.substr(0, end));
    std::string key;
    int depth = 0, maxval = 255;
    while (header >> key) {
        if (key == "WIDTH") header >> out.width;
        else if (key == "HEIGHT") header >> out.height;
        else if (key == "DEPTH") header >> depth;
        else if (key == "MAXVAL") header >> maxval;
    }
    const size_t sampleBytes = maxval > 255 ? 2 : 1;
    const uint8_t* s = b.data() + end + 7;
    const size_t pixels = size_t(out.width) * size_t(out.height);
    if (b.size() < end + 7 + pixels * size_t(depth) * sampleBytes) {
        ADD_FAILURE() << path << " is truncated";
        return out;
    }
    out.px.resize(pixels * 4);
    for (size_t i = 0; i < pixels; ++i) {
        uint8_t v[4];
        for (int c = 0; c < depth && c < 4; ++c) {
            const uint8_t* at = s + (i * size_t(depth) + size_t(c)) * sampleBytes;
            const int sample = sampleBytes == 2 ? at[0] << 8 | at[1] : at[0];
            v[c] = uint8_t((sample * 255 + maxval / 2) / maxval);
        }
        const bool grey = depth <= 2, withAlpha = depth == 2 || depth == 4;
        uint8_t* o = &out.px[i * 4];
        o[0] = v[0];
        o[1] = grey ? v[0] : v[1];
        o[2] = grey ? v[0] : v[2];
        o[3] = withAlpha ? v[depth - 1] : 255;
    }
    return out;
}

::testing::AssertionResult SamePixels(const pressel::cImage32& ours, const Rgba& ref, int tolerance) {
    if (ours.Width() != ref.width || ours.Height() != ref.height)
        return ::testing::AssertionFailure() << "size " << ours.Width() << "x" << ours.Height() << ", expected "
                                             << ref.width << "x" << ref.height;
    int wrong = 0;
    std::ostringstream first;
    for (int y = 0; y < ref.height; ++y) {
        for (int x = 0; x < ref.width; ++x) {
            const uint8_t* o = ours.TopRow(y) + x * 4;
            const uint8_t* r = ref.At(x, y);
            const int a = r[3];
            int expected[4] = {r[2], r[1], r[0], a};
            int channels = 3, t = tolerance;
            if (ours.Alpha()) {
                for (int c = 0; c < 3; ++c) expected[c] = expected[c] * a / 255;
                channels = 4;
                if (a > 0 && a < 255) t = std::max(t, 1);
            }
            for (int c = 0; c < channels; ++c) {
                if (std::abs(o[c] - expected[c]) > t) {
                    if (wrong++ == 0)
                        first << "first at (" << x << "," << y << "): BGRA " << int(o[0]) << "," << int(o[1]) << ","
                              << int(o[2]) << "," << int(o[3]) << " expected " << expected[0] << "," << expected[1]
                              << "," << expected[2] << "," << expected[3];
                    break;
                }
            }
        }
    }
    if (wrong) return ::testing::AssertionFailure() << wrong << " pixels differ; " << first.str();
    return ::testing::AssertionSuccess();
}

Bytes Zlib(const Bytes& raw) {
    uLongf n = compressBound(uLong(raw.size()));
    Bytes out(n);
    compress2(out.data(), &n, raw.data(), uLong(raw.size()), 9);
    out.resize(n);
    return out;
}

PngBuilder& PngBuilder::Chunk(const char* type, const Bytes& data, const uint32_t* crc) {
    auto be32 = [this](uint32_t v) {
        for (int i = 3; i >= 0; --i) bytes.push_back(uint8_t(v >> (8 * i)));
    };
    be32(uint32_t(data.size()));
    const size_t start = bytes.size();
    bytes.insert(bytes.end(), type, type + 4);
    bytes.insert(bytes.end(), data.begin(), data.end());
    be32(crc ? *crc : uint32_t(crc32(0, bytes.data() + start, uInt(data.size() + 4))));
    return *this;
}

PngBuilder& PngBuilder::Ihdr(uint32_t w, uint32_t h, int depth, int colourType, int interlace) {
    Bytes d;
    for (uint32_t v : {w, h})
        for (int i = 3; i >= 0; --i) d.push_back(uint8_t(v >> (8 * i)));
    d.insert(d.end(), {uint8_t(depth), uint8_t(colourType), 0, 0, uint8_t(interlace)});
    return Chunk("IHDR", d);
}

PngBuilder& PngBuilder::Idat(const Bytes& filteredRows) { return Chunk("IDAT", Zlib(filteredRows)); }

void RepairCrcs(Bytes& png) {
    for (size_t pos = 8; pos + 12 <= png.size();) {
        const uint32_t len = uint32_t(png[pos]) << 24 | uint32_t(png[pos + 1]) << 16 | uint32_t(png[pos + 2]) << 8 | png[pos + 3];
        if (len > png.size() - pos - 12) break;
        const uint32_t crc = uint32_t(crc32(0, &png[pos + 4], len + 4));
        for (int i = 0; i < 4; ++i) png[pos + 8 + len + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
        pos += 12 + len;
    }
}

namespace {
int64_t StatusBytes(const char* field) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(field, 0) == 0) return std::atoll(line.c_str() + std::strlen(field)) * 1024;
    return -1;
}
}  // namespace

int64_t PeakGrowth(const std::function<void()>& work) {
    {
        std::ofstream reset("/proc/self/clear_refs");  // restarts the peak from the present level
        if (!(reset << "5" << std::flush)) return -1;
    }
    const int64_t before = StatusBytes("VmRSS:");
    work();
    const int64_t peak = StatusBytes("VmHWM:");
    return before < 0 || peak < 0 ? -1 : peak - before;
}

int RunWithinMemory(uint64_t extraBytes, const std::function<bool()>& work) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int64_t size = StatusBytes("VmSize:");
        const rlimit limit{rlim_t(size + int64_t(extraBytes)), rlim_t(size + int64_t(extraBytes))};
        if (size < 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        try {
            _exit(work() ? 0 : 1);
        } catch (const std::bad_alloc&) {
            _exit(2);
        }
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return 3;
    return WIFEXITED(status) && WEXITSTATUS(status) <= 2 ? WEXITSTATUS(status) : 3;
}

bool LoadBytes(pressel::cImage32& image, const Bytes& bytes, int iconW, int iconH) {
    return image.LoadPicture_Stream(bytes, iconW, iconH);
}
