// GIF reader: the block walk and our LZW decoder.
#include "cGIFparser.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pressel::cImage32 img;
    pressel::cGIFparser().LoadStream({data, size}, img, 0, size);
    ExerciseImage(img, size);
    return 0;
}
