// Files as only Windows has them: devices reached by reserved names, files held open without sharing.

#include "image/PngTesting.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <filesystem>

namespace Stimulark::Testing {
namespace {

// Only a regular file is read: a folder and a device (NUL, opened at once) are refused by their kind.
TEST(PngLoad, ReadsOnlyRegularFilesNotFoldersNorDevices) {
    TempFolder folder;
    writePng(folder / "real.png", grey5x2);
    ASSERT_TRUE(std::filesystem::create_directory(folder / "folder.png"));
    for (const std::string& path : {folder / "folder.png", std::string("NUL"), std::string("\\\\.\\NUL")}) {
        Image image;
        EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().load(path.c_str(), image); }), notOpened) << path;
        EXPECT_FALSE(image.haveBitmap) << path;
    }
    Image real;
    PNG_BRIDGE().load((folder / "real.png").c_str(), real);
    EXPECT_EQ(imageLines(real), grey5x2Lines);
}

// A file that another program holds open for reading only, as a spreadsheet may hold a results file, or a
// folder is not replaced: the save is refused at once, and the file stays as it was with no temporary file
// beside it.
TEST(PngSave, RefusesFilesHeldWithoutSharingWritesAndFolders) {
    TempFolder folder;
    const std::string path = folder / "kept.png";
    writeBytes(path, "old contents");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(std::filesystem::create_directory(folder / "folder.png"));
    Image image(5, 3, RGB, BYTE);
    for (const std::string& target : {path, folder / "folder.png"})
        EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().save(target.c_str(), image); }), notOpened) << target;
    EXPECT_EQ(readBytes(path), "old contents");
    CloseHandle(held);
    EXPECT_EQ(folder.entries(), 2);
}

} // namespace
} // namespace Stimulark::Testing
