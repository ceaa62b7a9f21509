// The demo's frame as the demo runs it: key query, clear, text line, the picture
// as one rotated textured quad, flip(1). Reports frames per second; needs a display.

#include "gyrdex/Picture.hpp"
#include "stimulark/stimulark.hpp"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

using namespace Stimulark;

// The library's entry wants a main routine; Google Benchmark brings its own main.
void applicationMain() {}

namespace {

void demoFrame(benchmark::State& state) {
    try {
        initializeToolkit();
        Canvas canvas(0);
        Image picture;
        Gyrdex::drawPicture(picture);
        picture.useTexture(true);

        const Color background(0.5);
        double angle = 0.0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(Keyboard::query(KEY_ESCAPE, PUSHED));
            canvas.clear(background, BACK_BUFFER);
            canvas.drawText("Move mouse to change the velocity", 100.0, 100.0, Color::white, 0, -1.0);
            angle += (static_cast<int>(Mouse::x) - canvas.getCenterX()) * 0.02 * PI;
            glPushMatrix();
            glTranslated(canvas.getCenterX(), canvas.getCenterY(), 0.0);
            glRotated(angle, 0.0, 0.0, 1.0);
            glTranslated(-picture.getWidth() * 0.5, -picture.getHeight() * 0.5, 0.0);
            picture.draw();
            glPopMatrix();
            canvas.flip(1);
        }
        state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
        state.counters["refresh_Hz"] = canvas.getRefreshRate();
    } catch (const Exception& e) {
        state.SkipWithError(e.fullMessage().c_str());
    }
}

BENCHMARK(demoFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace
