#pragma once

#include "image/ImageTesting.hpp"

#include "stimulark/file/File.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <utility>

namespace Stimulark::Testing {

// What the PNG bridge reports, and pictures the PNG tests share.
using IMAGE_FORMATS::PNG_BRIDGE;
inline constexpr int GREY = PNG_COLOR_TYPE_GRAY;
inline const std::string bridge = "Stimulark::IMAGE_FORMATS::PNG_BRIDGE ";
inline const std::string notPng = bridge + "[FILE FORMAT ERROR] The requested file is not PNG.";
inline const std::string notOpened = bridge + "[FILE ACCESS ERROR] Failed to open the requested file.";
inline const std::string notWritable =
    bridge + "[FILE FORMAT ERROR] The requested data is not able to be put as a PNG file.";
inline const std::string unsupported = imageFailure("File Type Error", "Specified image type is not supported.");
inline const PngPicture grey5x2{.width = 5, .type = GREY, .rows = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}};
inline const Bytes grey5x2Lines{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
inline const std::string noRows = pngChunk("IDAT", zlibStream("", 0)) + pngChunk("IEND", ""); // follows a header

// A temporary folder as the application's folder (%APP%) while the scope lasts. Image::load and save reach
// it through the placeholder, whose folder is taken as it is: the rest of a name loses every ':', so a
// Windows path with its drive letter would not do.
struct AppFolderScope {
    explicit AppFolderScope(const TempFolder& folder)
        : previous(std::exchange(File::pathIds()[File::APP].path, folder.root + "/")) {}
    ~AppFolderScope() { File::pathIds()[File::APP].path = previous; }
    AppFolderScope(const AppFolderScope&) = delete;
    AppFolderScope& operator=(const AppFolderScope&) = delete;
    std::string previous;
};

} // namespace Stimulark::Testing
