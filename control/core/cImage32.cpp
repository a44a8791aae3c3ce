#include "cImage32.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "cBMPparser.h"
#include "cGIFparser.h"
#include "cICOparser.h"
#include "cPNGparser.h"
#include "modParsers.h"

namespace pressel {

// The sanitizers watch only what malloc hands out.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(PRESSEL_FUZZ_BUILD)
#define PRESSEL_MAP_PIXELS 1
#endif

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
// From this size on malloc maps fresh pages for every block anyway (glibc's largest threshold),
// so an image loses nothing by being mapped here in huge pages instead.
constexpr size_t kMapImages = size_t(32) << 20;
constexpr size_t kPage = 4096;

#if defined(PRESSEL_MAP_PIXELS)
// `length` bytes (a multiple of the page) aligned to a huge page and marked for huge pages:
// map one huge page more, then give back the ends.
void* MapHuge(size_t length) {
    const size_t mapped = length + kHugePage;
    void* m = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(m);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    if (aligned > start) munmap(m, aligned - start);
    if (const size_t tail = start + mapped - (aligned + length); tail) munmap(reinterpret_cast<void*>(aligned + length), tail);
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}
#endif
size_t PageRound(size_t n) { return (n + kPage - 1) & ~(kPage - 1); }
}  // namespace

void* AllocatePixelMemory(size_t bytes) {
#if defined(PRESSEL_MAP_PIXELS)
    if (bytes >= kMapImages) {
        if (void* p = MapHuge(PageRound(bytes))) return p;
        throw std::bad_alloc();
    }
#endif
    // calloc skips the clearing where the memory comes fresh from the system.
    void* p = std::calloc(bytes ? bytes : 1, 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void FreePixelMemory(void* p, size_t bytes) {
#if defined(PRESSEL_MAP_PIXELS)
    if (p && bytes >= kMapImages) {
        munmap(p, PageRound(bytes));
        return;
    }
#endif
    (void)bytes;
    std::free(p);
}

ScratchBuffer::ScratchBuffer(size_t bytes) {
#if defined(PRESSEL_MAP_PIXELS)
    if (bytes >= kHugePage / 2) {
        // Scratch lives briefly: whole huge pages, the last one too.
        const size_t length = (bytes + kHugePage - 1) & ~(kHugePage - 1);
        p_ = static_cast<uint8_t*>(MapHuge(length));
        if (p_) mapped_ = length;
        return;
    }
#endif
    p_ = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
}

ScratchBuffer::~ScratchBuffer() {
#if defined(PRESSEL_MAP_PIXELS)
    if (mapped_) {
        munmap(p_, mapped_);
        return;
    }
#endif
    std::free(p_);
}

namespace {

// Data this short is no picture the loader would take.
constexpr int64_t kMinPictureBytes = 57;

inline uint32_t Div255Round(uint32_t x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

void PutLe16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

void cImage32::SetPictureLoader(PictureLoader loader) { SetPictureLoaderHook(std::move(loader)); }

bool cImage32::LoadPicture_File(const std::string& fileName, int iconWidth, int iconHeight,
                                bool keepSource) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes) || int64_t(bytes.size()) < kMinPictureBytes) return false;
    return Load(bytes, bytes, iconWidth, iconHeight, keepSource);
}

bool cImage32::LoadPicture_Stream(std::span<const uint8_t> bytes, int iconWidth, int iconHeight,
                                  int64_t start, int64_t length, bool keepSource) {
    if (bytes.empty()) return false;
    const int64_t size = int64_t(bytes.size());
    start = std::max<int64_t>(start, 0);
    if (start >= size) return false;
    if (length == 0) length = size - start;
    if (length < kMinPictureBytes || length > size - start) return false;
    return Load(bytes.subspan(size_t(start), size_t(length)), bytes, iconWidth, iconHeight, keepSource);
}

bool cImage32::Load(std::span<const uint8_t> data, std::span<const uint8_t> whole, int iconWidth,
                    int iconHeight, bool keepSource) {
    DestroyDIB();
    report_ = {};
    iconWidth = std::max(iconWidth, 0);
    iconHeight = std::max(iconHeight, 0);
    // Readers in a fixed order; the first that takes the data decides, image or not.
    if (cPNGparser png; png.LoadStream(data, *this, 0, data.size())) {
        report_ = {"PNG", png.Why()};
    } else if (cGIFparser gif; gif.LoadStream(data, *this, 0, data.size())) {
        report_ = {"GIF", gif.Why()};
    } else if (cICOparser ico; ico.LoadStream(data, iconWidth, iconHeight, *this, 0, data.size())) {
        report_ = {"ICO", ico.Why()};
    } else if (cBMPparser bmp; bmp.LoadStream(data, *this, 0, data.size())) {
        report_ = {"BMP", bmp.Why()};
    } else {
        report_ = {"", "no reader takes this data"};
        DestroyDIB();
    }
    if (!HasImage()) {
        if (!*report_.reason) report_.reason = "the reader made no image";
        return false;
    }
    report_.reason = "";
    if (keepSource) SetSourceBytes(whole);
    return true;
}

bool cImage32::InitializeDIB(int width, int height) {
    DestroyDIB();
    if (width < 1 || height == 0 || height == INT32_MIN) return false;
    height = std::abs(height);
    if (int64_t(width) * height > kMaxPixels) return false;
    bits_.resize(size_t(width) * size_t(height) * 4);  // zero, as the memory comes
    width_ = width;
    height_ = height;
    return true;
}

void cImage32::DestroyDIB() {
    bits_.clear();
    bits_.shrink_to_fit();
    source_.clear();
    width_ = height_ = 0;
    alpha_ = false;
    imageType_ = kTypeNone;
}

bool cImage32::Render(const BgraSurface& target, int x, int y, int width, int height,
                      int opacity) const {
    if (!HasImage() || !target.bits) return false;
    if (opacity == 0) return true;
    const int64_t percent = std::llabs(int64_t(opacity)) % 100;
    // Constant alpha = percent / 100 * 255, halves to even (70 -> 178, 30 -> 76).
    const int64_t num = (percent == 0 ? 100 : percent) * 255;
    int64_t k = num / 100;
    const int64_t rem = num % 100;
    if (rem > 50 || (rem == 50 && (k & 1))) ++k;
    const uint32_t ka = uint32_t(k);

    const int64_t dw = width < 1 ? width_ : width;
    const int64_t dh = height < 1 ? height_ : height;
    const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t(x) + dw, target.width);
    const int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(int64_t(y) + dh, target.height);
    if (x0 >= x1 || y0 >= y1) return true;
    const bool same = dw == width_ && dh == height_;

    for (int64_t ty = y0; ty < y1; ++ty) {
        uint8_t* d = target.bits + ty * target.stride + x0 * 4;
        const int64_t ry = ty - y;  // row inside the destination rectangle
        // Source rows that fall on this destination row (a box, averaged when shrinking).
        const int64_t sy0 = ry * height_ / dh;
        const int64_t sy1 = std::max(sy0 + 1, (ry + 1) * height_ / dh);
        for (int64_t tx = x0; tx < x1; ++tx, d += 4) {
            const int64_t rx = tx - x;
            uint32_t s[4];
            if (same) {
                const uint8_t* p = TopRow(int(ry)) + rx * 4;
                s[0] = p[0]; s[1] = p[1]; s[2] = p[2]; s[3] = alpha_ ? p[3] : 255;
            } else {
                const int64_t sx0 = rx * width_ / dw;
                const int64_t sx1 = std::max(sx0 + 1, (rx + 1) * width_ / dw);
                uint64_t sum[4] = {0, 0, 0, 0};
                for (int64_t sy = sy0; sy < sy1; ++sy) {
                    const uint8_t* p = TopRow(int(sy)) + sx0 * 4;
                    for (int64_t sx = sx0; sx < sx1; ++sx, p += 4) {
                        sum[0] += p[0]; sum[1] += p[1]; sum[2] += p[2]; sum[3] += alpha_ ? p[3] : 255;
                    }
                }
                const uint64_t n = uint64_t((sy1 - sy0) * (sx1 - sx0));
                for (int c = 0; c < 4; ++c) s[c] = uint32_t((sum[c] + n / 2) / n);
            }
            if (ka != 255) for (uint32_t& c : s) c = Div255Round(c * ka);
            const uint32_t inv = 255 - s[3];
            for (int c = 0; c < 4; ++c) d[c] = uint8_t(std::min<uint32_t>(255, s[c] + Div255Round(d[c] * inv)));
        }
    }
    return true;
}

