#include "stimulark/platform/sdl/XdgFolders.hpp"

#include "stimulark/platform/Backend.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace Stimulark {
namespace {

using Text = std::optional<std::string>;

// A configuration folder of the test's own, removed afterwards.
class XdgConfig : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(config); }
    void TearDown() override { std::filesystem::remove_all(config); }

    const std::string config = ::testing::TempDir() + "stimulark-config-" + std::to_string(getpid());
};

// HOME, else the account's home folder (without either there are no folders); XDG_CONFIG_HOME unless it is not
// an absolute path, its user-dirs.dirs naming the documents folder when that is absolute.
TEST_F(XdgConfig, FoldersComeFromHomeElseTheAccountAndFromTheConfigurationFolder) {
    const std::string account = "/var/lib/account", papers = "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
    const std::string fromHome = "/home/u | /home/u/.config | /home/u/Documents",
                      fromAccount = account + " | " + account + "/.config | " + account + "/Documents";
    const std::string inConfig = "/home/u | " + config + " | /home/u/";
    // HOME, XDG_CONFIG_HOME, the account's home, user-dirs.dirs, the folders.
    const std::tuple<Text, Text, Text, std::string, std::string> cases[] = {
        {"/home/u", config, account, "XDG_DESKTOP_DIR=\"$HOME/Desk\"\n" + papers, inConfig + "Papers"},
        {"/home/u", config + "//", account, "XDG_DOCUMENTS_DIR=\"${HOME}/Papers/\"\n", inConfig + "Papers"},
        {"/home/u", config, account, "XDG_DOCUMENTS_DIR=\"Papers\"\n", inConfig + "Documents"},
        {"/home/u", "relative/config", account, papers, fromHome},
        {"/home/u", std::nullopt, account + "/", papers, fromHome},
        {"", "relative/config", account + "/", papers, fromAccount},
        {std::nullopt, std::nullopt, account + "/", papers, fromAccount},
        {std::nullopt, std::nullopt, "", papers, "none"},
        {std::nullopt, std::nullopt, std::nullopt, papers, "none"},
        {"", std::nullopt, std::nullopt, papers, "none"},
        {"/", std::nullopt, std::nullopt, papers, "/ | /.config | /Documents"}};
    for (const auto& [home, configHome, accountHome, file, expected] : cases) {
        std::ofstream(config + "/user-dirs.dirs") << file;
        const auto variable = [&](std::string_view name) {
            return name == "HOME" ? home : name == "XDG_CONFIG_HOME" ? configHome : Text();
        };
        const std::optional<UserFolders> folders = Xdg::userFolders(variable, [&] { return accountHome; });
        EXPECT_EQ(folders ? folders->home + " | " + folders->settings + " | " + folders->documents : "none", expected)
            << "HOME " << home.value_or("unset") << ", XDG_CONFIG_HOME " << configHome.value_or("unset") << ", account "
            << accountHome.value_or("none");
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool addressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool addressSanitizer = true;
#else
constexpr bool addressSanitizer = false;
#endif
#else
constexpr bool addressSanitizer = false;
#endif

// Every program reads the file at start-up: a FIFO (which would hang it), a link to /dev/zero (which would fill
// memory) and a file over 64 KiB count as missing. Start-up runs in a child that must end within 5 s.
TEST_F(XdgConfig, OnlyASmallRegularFileIsRead) {
    const std::string file = config + "/user-dirs.dirs", entry = "XDG_DOCUMENTS_DIR=\"/srv/papers\"\n";
    const auto documentsInChild = [&] {
        int out[2];
        if (::pipe(out) != 0)
            return std::string("no pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            ::setenv("HOME", "/home/u", 1);
            ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            // AddressSanitizer's shadow takes terabytes of address space; there the 5 s limit alone catches a
            // read that fills memory.
            if (!addressSanitizer) {
                const rlimit memory{512u << 20, 512u << 20};
                ::setrlimit(RLIMIT_AS, &memory);
            }
            const std::optional<UserFolders> folders = createNativePlatform()->userFolders();
            const std::string documents = folders ? folders->documents : "none";
            ::write(out[1], documents.data(), documents.size());
            ::_exit(0);
        }
        ::close(out[1]);
        int status = 0;
        for (int waited = 0; waited < 500 && ::waitpid(child, &status, WNOHANG) == 0; ++waited)
            ::usleep(10'000);
        if (::waitpid(child, &status, WNOHANG) == 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ::close(out[0]);
            return std::string("still reading after 5 s");
        }
        char buffer[256];
        const ssize_t got = ::read(out[0], buffer, sizeof buffer);
        ::close(out[0]);
        return WIFEXITED(status) ? std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0)
                                 : std::string("ended by signal ") + std::to_string(WTERMSIG(status));
    };
    std::ofstream(file) << entry << std::string(Xdg::userDirsLimit - entry.size(), '#');
    EXPECT_EQ(documentsInChild(), "/srv/papers") << "64 KiB";
    std::ofstream(file, std::ios::app) << '#';
    EXPECT_EQ(documentsInChild(), "/home/u/Documents") << "one byte over";
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(documentsInChild(), "/home/u/Documents") << "a FIFO";
    std::filesystem::remove(file);
    std::filesystem::create_symlink("/dev/zero", file);
    EXPECT_EQ(documentsInChild(), "/home/u/Documents") << "a link to /dev/zero";
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
