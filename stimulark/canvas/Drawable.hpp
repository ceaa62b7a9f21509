#pragma once

namespace Stimulark {

// The abstract base of everything that can be drawn on: canvases and images.
class Drawable {
public:
    virtual ~Drawable() = 0;
};

inline Drawable::~Drawable() = default;

} // namespace Stimulark
