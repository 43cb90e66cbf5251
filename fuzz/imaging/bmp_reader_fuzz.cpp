// Feeds arbitrary bytes to the bitmap reader: it must refuse or decode, never read outside the
// input, and whatever it decodes must survive being written and read again unchanged.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "imaging/bmp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo::imaging;
    RgbImage image;
    try {
        image = DecodeBmp(std::span(data, size));
    } catch (const ImageFileError&) {
        return 0;
    }
    if (image.Empty() || DecodeBmp(EncodeBmp24(image)) != image)
        std::abort();
    return 0;
}
