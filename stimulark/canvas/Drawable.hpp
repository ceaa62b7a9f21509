#pragma once

/// \file
/// The common base of canvases and images.

namespace Stimulark {

/// The abstract base of everything that can be drawn on: canvases and images.
class Drawable {
public:
    /// Pure, so that only canvases and images are drawables; defined, so that they
    /// can be destroyed.
    virtual ~Drawable() = 0;
};

inline Drawable::~Drawable() = default;

} // namespace Stimulark
