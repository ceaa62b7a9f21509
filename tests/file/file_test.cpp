#include "image/ImageTesting.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace Stimulark::Testing {
namespace {

using enum File::PathId;
const std::string& folder(File::PathId id) { return File::pathIds()[id].path; }

// A scripted machine: the executable in /opt/exp/run, the user's folders under /home/u.
struct Folders : ScriptedTest {
    void SetUp() override {
        ScriptedTest::SetUp();
        scripted().exePath = "/opt/exp/run/Gyrdex";
        scripted().folders = UserFolders{"/home/u", "/home/u/.config", "/home/u/Documents"};
        File::initializeFolders();
    }
    void TearDown() override {
        File::experimentName().clear();
        File::toolkitFolderName() = "Stimulark";
        ScriptedTest::TearDown();
    }
};

TEST_F(Folders, DecodingReplacesPlaceholdersAtTheirFirstOccurrenceAndCleansOnlyTheCallersText) {
    const std::pair<const char*, const char*> cases[] = {
        {"%APP%a/%APP%b", "/opt/exp/run/a/%APP%b"}, {"%RESOURCES%x%USER_HOME%y", "/opt/exp/run/Resources/x/home/u/y"},
        {"%USER_SETTING%s", "/home/u/.config/Stimulark/s"}, {"%USER_DOCUMENTS_ROOT%x", "/home/u/Documents/x"},
        {"%USER_DOCUMENTS%x", "/home/u/Documents/Stimulark/x"}, {"%app%x.png", "%app%x.png"}, {"", ""},
        {"data;1,2.txt", "data12.txt"}, {"what?*.png", "what.png"}, {"a\"b<c>d|e", "abcde"}};
    for (const auto& [name, path] : cases)
        EXPECT_EQ(File::decodePath(name), path) << name;
}

// A drive's colon belongs to a Windows path; every other colon is cleaned, and elsewhere that one too.
TEST(Drives, OnlyTheColonOfALeadingDriveLetterStaysAndOnlyOnWindows) {
#ifdef _WIN32
    constexpr bool windows = true;
#else
    constexpr bool windows = false;
#endif
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"D:\\x\\y", "D:/x/y", "D/x/y"}, {"c:/a:b", "c:/ab", "c/ab"}, {"1:/x", "1/x", "1/x"},
        {":x", "x", "x"}, {"x:", "x:", "x"}, {"ab:c", "abc", "abc"}};
    for (const auto& [name, onWindows, elsewhere] : cases)
        EXPECT_EQ(File::decodePath(name), windows ? onWindows : elsewhere) << name;
}

TEST_F(Folders, TimeStampsAreTheLocalSecondOfTheCallAndTheExperimentNameIsNeverRescannedNorStacked) {
    File::experimentName() = "a%EXPNAME_b"; // must not make decoding run forever
    std::time_t now = 0;
    std::string decoded;
    do { // again if a second ends during the call
        now = std::time(nullptr);
        decoded = File::decodePath("logs\\%TIME_.%EXPNAME_%TIME_-%EXPNAME_");
    } while (std::time(nullptr) != now);
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", std::localtime(&now));
    EXPECT_EQ(decoded, "logs/" + std::string(stamp) + ".a%EXPNAME_b" + stamp + "-a%EXPNAME_b");
    File::decodePath("x"); // every decoding rebuilds the sub-folders, never extends them
    EXPECT_EQ(folder(USER_SETTING) + folder(USER_DOCUMENTS),
              "/home/u/.config/Stimulark/a%EXPNAME_b//home/u/Documents/Stimulark/a%EXPNAME_b/");
    File::toolkitFolderName() = "Other"; // the experiment's sub-folder only under the toolkit's own folder name
    File::refreshUserFolders();
    EXPECT_EQ(folder(USER_SETTING), "/home/u/.config/Other/");
}

// Twice the name takes about twice the time. Each size is timed by its best run, the sizes taking turns so that a
// busy spell of the machine slows both. A larger name decoded first lets the memory allocator keep blocks of these
// sizes rather than map each anew, which would time the first touches of fresh memory instead of the decoding.
TEST_F(Folders, DecodingTakesTimeInProportionToTheName) {
    File::experimentName() = "run";
    File::decodePath(std::string(16 << 20, 'a'));
    for (const std::string token : {"%EXPNAME_", "%TIME_"}) {
        std::string names[2];
        for (std::size_t size = 0; size < 2; ++size)
            while (names[size].size() < (size + 1) << 20)
                names[size] += token;
        double best[2] = {1e9, 1e9};
        for (int run = 0; run < 8; ++run)
            for (std::size_t size = 0; size < 2; ++size) {
                const auto start = std::chrono::steady_clock::now();
                File::decodePath(names[size]);
                const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                best[size] = std::min(best[size], took.count());
            }
        std::printf("%s: 1 MB %.4f s, 2 MB %.4f s\n", token.c_str(), best[0], best[1]);
        EXPECT_LT(best[1], 3 * best[0]) << token;
    }
}

