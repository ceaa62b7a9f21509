// Saves as only Windows makes them: a temporary file that goes with its handle however the program ends, and
// names near the system's limits.

#include "image/ImageTesting.hpp"

#include "stimulark/platform/win32/WindowsApi.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

namespace Stimulark::Testing {
namespace {

// A folder of its own at the root of the system drive, "C:\tNNNN\", 9 characters, so that a 250-character
// name reaches MAX_PATH - 1, the longest path there is; removed with its contents.
struct ShortFolder {
    std::string root;
    ShortFolder() {
        std::mt19937 pick(std::random_device{}());
        for (int attempt = 0; attempt < 100 && root.empty(); ++attempt) {
            const std::string candidate = "C:\\t" + std::to_string(1000 + pick() % 9000) + "\\";
            if (CreateDirectoryA(candidate.c_str(), nullptr))
                root = candidate;
        }
    }
    ~ShortFolder() { std::filesystem::remove_all(root); }
};

const std::string longName = std::string(246, 'a') + ".png";

// A save ended midway by TerminateProcess, which nothing in the program can catch, leaves the old file as it
// was and no temporary file; the temporary's name, shortened to fit, keeps its path within MAX_PATH. The saving
// program ends itself, from a second thread, once its temporary is there. It runs this test again from the
// start, so the parent names the folder in the environment, which it inherits.
TEST(InterruptedSaveDeathTest, LeavesTheOldFileAndNoTemporary) {
    constexpr char shared[] = "STIMULARK_TEST_SAVE_FOLDER";
    std::optional<ShortFolder> made;
    if (!std::getenv(shared)) {
        ASSERT_FALSE(made.emplace().root.empty());
        ASSERT_EQ(_putenv_s(shared, made->root.c_str()), 0);
    }
    const std::string folder = std::getenv(shared), path = folder + longName;
    writeBytes(path, "old");
    Image noise(2000, 2000, RGB, BYTE);
    std::generate(noise.byteBitmap, noise.byteBitmap + noise.bitmapBytes, std::mt19937(5));
    auto endedMidway = [&] {
        std::thread([&folder] {
            for (;;) {
                WIN32_FIND_DATAA found;
                const HANDLE search = FindFirstFileA((folder + ".a*").c_str(), &found);
                if (search != INVALID_HANDLE_VALUE) {
                    FindClose(search);
                    Sleep(50);
                    const bool fits = folder.size() + std::strlen(found.cFileName) < MAX_PATH;
                    TerminateProcess(GetCurrentProcess(), fits ? 9 : 3);
                }
                Sleep(1);
            }
        }).detach();
        PNG_BRIDGE().save(path.c_str(), noise);
        std::_Exit(0); // too soon
    };
    EXPECT_EXIT(endedMidway(), testing::ExitedWithCode(9), "");
    _putenv_s(shared, "");
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

// A 250-character name in a short folder is saved, and then replaced; a path longer than MAX_PATH - 1 is
// refused and nothing made.
TEST(SaveNames, ALongNameWithinMaxPathIsSavedAndALongerPathRefused) {
    const ShortFolder folder;
    ASSERT_FALSE(folder.root.empty());
    const std::string fits = folder.root + longName, over = folder.root + std::string(247, 'b') + ".png";
    ASSERT_EQ(fits.size(), MAX_PATH - 1u);
    Image picture(5, 3, RGB, BYTE), saved;
    std::generate(picture.byteBitmap, picture.byteBitmap + picture.bitmapBytes, std::mt19937(3));
    for (int save = 0; save < 2; ++save)
        EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().save(fits.c_str(), picture); }), "no failure") << save;
    EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().load(fits.c_str(), saved); }), "no failure");
    EXPECT_EQ(imageLines(saved), imageLines(picture));
    EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().save(over.c_str(), picture); }), notOpened);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.root), {}), 1);
}

// A file that another program holds open letting others write it but not delete it, as replacing it would,
// fails the save once the new contents are complete, and the temporary goes.
TEST(SaveFailure, AFileThatMayNotBeReplacedKeepsNoTemporary) {
    TempFolder folder;
    const std::string path = folder / "held.png";
    writeBytes(path, "old");
    const HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Image picture(5, 3, RGB, BYTE);
    EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().save(path.c_str(), picture); }), notOpened);
    CloseHandle(held);
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(folder.entries(), 1);
}

} // namespace
} // namespace Stimulark::Testing
