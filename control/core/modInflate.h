// Our inflater for a PNG's whole image: raw deflate data into one buffer, quickly, with
// exactly zlib's verdict.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pressel {

// Bytes the output buffer needs beyond the image data: match copies write whole words and
// may run a little past their end.
constexpr size_t kInflateSlack = 64;

// Inflates raw deflate data (no zlib header, no check value read) into out[0, room) and gives
// what zlib's raw inflate gives with that much room: true when zlib would end the stream or fill
// the room without finding an error first (bytes the stream leaves unwritten read as zero), false
// when zlib would refuse the data (damaged, or cut short before the room is full). No room: true.
// `out` must hold room + kInflateSlack bytes.
bool InflateRaw(const uint8_t* in, size_t inSize, uint8_t* out, size_t room);

}  // namespace pressel
