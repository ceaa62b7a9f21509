// A PNG picture turned 30 degrees about the centre of a grey screen until Escape;
// the first frame is also saved as a PNG file. Both files may be given on the
// command line: rotated_picture [PICTURE.png [FRAME.png]]. By default the picture
// is picture.png beside the program, and the frame goes beside it too ("%APP%"
// stands for the program's folder, here and in any name you give).

#include "stimulark/stimulark.hpp"

#include <GL/gl.h>

#include <string>
#include <vector>

// Rectangle, BYTE and FLOAT are windows.h's names too, KeyCode and Drawable
// X11's: written in full, they stay unambiguous beside those headers.
using namespace Stimulark;

void applicationMain() {
    const std::vector<std::string>& arguments = commandLineArguments(); // [0] is the program
    const std::string pictureFile = arguments.size() > 1 ? arguments[1] : "%APP%picture.png";
    const std::string frameFile = arguments.size() > 2 ? arguments[2] : "%APP%rotated_picture.png";
    const double angle = 30.0; // degrees; y grows downwards, so this turns clockwise

    Canvas canvas(0);
    Image picture;
    picture.load(pictureFile);
    picture.useTexture(true); // a texture follows GL's matrix; plain pixels would not turn

    bool saved = false;
    while (!Keyboard::query(KEY_ESCAPE, PUSHED)) {
        canvas.clear(Color(0.5), BACK_BUFFER);
        // The picture's middle onto the canvas centre, turned about it.
        glPushMatrix();
        glTranslated(canvas.getCenterX(), canvas.getCenterY(), 0.0);
        glRotated(angle, 0.0, 0.0, 1.0);
        glTranslated(-picture.getWidth() * 0.5, -picture.getHeight() * 0.5, 0.0);
        picture.draw();
        glPopMatrix();

        if (!saved) {
            // Read before the flip: the back buffer as drawn is the frame it shows.
            Image frame;
            canvas.capture(frame);
            frame.save(frameFile);
            saved = true;
        }
        canvas.flip(1);
    }
}
