// Icon and cursor reader of the control library.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "cImage32.h"

namespace pressel {

class ByteView;

class cICOparser {
public:
    // True when the data is a well-formed icon or cursor directory whose entries all pass
    // their checks; `target` then holds the entry that best fits the requested size (below 1:
    // 48), or no image when that entry cannot be drawn. False otherwise.
    bool LoadStream(std::span<const uint8_t> data, int requestedWidth, int requestedHeight,
                    cImage32& target, uint64_t offset, uint64_t length);

    const char* Why() const { return why_; }

    struct Entry {
        int width = 0;        // 1 to 256
        int height = 0;
        int bitCount = 0;     // effective bit count; 0 = unusable
        bool png = false;
        uint32_t size = 0;
        uint32_t offset = 0;  // from the start of the icon data
    };
    // Entry number (from 1) that best fits width x height; 0 when none.
    static int ChooseBestEntry(const std::vector<Entry>& entries, int width, int height);

private:
    bool CheckPngEntry(const ByteView& v, Entry& e);
    bool DrawBitmapEntry(const ByteView& v, const Entry& e, bool cursor, cImage32& target);
    const char* why_ = "";
};

}  // namespace pressel