void cImage32::ScaleImage(int destWidth, int destHeight, int& newWidth, int& newHeight, int mode) const {
    if (!HasImage()) return;
    if (mode == kScaleFit || mode == kScaleFitNoEnlarge) {
        const float rw = float(destWidth) / float(width_);
        const float rh = float(destHeight) / float(height_);
        float ratio = std::min(rw, rh);
        if (mode == kScaleFitNoEnlarge && rw > 1 && rh > 1) ratio = 1;
        newWidth = int(std::floor(double(width_) * double(ratio)));
        newHeight = int(std::floor(double(height_) * double(ratio)));
    } else if (mode == kScaleStretch) {
        newWidth = destWidth;
        newHeight = destHeight;
    } else {
        newWidth = width_;
        newHeight = height_;
    }
}

void cImage32::CopyImageTo(cImage32& target, bool copySource) const {
    if (!HasImage() || &target == this) return;
    if (!target.InitializeDIB(width_, height_)) return;
    target.bits_ = bits_;
    target.alpha_ = alpha_;
    target.imageType_ = imageType_;
    if (copySource && !source_.empty()) target.source_ = source_;
}

bool cImage32::GetOrginalFormat(std::vector<uint8_t>& out) const {
    if (source_.empty()) return false;
    out = source_;
    return true;
}

bool cImage32::SaveToStream(std::vector<uint8_t>& out) const {
    if (!HasImage()) return false;
    const uint32_t imageSize = uint32_t(bits_.size());
    out.assign(54 + bits_.size(), 0);
    uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    PutLe32(h + 2, imageSize + 54);
    PutLe32(h + 10, 54);
    PutLe32(h + 14, 40);
    PutLe32(h + 18, uint32_t(width_));
    PutLe32(h + 22, uint32_t(height_));
    PutLe16(h + 26, 1);
    PutLe16(h + 28, 32);
    PutLe32(h + 34, imageSize);
    std::copy(bits_.begin(), bits_.end(), out.begin() + 54);
    return true;
}

bool cImage32::SaveToFile(const std::string& fileName, bool prompt,
                          const std::function<bool()>& confirmOverwrite) const {
    if (fileName.empty() || !HasImage()) return false;
    std::error_code ec;
    if (std::filesystem::exists(fileName, ec)) {
        if (prompt && (!confirmOverwrite || !confirmOverwrite())) return false;
        std::filesystem::permissions(fileName, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ec);
        if (!std::filesystem::remove(fileName, ec)) return false;
    }
    std::vector<uint8_t> bytes;
    SaveToStream(bytes);
    std::ofstream f(fileName, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f.flush());
}

}  // namespace pressel
