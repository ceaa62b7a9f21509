#include "stimulark/platform/sdl/XdgFolders.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace Stimulark {
namespace {

// A scripted process: its environment and its account's home folder.
struct Account {
    std::vector<std::pair<std::string, std::string>> environment;
    std::optional<std::string> home;

    std::optional<UserFolders> folders() const {
        return Xdg::userFolders(
            [this](const char* name) -> std::optional<std::string> {
                for (const auto& [key, value] : environment)
                    if (key == name)
                        return value;
                return std::nullopt;
            },
            [this] { return home; });
    }
};

std::string described(const std::optional<UserFolders>& folders) {
    return folders ? folders->home + " | " + folders->settings + " | " + folders->documents : "none";
}

// A configuration folder of the test's own, removed afterwards.
class XdgConfig : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(config); }
    void TearDown() override { std::filesystem::remove_all(config); }
    void write(const std::string& text) const { std::ofstream(config + "/user-dirs.dirs") << text; }

    const std::string config = ::testing::TempDir() + "stimulark-config-" + std::to_string(getpid());
};

// XDG_CONFIG_HOME and its user-dirs.dirs decide, unless the variable is not an absolute path.
TEST_F(XdgConfig, SettingsAndDocumentsComeFromTheConfigurationFolderAndItsUserDirsFile) {
    write("XDG_DESKTOP_DIR=\"$HOME/Desk\"\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    Account account{{{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", config}}, "/var/lib/account"};
    EXPECT_EQ(described(account.folders()), "/home/u | " + config + " | /home/u/Papers");
    account.environment[1].second = config + "//";
    write("XDG_DOCUMENTS_DIR=\"${HOME}/Papers/\"\n");
    EXPECT_EQ(described(account.folders()), "/home/u | " + config + " | /home/u/Papers");
    write("XDG_DOCUMENTS_DIR=\"Papers\"\n");
    EXPECT_EQ(described(account.folders()), "/home/u | " + config + " | /home/u/Documents");
    account.environment[1].second = "relative/config";
    EXPECT_EQ(described(account.folders()), "/home/u | /home/u/.config | /home/u/Documents");
}

// An unset or empty HOME falls back to the account; without either there are no folders.
TEST(XdgFolders, TheHomeFolderIsHomeElseTheAccountsAndWithoutEitherThereAreNoFolders) {
    Account account{{{"HOME", "/home/u"}}, "/var/lib/account/"};
    EXPECT_EQ(described(account.folders()), "/home/u | /home/u/.config | /home/u/Documents");
    account.environment = {{"HOME", ""}, {"XDG_CONFIG_HOME", "relative/config"}};
    EXPECT_EQ(described(account.folders()),
              "/var/lib/account | /var/lib/account/.config | /var/lib/account/Documents");
    account.environment.clear();
    EXPECT_EQ(described(account.folders()),
              "/var/lib/account | /var/lib/account/.config | /var/lib/account/Documents");
    account.home = "";
    EXPECT_EQ(described(account.folders()), "none");
    account.home = std::nullopt;
    EXPECT_EQ(described(account.folders()), "none");
    account.environment = {{"HOME", ""}};
    EXPECT_EQ(described(account.folders()), "none");
    account.environment = {{"HOME", "/"}};
    EXPECT_EQ(described(account.folders()), "/ | /.config | /Documents");
}

TEST(XdgFolders, TheDocumentsEntryIsReadAsTheShellWouldWithHomeExpanded) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Papers\"", "/home/u/Papers"},
        {"XDG_DOCUMENTS_DIR=\"${HOME}/Papers\"", "/home/u/Papers"},
        {"XDG_DOCUMENTS_DIR=$HOME/Papers  # bare", "/home/u/Papers"},
        {"  \tXDG_DOCUMENTS_DIR=\"/srv$HOME\"", "/srv/home/u"},
        {"XDG_DOCUMENTS_DIR=\"$HOMEWORK/x\"", std::nullopt},
        {"XDG_DOCUMENTS_DIR=\"/x/$HOMEWORK\"", "/x/$HOMEWORK"},
        {"XDG_DOCUMENTS_DIR=\"/a b/\\$HOME/\\\"q\\\"/\\n\"", "/a b/$HOME/\"q\"/\\n"},
        {"XDG_DOCUMENTS_DIR=\"/first\"\nXDG_DOCUMENTS_DIR=\"/second\"", "/second"},
        {"XDG_DOCUMENTS_DIR=\"/first\"\nXDG_DOCUMENTS_DIR=\"relative\"", std::nullopt},
        {"XDG_DOCUMENTS_DIR=\"/unclosed", std::nullopt},
        {"# XDG_DOCUMENTS_DIR=\"/commented\"", std::nullopt},
        {"XDG_DESKTOP_DIR=\"/desk\"", std::nullopt},
        {"", std::nullopt}};
    for (const auto& [text, documents] : cases)
        EXPECT_EQ(Xdg::documentsEntry(text, "/home/u/"), documents) << text;
}

} // namespace
} // namespace Stimulark
