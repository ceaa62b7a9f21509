// Frame times of TrueType text: 20 lines of 60 characters in the default font at 24 pixels, white, the lines' tops
// 36 pixels apart from y = 20, drawn static (the same text every frame), changing (every line moves one character a
// frame, so that the 110 texts come round again) and new (every line a text never drawn before). A frame's time
// is the drawing plus glFinish; the figure is the median of 200 frames after 20 to warm up. The same stimuli drawn
// by bench/text_minimal (SDL2, OpenGL 3.3 and a FreeType glyph atlas, no shaping) are run and printed beside them.
// Allocations count every malloc, calloc and realloc of the process in the timed part, the GL driver's included,
// and separately in measuring the same texts (the layout alone).
//   text_frames [MINIMAL_PROGRAM]    (by default the text_minimal built beside it)

#include "MallocCount.hpp"
#include "TextStimuli.hpp"

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/Canvas.hpp"
#include "stimulark/color/Color.hpp"
#include "stimulark/core/Exception.hpp"
#include "stimulark/text/Font.hpp"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace Stimulark;
using namespace TextStimuli;

enum class Kind { fixed, changing, fresh };

struct Figures {
    double medianMs = 0.0;
    double allocationsPerFrame = 0.0, layoutAllocationsPerFrame = 0.0;
};

// Line l of the frame's text: a fresh text begins with the frame and line numbers, so that no two are alike.
void frameLine(Kind kind, int frame, int l, std::array<char, columns>& line) {
    fillLine(l, kind == Kind::fixed ? 0 : frame, line.data());
    if (kind == Kind::fresh) {
        char label[24];
        const int length = std::snprintf(label, sizeof label, "%07d:%02d ", frame, l);
        std::copy_n(label, length, line.begin());
    }
}

Figures run(Canvas& canvas, const Font& font, Kind kind) {
    std::array<std::array<char, columns>, lines> text{};
    std::vector<double> times;
    times.reserve(frames);
    long drawing = 0, layout = 0;
    for (int frame = 0; frame < warmUpFrames + frames; ++frame) {
        canvas.clear(Color::black, BACK_BUFFER);
        glFinish();
        const long before = mallocCount.load();
        const auto start = std::chrono::steady_clock::now();
        for (int l = 0; l < lines; ++l) {
            frameLine(kind, frame, l, text[static_cast<std::size_t>(l)]);
            canvas.drawText(font, {text[static_cast<std::size_t>(l)].data(), columns}, left,
                            top + linePitch * l + font.ascent(), Color::white);
        }
        glFinish();
        const auto end = std::chrono::steady_clock::now();
        const long drawn = mallocCount.load();
        // The layout alone, without GL: the same texts, found in the cache, or as many texts never drawn.
        for (int l = 0; l < lines; ++l) {
            frameLine(kind, kind == Kind::fresh ? frame + 1000000 : frame, l, text[static_cast<std::size_t>(l)]);
            (void)font.measure({text[static_cast<std::size_t>(l)].data(), columns});
        }
        if (frame >= warmUpFrames) {
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
            drawing += drawn - before;
            layout += mallocCount.load() - drawn;
        }
        canvas.flip(1);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], static_cast<double>(drawing) / frames, static_cast<double>(layout) / frames};
}

// The minimal program's figures, static and changing: milliseconds and allocations a frame; negative where it did
// not give them.
std::array<Figures, 2> runMinimal(const char* program) {
    std::array<Figures, 2> figures{Figures{-1.0, -1.0, 0.0}, Figures{-1.0, -1.0, 0.0}};
    const std::string command = std::string(program) + " /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    std::FILE* output = popen(command.c_str(), "r");
    if (output == nullptr)
        return figures;
    char word[32];
    double ms = 0.0, allocs = 0.0;
    while (std::fscanf(output, "%31s %lf %lf", word, &ms, &allocs) == 3)
        figures[std::string(word) == "static" ? 0 : 1] = {ms, allocs, 0.0};
    pclose(output);
    return figures;
}

} // namespace

int main(int argc, char** argv) try {
    std::array<Figures, 3> ours;
    {
        initializeToolkit();
        Canvas canvas(0);
        canvas.setOnsetWait(false);
        const Font font = Font::defaultFont(pixelSize);
        ours = {run(canvas, font, Kind::fixed), run(canvas, font, Kind::changing), run(canvas, font, Kind::fresh)};
    }
    const std::array<Figures, 2> minimal = runMinimal(argc > 1 ? argv[1] : TEXT_MINIMAL_PROGRAM);

    const char* names[] = {"text_20x60_static", "text_20x60_changing", "text_20x60_new"};
    std::printf("%-20s %13s %13s %14s %13s %13s\n", "", "Stimulark ms", "allocs/frame", "layout allocs", "minimal ms",
                "allocs/frame");
    for (std::size_t i = 0; i < ours.size(); ++i) {
        std::printf("%-20s %13.3f %13.1f %14.1f", names[i], ours[i].medianMs, ours[i].allocationsPerFrame,
                    ours[i].layoutAllocationsPerFrame);
        if (i < minimal.size() && minimal[i].medianMs >= 0.0)
            std::printf(" %13.3f %13.1f\n", minimal[i].medianMs, minimal[i].allocationsPerFrame);
        else
            std::printf(" %13s %13s\n", "-", "-");
    }
    return 0;
} catch (const Exception& failure) {
    std::fprintf(stderr, "text_frames: %s\n", failure.fullMessage().c_str());
    return 1;
}
