// Bitmap reader: the direct 32-bit path and our decoder of every other form.
#include "cBMPparser.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pressel::cImage32 img;
    pressel::cBMPparser().LoadStream({data, size}, img, 0, size);
    ExerciseImage(img, size);
    return 0;
}
