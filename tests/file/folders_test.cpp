#include "stimulark/app/Exception.hpp"
#include "stimulark/file/File.hpp"
#include "stimulark/file/UserDirs.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace Stimulark;

std::array<std::string, 6> folders() {
    std::array<std::string, 6> paths;
    for (std::size_t i = 0; i < paths.size(); ++i)
        paths[i] = File::pathIds()[i].path;
    return paths;
}

// A scripted machine: the executable in /opt/exp/run, HOME /home/u, a temp folder.
class Folders : public Testing::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        char pattern[] = "/tmp/stimulark-folders-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp = pattern;
        scripted().exePath = "/opt/exp/run/Gyrdex";
        scripted().accountHome = std::nullopt;
        scripted().environment = {{"HOME", "/home/u"}};
    }
    void TearDown() override {
        std::filesystem::remove_all(temp);
        File::experimentName().clear();
        File::toolkitFolderName() = "Stimulark";
        ScriptedTest::TearDown();
    }

    std::string temp;
};

TEST_F(Folders, DefaultsFollowTheExecutableAndTheHomeFolder) {
    File::initializeFolders();
    EXPECT_EQ(folders(), (std::array<std::string, 6>{"/opt/exp/run/", "/opt/exp/run/Resources/", "/home/u/",
                                                     "/home/u/.config/Stimulark/", "/home/u/Documents/Stimulark/",
                                                     "/home/u/Documents/"}));
    scripted().exePath = "program";
    scripted().environment = {{"HOME", ""}}; // an empty HOME is no home
    scripted().accountHome = "/var/lib/account/";
    File::initializeFolders();
    EXPECT_EQ(folders()[File::APP], "");
    EXPECT_EQ(folders()[File::RESOURCES], "Resources/");
    EXPECT_EQ(folders()[File::USER_HOME], "/var/lib/account/");
    EXPECT_EQ(folders()[File::USER_SETTING], "/var/lib/account/.config/Stimulark/");
}

TEST_F(Folders, NoHomeAtAllIsAFailureRaisedAfterTheApplicationFolders) {
    scripted().environment.clear();
    scripted().exePath = "/elsewhere/program";
    try {
        File::initializeFolders();
        ADD_FAILURE() << "no failure";
    } catch (const Exception& failure) {
        EXPECT_EQ(failure.fullMessage(), "Stimulark::File [] Failed to get user home path.");
    }
    EXPECT_EQ(folders()[File::RESOURCES], "/elsewhere/Resources/");
}

TEST_F(Folders, TheConfigurationFolderAndItsUserDirsFileDecide) {
    scripted().environment.emplace_back("XDG_CONFIG_HOME", temp);
    std::ofstream(temp + "/user-dirs.dirs") << "# written by the desktop\n"
                                               "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                               "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
    File::initializeFolders();
    EXPECT_EQ(folders()[File::USER_SETTING], temp + "/Stimulark/");
    EXPECT_EQ(folders()[File::USER_DOCUMENTS], "/home/u/Papers/Stimulark/");
    EXPECT_EQ(folders()[File::USER_DOCUMENTS_ROOT], "/home/u/Papers/");

    scripted().environment.back().second = "relative/config"; // not valid for this variable
    File::initializeFolders();
    EXPECT_EQ(folders()[File::USER_SETTING], "/home/u/.config/Stimulark/");
}

TEST(UserDirs, TheDocumentsEntryIsReadAsTheShellWouldWithHomeExpanded) {
    const auto entry = [](const std::string& text) { return UserDirs::documentsEntry(text, "/home/u"); };
    EXPECT_EQ(entry("XDG_DOCUMENTS_DIR=\"$HOME/Docs\""), "/home/u/Docs");
    EXPECT_EQ(entry("XDG_DOCUMENTS_DIR=\"${HOME}/Docs\"\n"), "/home/u/Docs");
    EXPECT_EQ(entry("  XDG_DOCUMENTS_DIR=\"/srv/shared docs\"\r\n"), "/srv/shared docs");
    EXPECT_EQ(entry("XDG_DOCUMENTS_DIR=$HOME/bare # comment"), "/home/u/bare");
    EXPECT_EQ(entry("XDG_DOCUMENTS_DIR=\"$HOME/a\"\nXDG_DOCUMENTS_DIR=\"$HOME/b\""), "/home/u/b");
    EXPECT_EQ(entry("XDG_DOCUMENTS_DIR=\"/x/\\\"q\\\" \\$HOME \\n\""), "/x/\"q\" $HOME \\n");
    EXPECT_EQ(UserDirs::documentsEntry("XDG_DOCUMENTS_DIR=\"$HOME/D\"", "/"), "/D");
    for (const char* unusable : {"", "# XDG_DOCUMENTS_DIR=\"/x\"", "XDG_DOCUMENTS_DIR=\"$HOMEWORK/D\"",
                                 "XDG_DOCUMENTS_DIR=\"$HOME/unclosed", "XDG_DOCUMENTS_DIR=\"\"", "XDG_DOCUMENTS_DIRS=/x"})
        EXPECT_EQ(entry(unusable), std::nullopt) << unusable;
}

TEST_F(Folders, TheExperimentSubFolderOnlyUnderTheToolkitsOwnFolderName) {
    File::initializeFolders();
    File::experimentName() = "pilot";
    for (int i = 0; i < 3; ++i)
        File::decodePath("x"); // every decoding rebuilds, never extends
    EXPECT_EQ(folders()[File::USER_SETTING], "/home/u/.config/Stimulark/pilot/");
    EXPECT_EQ(folders()[File::USER_DOCUMENTS], "/home/u/Documents/Stimulark/pilot/");

    File::toolkitFolderName() = "Other";
    File::refreshUserFolders();
    EXPECT_EQ(folders()[File::USER_SETTING], "/home/u/.config/Other/");
}

TEST(FoldersDeathTest, UserFoldersStayEmptyUntilTheFoldersAreFound) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process: nothing found yet
    EXPECT_EXIT(std::exit(File::decodePath("%USER_SETTING%a%USER_DOCUMENTS%b") == "ab" ? 0 : 1),
                testing::ExitedWithCode(0), "");
}

} // namespace
