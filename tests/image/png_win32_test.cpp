// Files as only Windows has them: devices reached by reserved names, files held open without sharing.

#include "image/ImageTesting.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

namespace Stimulark::Testing {
namespace {

// Only a regular file is read or written: a folder and a device (NUL, opened at once) are refused by their kind.
// A file that another program holds open for reading only, as a spreadsheet may hold a results file, is not
// replaced: the save is refused at once, and the file stays as it was with no temporary file beside it.
TEST(PngFiles, OnlyRegularFilesAreReadAndFilesHeldWithoutSharingWritesAreKept) {
    TempFolder folder;
    const std::string kept = folder / "kept.png";
    writeBytes(folder / "real.png", grey5x2);
    writeBytes(kept, "old contents");
    ASSERT_TRUE(std::filesystem::create_directory(folder / "folder.png"));
    for (const std::string& path : {folder / "folder.png", std::string("NUL"), std::string("\\\\.\\NUL")}) {
        Image image;
        EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().load(path.c_str(), image); }), notOpened) << path;
        EXPECT_FALSE(image.haveBitmap) << path;
    }
    Image real;
    PNG_BRIDGE().load((folder / "real.png").c_str(), real);
    EXPECT_EQ(imageLines(real), grey5x2Lines);
    HANDLE held = CreateFileA(kept.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (const std::string& target : {kept, folder / "folder.png"})
        EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().save(target.c_str(), real); }), notOpened) << target;
    EXPECT_EQ(readBytes(kept), "old contents");
    CloseHandle(held);
    EXPECT_EQ(folder.entries(), 3);
}

} // namespace
} // namespace Stimulark::Testing
