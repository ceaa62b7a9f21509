#include "stimulark/file/File.hpp"
#include "support/Scripted.hpp"

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>

namespace Stimulark::Testing {
namespace {

using enum File::PathId;
const std::string& folder(File::PathId id) { return File::pathIds()[id].path; }

// A scripted machine: the executable in /opt/exp/run, HOME /home/u.
struct Folders : ScriptedTest {
    void SetUp() override {
        ScriptedTest::SetUp();
        scripted().exePath = "/opt/exp/run/Gyrdex";
        scripted().environment = {{"HOME", "/home/u"}};
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
        {"data;1,2.txt", "data12.txt"}, {"what?*.png", "what.png"}, {"a\"b<c>d|e", "abcde"}, {"D:\\x\\y", "D/x/y"}};
    for (const auto& [name, path] : cases)
        EXPECT_EQ(File::decodePath(name), path) << name;
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

// An empty HOME falls back to the account; no home at all is refused after the application folders are set.
// XDG_CONFIG_HOME and its user-dirs.dirs decide, unless the variable is not an absolute path.
TEST_F(Folders, HomeAndConfigurationFoldersComeFromTheEnvironmentTheAccountOrTheUserDirsFile) {
    const std::string config = testing::TempDir() + "stimulark-config-" + std::to_string(getpid());
    std::filesystem::create_directories(config);
    std::ofstream(config + "/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Desk\"\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
    scripted().environment.emplace_back("XDG_CONFIG_HOME", config);
    File::initializeFolders();
    std::filesystem::remove_all(config);
    EXPECT_EQ(folder(USER_SETTING) + folder(USER_DOCUMENTS) + folder(USER_DOCUMENTS_ROOT),
              config + "/Stimulark//home/u/Papers/Stimulark//home/u/Papers/");
    scripted().exePath = "/exp/a:b;c/program";
    scripted().environment = {{"HOME", ""}, {"XDG_CONFIG_HOME", "relative/config"}};
    scripted().accountHome = "/var/lib/account/";
    File::initializeFolders();
    EXPECT_EQ(File::decodePath("%APP%x:y|%USER_SETTING%"), "/exp/a:b;c/xy/var/lib/account/.config/Stimulark/");
    scripted().accountHome = std::nullopt;
    scripted().exePath = "/elsewhere/program";
    EXPECT_EQ(failureMessage(&File::initializeFolders), "Stimulark::File [] Failed to get user home path.");
    EXPECT_EQ(folder(RESOURCES), "/elsewhere/Resources/");
}

} // namespace
} // namespace Stimulark::Testing
