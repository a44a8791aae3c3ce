// zlib's raw inflate as the PNG reader's window path runs it, the outcome our whole-image
// inflater must give: refused, or the bytes that fit in `room` (the rest zero). `produced`, when
// given, tells how many bytes the stream gave.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <vector>

inline std::optional<std::vector<uint8_t>> ZlibRawInflate(const uint8_t* in, size_t size, size_t room,
                                                          size_t* produced = nullptr) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    std::vector<uint8_t> out(room, 0);
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = uInt(size);
    size_t got = 0;
    bool ok = true;
    while (got < room) {
        z.next_out = out.data() + got;
        z.avail_out = uInt(room - got);
        const int rc = inflate(&z, Z_NO_FLUSH);
        got = room - z.avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK) {
            ok = false;
            break;
        }
    }
    inflateEnd(&z);
    if (produced) *produced = got;
    if (!ok) return std::nullopt;
    return out;
}
