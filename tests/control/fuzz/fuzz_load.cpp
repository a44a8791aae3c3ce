// The whole loader: PNG, GIF, icon and bitmap readers in their order, on any bytes.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pressel::cImage32 img;
    const int icon = int(size % 70);
    img.LoadPicture_Stream({data, size}, icon, icon);
    ExerciseImage(img, size);
    return 0;
}