// The platform's folders get exactly one trailing "/"; none at all is refused after the application folders are set.
TEST_F(Folders, UserFoldersAreThePlatformsAndWithoutThemInitialisationFails) {
    scripted().exePath = "/exp/a:b;c/program";
    scripted().folders = UserFolders{"/var/lib/account/", "/var/lib/account/.config//", "/srv/papers"};
    File::initializeFolders();
    EXPECT_EQ(File::decodePath("%APP%x:y|%USER_SETTING%"), "/exp/a:b;c/xy/var/lib/account/.config/Stimulark/");
    EXPECT_EQ(folder(USER_HOME) + folder(USER_DOCUMENTS) + folder(USER_DOCUMENTS_ROOT),
              "/var/lib/account//srv/papers/Stimulark//srv/papers/");
    scripted().folders = UserFolders{"/", "/", "/"};
    File::initializeFolders();
    EXPECT_EQ(folder(USER_HOME) + folder(USER_SETTING) + folder(USER_DOCUMENTS_ROOT), "//Stimulark//");
    scripted().folders = std::nullopt;
    scripted().exePath = "/elsewhere/program";
    EXPECT_EQ(failureMessage(&File::initializeFolders), "Stimulark::File [] Failed to get user home path.");
    EXPECT_EQ(folder(RESOURCES), "/elsewhere/Resources/");
}

// A new account's home under the system's temporary folder: its configuration and documents folders are there,
// the toolkit's folders in them not yet.
struct NewAccount : Folders {
    TempFolder home;
    void SetUp() override {
        Folders::SetUp();
        std::filesystem::create_directory(home / ".config");
        std::filesystem::create_directory(home / "Documents");
        scripted().folders = UserFolders{home.root, home / ".config", home / "Documents"};
        File::initializeFolders();
    }
};

// A save through a user folder creates it, the experiment's subfolder included, but nothing above it, nothing the
// rest of the name adds and nothing outside it; a load creates nothing.
TEST_F(NewAccount, SavingThroughAUserFolderCreatesThatFolderOnly) {
    using std::filesystem::exists;
    Image picture(2, 2, RGB, BYTE), loaded;
    EXPECT_EQ(failureMessage([&] { loaded.load("%USER_DOCUMENTS%shot.png"); }), notOpened);
    EXPECT_FALSE(exists(home / "Documents/Stimulark"));
    picture.save("%USER_DOCUMENTS%shot.png");
    loaded.load(home / "Documents/Stimulark/shot.png");
    EXPECT_EQ(imageLines(loaded), imageLines(picture));

    File::experimentName() = "exp";
    EXPECT_EQ(File::decodePathForSaving("%USER_SETTING%sub/x.csv"), home / ".config/Stimulark/exp/sub/x.csv");
    EXPECT_TRUE(std::filesystem::is_directory(home / ".config/Stimulark/exp"));
    EXPECT_FALSE(exists(home / ".config/Stimulark/exp/sub"));
    File::experimentName() = "../../escaped";
    File::decodePathForSaving("%USER_DOCUMENTS%x.csv");
    File::experimentName() = std::string("a\0b", 3);
    File::decodePathForSaving("%USER_DOCUMENTS%x.csv");
    EXPECT_FALSE(exists(home / "escaped") || exists(home / "Documents/Stimulark/a"));

    std::filesystem::remove_all(home / "Documents");
    File::experimentName().clear();
    EXPECT_EQ(failureMessage([&] { picture.save("%USER_DOCUMENTS%shot.png"); }), notOpened);
    EXPECT_EQ(home.entries(), 1);
}

// The executable's folder ends at its last separator of either kind, kept as given.
TEST_F(Folders, TheApplicationFolderIsFoundInWindowsPathsToo) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:/exp/run/prog.exe", "C:/exp/run/"}, {"C:\\exp\\run\\prog.exe", "C:\\exp\\run\\"},
        {"C:\\exp/run\\prog.exe", "C:\\exp/run\\"}, {"C:/exp\\run/prog.exe", "C:/exp\\run/"}, {"prog.exe", ""}};
    for (const auto& [executable, app] : cases) {
        scripted().exePath = executable;
        File::initializeFolders();
        EXPECT_EQ(folder(APP), app) << executable;
        EXPECT_EQ(folder(RESOURCES), std::string(app) + "Resources/") << executable;
    }
}

} // namespace
} // namespace Stimulark::Testing
