// Icon and cursor reader, with a requested size taken from the input's length.
#include "cICOparser.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pressel::cImage32 img;
    const int want = int(size % 300) - 20;
    pressel::cICOparser().LoadStream({data, size}, want, want / 2 + 8, img, 0, size);
    ExerciseImage(img, size);
    return 0;
}
