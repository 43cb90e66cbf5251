// Writes the application icon into a hicolor icon theme folder, at the sizes desktops look for:
// <folder>/<n>x<n>/apps/<name>.png and <folder>/scalable/apps/<name>.svg.
// Usage: app_icons FOLDER NAME
#include <cairomm/cairomm.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "ui/drawn_pictures.h"

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr double kScalableSize = 256;

std::string AppsFolder(const std::string& theme, const std::string& size_folder) {
    const std::string folder = theme + "/" + size_folder + "/apps";
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: " << argv[0] << " FOLDER NAME\n";
        return 2;
    }
    const std::string theme = argv[1];
    const std::string name = argv[2];
    try {
        for (const int size : kSizes) {
            auto surface = Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, size, size);
            kivo::DrawAppIcon(Cairo::Context::create(surface), size);
            const std::string size_folder = std::to_string(size) + "x" + std::to_string(size);
            surface->write_to_png(AppsFolder(theme, size_folder) + "/" + name + ".png");
        }
        const std::string svg = AppsFolder(theme, "scalable") + "/" + name + ".svg";
        {
            auto surface = Cairo::SvgSurface::create(svg, kScalableSize, kScalableSize);
            kivo::DrawAppIcon(Cairo::Context::create(surface), kScalableSize);
            surface->finish();
        }
    } catch (const std::exception& e) {
        std::cerr << argv[0] << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}
