// Writes a few small pictures, in the form the program writes them, into the folder given as
// the only argument: starting points for the bitmap reader's fuzzing.
#include <fstream>
#include <iostream>
#include <string>

#include "imaging/bmp_file.h"

int main(int argc, char** argv) {
    using namespace kivo::imaging;
    if (argc != 2) {
        std::cerr << "usage: kivo_bmp_seeds FOLDER\n";
        return 2;
    }
    const int sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {5, 4}, {16, 1}, {1, 16}};
    int n = 0;
    for (const auto& size : sizes) {
        RgbImage image(size[0], size[1]);
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x)
                image.Set(x, y,
                          Rgb{static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 60),
                              static_cast<std::uint8_t>((x + y) * 17)});
        const auto bytes = EncodeBmp24(image);
        std::ofstream(std::string(argv[1]) + "/seed-" + std::to_string(++n) + ".bmp",
                      std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    return 0;
}
