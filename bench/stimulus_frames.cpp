// Frame times of stimuli drawn by the toolkit and, side by side in the same run, by a
// minimal OpenGL program (SDL2 and OpenGL 3.3, one shader and one draw per stimulus),
// which stands for the renderer's limit. A frame's time is its drawing and glFinish,
// from the clear on; the swap is left out, and the toolkit's flip is reported apart.
// Drawn into the float buffer, the toolkit converts at flip: that cost is printed as
// its own column (the flip's time over the empty frame's), and the ratio takes it in,
// as the minimal program's frame takes in its blit.
//
//     stimulus_frames [--frames N] [STIMULUS...]
//
// Stimuli (stimulus_layouts.hpp): clear (nothing drawn); dots_10000_s4_t2 (10,000 round
// anti-aliased dots of 4 px, white, drifting); gabors_100, gabors_1000 (opaque 64 x 64
// patches, Michelson contrast 0.5 about 128/255); gabors_100_add_float,
// gabors_1000_add_float (the same, added in a float buffer); grating_fullscreen (0.05
// cycles per pixel, contrast 0.5, drifting a pixel a frame); noise_256_x2 (256 x 256
// uniform cells of 2 x 2 pixels, fresh every frame). The two sides take turns, each
// drawing a stimulus for 5 frames unmeasured and 40 measured, until each has measured N
// (200); medians are printed.

#include "minimal_program.hpp"
#include "stimulus_layouts.hpp"

#include "stimulark/app/Application.hpp"
#include "stimulark/canvas/APICanvasProperties.hpp"
#include "stimulark/canvas/Canvas.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace Stimulark;
using namespace StimulusBench;

// The toolkit: a canvas, its clear, its calls, and flip after each frame.
struct Measured {
    std::vector<double> frames, flips;
};
Measured toolkitFrames(Canvas& canvas, int count, const std::function<void(int frame)>& draw) {
    Measured measured;
    std::vector<double>& times = measured.frames;
    std::vector<double>& flips = measured.flips;
    for (int i = -warmUp; i < count; ++i) {
        const auto start = Steady::now();
        canvas.clear(Color(128.0 / 255.0), BACK_BUFFER);
        draw(i + warmUp);
        glFinish();
        if (i >= 0)
            times.push_back(millisecondsSince(start));
        const auto flipStart = Steady::now();
        canvas.flip(1);
        if (i >= 0)
            flips.push_back(millisecondsSince(flipStart));
    }
    return measured;
}

std::vector<Gabor> gaborPatches(int count) {
    std::vector<Gabor> patches;
    for (const GaborLayout::Patch& p : GaborLayout(count).patches)
        patches.push_back({p.x, p.y, 64.0, p.orientation, 0.1, 0.0, 0.5, 8.0});
    return patches;
}

Measured toolkit(Canvas& canvas, const std::string& name, int count) {
    const Color mean(128.0 / 255.0);
    if (name == "clear")
        return toolkitFrames(canvas, count, [](int) {});
    if (name == "dots_10000_s4_t2") {
        DotField field(10000);
        return toolkitFrames(canvas, count, [&](int) {
            canvas.drawDots(field.dots, 4.0, Color::white);
            field.drift();
        });
    }
    if (name.starts_with("gabors_")) {
        std::vector<Gabor> patches = gaborPatches(std::atoi(name.c_str() + 7));
        const bool addFloat = name.ends_with("_add_float");
        canvas.setFloatBuffer(addFloat);
        const Measured measured = toolkitFrames(canvas, count, [&](int frame) {
            for (Gabor& g : patches)
                g.phase = 10.0 * frame;
            canvas.drawGabors(patches, mean);
        });
        canvas.setFloatBuffer(false);
        return measured;
    }
    if (name == "grating_fullscreen")
        return toolkitFrames(canvas, count, [&](int frame) {
            canvas.drawGrating({canvas.area, 0.0, 0.05, 18.0 * frame, 0.5}, Color(0.5));
        });
    if (name == "noise_256_x2")
        return toolkitFrames(canvas, count, [&](int frame) {
            canvas.drawNoise(Rectangle(256.0, 128.0, 767.0, 639.0), 2, NOISE_UNIFORM, 1.0, Color(0.5),
                             static_cast<unsigned>(frame));
        });
    std::fprintf(stderr, "stimulus_frames: no stimulus named %s\n", name.c_str());
    std::exit(2);
}

std::vector<double> minimal(Minimal& program, const std::string& name, int count) {
    if (name == "clear")
        return program.frames(count, [](int) {});
    if (name == "dots_10000_s4_t2")
        return program.dots(count);
    if (name.starts_with("gabors_"))
        return program.gabors(count, std::atoi(name.c_str() + 7), name.ends_with("_add_float"));
    if (name == "grating_fullscreen")
        return program.grating(count);
    if (name == "noise_256_x2")
        return program.noise(count);
    std::fprintf(stderr, "stimulus_frames: no stimulus named %s\n", name.c_str());
    std::exit(2);
}

void append(std::vector<double>& to, const std::vector<double>& from) { to.insert(to.end(), from.begin(), from.end()); }

} // namespace

int main(int argc, char** argv) {
    int count = 200;
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else
            wanted.emplace_back(argv[i]);
    }
    if (wanted.empty())
        wanted = {"clear",          "dots_10000_s4_t2",      "gabors_100",         "gabors_1000",
                  "gabors_100_add_float", "gabors_1000_add_float", "grating_fullscreen", "noise_256_x2"};

    initializeToolkit();
    Canvas canvas(0);
    canvas.setSwapInterval(0); // as fast as the renderer goes, as the minimal program swaps
    Minimal program;
    const auto turns = [&](const std::string& name, std::vector<double>& theirs) {
        Measured ours;
        for (int done = 0; done < count; done += 40) {
            const int chunk = std::min(40, count - done);
            program.makeCurrent();
            append(theirs, minimal(program, name, chunk));
            canvas.platformPart()->makeContextCurrent();
            const Measured turn = toolkit(canvas, name, chunk);
            append(ours.frames, turn.frames);
            append(ours.flips, turn.flips);
        }
        return ours;
    };
    std::vector<double> unused;
    const double emptyFlip = median(turns("clear", unused).flips);
    std::printf("%-22s %11s %11s %11s %7s %16s\n", "stimulus", "toolkit ms", "convert ms", "minimal ms", "ratio",
                "toolkit flip ms");
    for (const std::string& name : wanted) {
        std::vector<double> theirs;
        const Measured ours = turns(name, theirs);
        const double frame = median(ours.frames), flip = median(ours.flips), limit = median(theirs);
        const double conversion = name.ends_with("_add_float") ? std::max(0.0, flip - emptyFlip) : 0.0;
        std::printf("%-22s %11.3f %11.3f %11.3f %7.2f %16.3f\n", name.c_str(), frame, conversion, limit,
                    (frame + conversion) / limit, flip);
    }
    return 0;
}
