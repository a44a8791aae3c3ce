// The control library's in-memory picture: one 32-bit image that every reader decodes into
// and that draws itself with alpha onto a 32-bit surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace pressel {

// Source format codes a reader records in the image (ImageType).
enum ImageTypeCode : int {
    kTypeNone = 0,
    kTypeBitmap = 1,              // bitmap without alpha (any depth; 32-bit with all alpha 0)
    kTypeMetafile = 2,
    kTypeIconMasked = 3,          // icon whose transparency comes from its AND mask
    kTypeEnhMetafile = 4,
    kTypeCursorMasked = 5,
    kTypeBitmapStraightAlpha = 6, // 32-bit bitmap premultiplied while reading
    kTypeBitmapPremultiplied = 7, // 32-bit bitmap that was already premultiplied
    kTypeIcon32 = 8,
    kTypeGif = 9,
    kTypePng = 10,
    kTypePngInIcon = 11,
    kTypeCursor32 = 12,
};

// Anything larger is refused before a byte is allocated: a button never needs more, and a
// hostile header must not be able to ask for gigabytes.
#ifdef PRESSEL_MAX_PIXELS
inline constexpr int64_t kMaxPixels = PRESSEL_MAX_PIXELS;  // smaller in the fuzzing build, for speed
#else
inline constexpr int64_t kMaxPixels = int64_t(1) << 26;  // 64 megapixels
#endif

// A 32-bit drawing surface owned by someone else: rows top-down, `stride` bytes apart
// (negative for a bottom-up buffer), pixels premultiplied blue, green, red, alpha. This is
// the memory layout of QImage::Format_ARGB32_Premultiplied on little-endian machines.
struct BgraSurface {
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t stride = 0;
};

// Pixel memory, zeroed: where it comes fresh from the system it is not cleared again, and
// very large images come in huge pages. Freeing names the size allocated.
void* AllocatePixelMemory(size_t bytes);
void FreePixelMemory(void* p, size_t bytes);

// Scratch memory of a decoder, not cleared, alive only while a picture decodes: large ones are
// taken from the system directly in huge pages where it offers them, so that megabytes cost a
// few page faults, not thousands. Null data when there is no room for it.
class ScratchBuffer {
public:
    explicit ScratchBuffer(size_t bytes);
    ~ScratchBuffer();
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;
    uint8_t* data() const { return p_; }

private:
    uint8_t* p_ = nullptr;
    size_t mapped_ = 0;
};

template <class T>
struct PixelAllocator {
    using value_type = T;
    PixelAllocator() = default;
    template <class U>
    PixelAllocator(const PixelAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(AllocatePixelMemory(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { FreePixelMemory(p, n * sizeof(T)); }
    // New elements stay as the memory came: zero.
    template <class U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const PixelAllocator<U>&) const { return true; }
};
using PixelBuffer = std::vector<uint8_t, PixelAllocator<uint8_t>>;

class cImage32;

// Decodes data that no reader of the core understands (JPEG, given by the Qt layer) into
// `target` (InitializeDIB plus blue, green, red per pixel). Returns false when it cannot.
using PictureLoader = std::function<bool(std::span<const uint8_t> data, cImage32& target)>;

// Which reader took the data and, on failure, why: for the decode tool and for tests.
struct LoadReport {
    const char* reader = "";  // "PNG", "GIF", "ICO", "BMP", or "" when none took the data
    const char* reason = "";  // empty on success
};

class cImage32 {
public:
    cImage32() = default;
    cImage32(const cImage32&) = delete;
    cImage32& operator=(const cImage32&) = delete;

    // --- loading (each returns true when an image now exists) ---
    // Icon sizes choose the best entry of an icon or cursor; 0 means the default 48.
    bool LoadPicture_File(const std::string& fileName, int iconWidth = 0, int iconHeight = 0,
                          bool keepSource = false);
    // `start` below 0 reads from 0; `length` 0 means up to the end of `bytes`.
    bool LoadPicture_Stream(std::span<const uint8_t> bytes, int iconWidth = 0, int iconHeight = 0,
                            int64_t start = 0, int64_t length = 0, bool keepSource = false);

    // Sets the decoder the loader hands JPEG data to; an empty function removes it.
    static void SetPictureLoader(PictureLoader loader);

    // --- the image itself ---
    // Creates a zero-filled image (a negative height counts as positive). False for a width
    // below 1, a height of 0, or more than kMaxPixels.
    bool InitializeDIB(int width, int height);
    void DestroyDIB();

    bool HasImage() const { return !bits_.empty(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int ScanWidth() const { return width_ * 4; }
    bool Alpha() const { return alpha_; }
    int ImageType() const { return imageType_; }
    // Pixel rows, the bottom row of the picture first, ScanWidth() bytes each.
    uint8_t* BitsPointer() { return bits_.data(); }
    const uint8_t* BitsPointer() const { return bits_.data(); }
    // Row y of the picture counted from the top (0 = top row).
    uint8_t* TopRow(int y) { return bits_.data() + size_t(height_ - 1 - y) * size_t(width_) * 4; }
    const uint8_t* TopRow(int y) const {
        return bits_.data() + size_t(height_ - 1 - y) * size_t(width_) * 4;
    }

    // Set by the readers (and by whoever fills the pixels itself).
    void SetAlpha(bool alpha) { alpha_ = alpha; }
    void SetImageType(int type) { imageType_ = type; }
    void SetSourceBytes(std::span<const uint8_t> bytes) { source_.assign(bytes.begin(), bytes.end()); }

    const LoadReport& LastLoadReport() const { return report_; }

    // --- drawing ---
    // Blends the picture onto the rectangle (x, y, width, height) of `target`, stretched from
    // its own size; a width or height below 1 means the picture's own. Opacity is a percent
    // (taken modulo 100, where 0 then means 100); an explicit 0 draws nothing. Pixel alpha is
    // used only when Alpha() is set; otherwise the picture counts as opaque.
    bool Render(const BgraSurface& target, int x, int y, int width = 0, int height = 0,
                int opacity = 100) const;

    // Scale modes of ScaleImage.
    enum ScaleMode { kScaleFit = 0, kScaleFitNoEnlarge = 1, kScaleStretch = 2 };
    // Size the picture would have in a box of destWidth x destHeight; leaves the outputs
    // alone when there is no image.
    void ScaleImage(int destWidth, int destHeight, int& newWidth, int& newHeight, int mode) const;

    // Copies pixels, alpha flag and type (and the kept source bytes when asked) into target.
    void CopyImageTo(cImage32& target, bool copySource) const;
    bool GetOrginalFormat(std::vector<uint8_t>& out) const;

    // --- saving as an uncompressed 32-bit bottom-up BMP, pixels exactly as held ---
    bool SaveToStream(std::vector<uint8_t>& out) const;
    // When the file exists and `prompt` is set, `confirmOverwrite` is asked (kOverwriteQuestion,
    // kOverwriteTitle); a missing callback or a false answer keeps the file.
    bool SaveToFile(const std::string& fileName, bool prompt,
                    const std::function<bool()>& confirmOverwrite = {}) const;
    static constexpr const char* kOverwriteQuestion = "Overwrite current file?";
    static constexpr const char* kOverwriteTitle = "Overwrite Confirmation";

private:
    bool Load(std::span<const uint8_t> data, std::span<const uint8_t> whole, int iconWidth,
              int iconHeight, bool keepSource);

    PixelBuffer bits_;
    int width_ = 0;
    int height_ = 0;
    bool alpha_ = false;
    int imageType_ = kTypeNone;
    std::vector<uint8_t> source_;
    LoadReport report_;
};

}  // namespace pressel
