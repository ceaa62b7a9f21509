#include "stimulark/text/Font.hpp"

#include "stimulark/core/Exception.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/platform/FileServices.hpp"
#include "stimulark/text/FontFace.hpp"

#include <hb-ft.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

namespace Stimulark {

namespace {

[[noreturn]] void refuse(const char* title, const char* message) { throw Exception(typeid(Font), title, message); }

[[noreturn]] void refuseAccess() { refuse("FILE ACCESS ERROR", "Failed to open the requested file."); }

// Larger glyphs would not fit the canvas's glyph texture.
void checkPixelSize(double pixelSize) {
    if (!(pixelSize > 0.0 && pixelSize <= 2048.0))
        refuse("ARGUMENT ERROR", "the pixel size is out of range.");
}

// FreeType reads the file through these, so that it opens only what openRegularFile
// accepts. A count of 0 asks for a seek, which returns 0 when it worked.
unsigned long readFile(FT_Stream stream, unsigned long offset, unsigned char* buffer, unsigned long count) {
    auto* file = static_cast<std::FILE*>(stream->descriptor.pointer);
    const bool placed = offset <= static_cast<unsigned long>(std::numeric_limits<long>::max()) &&
                        std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
    if (count == 0)
        return placed ? 0 : 1;
    return placed ? std::fread(buffer, 1, count, file) : 0;
}

void closeFile(FT_Stream stream) {
    if (stream->descriptor.pointer != nullptr)
        std::fclose(static_cast<std::FILE*>(stream->descriptor.pointer));
    stream->descriptor.pointer = nullptr;
}

std::atomic<std::uint32_t> nextSerial{1};

} // namespace

FontFace::FontFace(const std::string& path, double size) : pixelSize(size), serial_(nextSerial++) {
    std::FILE* file = path.find('\0') == std::string::npos ? openRegularFile(path.c_str(), "rb") : nullptr;
    if (file == nullptr)
        refuseAccess();
    const long length = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    stream_.descriptor.pointer = file;
    stream_.read = readFile;
    stream_.close = closeFile;
    if (length < 0) {
        closeFile(&stream_);
        refuseAccess();
    }
    stream_.size = static_cast<unsigned long>(length);
    try {
        if (FT_Init_FreeType(&library_) != 0)
            throw std::bad_alloc();
        FT_Open_Args arguments{};
        arguments.flags = FT_OPEN_STREAM;
        arguments.stream = &stream_;
        // A failed open has closed the stream; a bitmap-only font has no sizes to choose.
        if (FT_Open_Face(library_, &arguments, 0, &face_) != 0)
            face_ = nullptr;
        if (face_ == nullptr || !FT_IS_SCALABLE(face_) ||
            FT_Set_Char_Size(face_, 0, std::max<FT_F26Dot6>(1, std::lround(size * 64.0)), 72, 72) != 0)
            refuse("FILE FORMAT ERROR", "The requested file is not a font.");
        font_ = hb_ft_font_create_referenced(face_);
        const FT_Size_Metrics& metrics = face_->size->metrics;
        ascent = static_cast<double>(metrics.ascender) / 64.0;
        lineHeight = static_cast<double>(metrics.height) / 64.0;
        glyphs_ = std::make_unique<GlyphStore>(face_);
        layouter_ = std::make_unique<Layouter>(font_, *glyphs_, metrics.height);
    } catch (...) {
        release();
        throw;
    }
}

FontFace::~FontFace() { release(); }

void FontFace::release() {
    layouter_.reset();
    glyphs_.reset();
    if (font_ != nullptr)
        hb_font_destroy(font_);
    if (face_ != nullptr)
        FT_Done_Face(face_); // closes the stream
    else
        closeFile(&stream_);
    if (library_ != nullptr)
        FT_Done_FreeType(library_);
    font_ = nullptr;
    face_ = nullptr;
    library_ = nullptr;
}

LaidOutText& FontFace::layout(std::string_view utf8, double maxWidth) {
    const double width = maxWidth > 0.0 ? maxWidth : 0.0;
    bool found = false;
    LaidOutText& text = cache_.find(utf8, width, found);
    if (!found)
        layouter_->layOut(utf8, width, text);
    return text;
}

Font::Font(const std::string& file, double pixelSize) {
    checkPixelSize(pixelSize);
    face_ = std::make_unique<FontFace>(File::decodePath(file), pixelSize);
}

Font::Font(std::unique_ptr<FontFace> face) : face_(std::move(face)) {}

Font Font::defaultFont(double pixelSize) {
    checkPixelSize(pixelSize);
    return Font(std::make_unique<FontFace>(defaultFontPath(), pixelSize));
}

Font::~Font() = default;
Font::Font(Font&& other) noexcept = default;
Font& Font::operator=(Font&& other) noexcept = default;

FontFace& Font::face() const {
    if (!face_)
        refuse("ARGUMENT ERROR", "the font is empty: it was moved from.");
    return *face_;
}

Rectangle Font::measure(std::string_view utf8, double maxWidth) const {
    if (std::isnan(maxWidth))
        refuse("ARGUMENT ERROR", "the maximum width is out of range.");
    const LaidOutText& text = face().layout(utf8, maxWidth);
    if (!text.hasInk) {
        const double none = std::numeric_limits<double>::quiet_NaN();
        Rectangle empty;
        empty.left = empty.top = empty.right = empty.bottom = none;
        return empty;
    }
    return Rectangle().set(text.inkLeft, text.inkTop, text.inkRight, text.inkBottom);
}

double Font::pixelSize() const { return face().pixelSize; }
double Font::ascent() const { return face().ascent; }
double Font::lineHeight() const { return face().lineHeight; }

} // namespace Stimulark
