#include "stimulark/text/FontFace.hpp"

#ifdef _WIN32
#include "stimulark/platform/FileServices.hpp"

#include <cstdio>
#else
#include <fontconfig/fontconfig.h>
#endif

namespace Stimulark {

namespace {

#ifdef _WIN32

std::string findDefaultFont() {
    const std::string folder = systemFontsFolder();
    if (folder.empty())
        return {};
    for (const char* name : {"segoeui.ttf", "arial.ttf", "tahoma.ttf"}) {
        const std::string path = folder + name;
        if (std::FILE* file = openRegularFile(path.c_str(), "rb")) {
            std::fclose(file);
            return path;
        }
    }
    return {};
}

#else

// fontconfig's own configuration, made for the question and destroyed after it, so
// that nothing of it stays in the process.
std::string findDefaultFont() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr)
        return {};
    std::string path;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans:style=Book"));
    if (pattern != nullptr) {
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr)
                path = reinterpret_cast<const char*>(file);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return path;
}

#endif

} // namespace

// Asked once: loading fontconfig's configuration takes milliseconds.
std::string defaultFontPath() {
    static const std::string path = findDefaultFont();
    return path;
}

} // namespace Stimulark
