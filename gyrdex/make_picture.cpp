// Writes the demo's picture, Gyrdex.png, to the path given as the only argument.
// Runs at build time, so the shipped picture always matches drawPicture.

#include "gyrdex/Picture.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    try {
        Stimulark::Image picture;
        Gyrdex::drawPicture(picture);
        Stimulark::IMAGE_FORMATS::PNG_BRIDGE().save(argv[1], picture);
    } catch (const Stimulark::Exception& e) {
        std::fprintf(stderr, "%s\n", e.fullMessage().c_str());
        return 1;
    }
    return 0;
}
