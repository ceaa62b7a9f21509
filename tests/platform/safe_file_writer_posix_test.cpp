// Files whose access list and user attributes a save keeps: what Linux has and Windows has not (POSIX ACLs,
// extended attributes).

#include "image/ImageTesting.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

namespace Stimulark::Testing {
namespace {

constexpr uid_t nobody = 65534;
const bool root = ::geteuid() == 0;

// Runs save in a child process, as the unprivileged user 65534 when asked and the test runs as root; the
// child exits 0 when the save succeeded.
pid_t saveInChild(const std::function<void()>& save, bool unprivileged = false) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (unprivileged && root && (::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            std::_Exit(2);
        std::_Exit(failureMessage(save) == "no failure" ? 0 : 1);
    }
    return child;
}

int waitFor(pid_t child) {
    int status = 0;
    return ::waitpid(child, &status, 0) == child ? status : -1;
}

std::string output(const std::string& command) {
    std::string text;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, got);
        ::pclose(pipe);
    }
    return text;
}

// Who may use a file, as its access list and its user attributes say it.
std::string accessAndAttributes(const std::string& path) {
    return output("getfacl -n -p '" + path + "' 2>&1; getfattr -d --absolute-names '" + path + "' 2>&1");
}

// A save keeps the access list, which says who else may write the file (with its mask in the mode's group
// bits), or the lack of one, and the user attributes. Where the new file cannot take them, because the saving
// user is granted writing by the list but is not the owner, or may not read an attribute, the file is
// rewritten in place.
TEST(SaveAttributes, AccessListAndUserAttributesStay) {
    if (std::system("{ command -v getfacl && command -v setfacl && command -v getfattr; } >/dev/null") != 0)
        GTEST_SKIP() << "getfacl, setfacl or getfattr is missing: scripts/setup installs the packages acl and attr";
    TempFolder folder;
    ASSERT_EQ(::chmod(folder.root.c_str(), 0755) | (root ? ::chown(folder.root.c_str(), nobody, nobody) : 0), 0);
    Image picture(5, 3, RGB, BYTE);
    std::generate(picture.byteBitmap, picture.byteBitmap + picture.bitmapBytes, std::mt19937(3));
    PNG_BRIDGE().save((folder / "new.png").c_str(), picture);
    const std::string png = readBytes(folder / "new.png");
    auto run = [&](const std::string& commands) {
        return std::system(("cd '" + folder.root + "' && " + commands + " >/dev/null 2>&1").c_str()) == 0;
    };
    for (const char* name : {"owned.png", "plain.png", "granted.png", "unreadable.png"})
        writeBytes(folder / name, "old");
    if (!run("chmod 640 owned.png plain.png granted.png && setfacl -m u:65534:rw owned.png granted.png"))
        GTEST_SKIP() << "the file system under " << folder.root << " refuses access lists";
    if (!run("setfattr -n user.origin -v lab owned.png && setfattr -n user.run -v 7 owned.png"))
        GTEST_SKIP() << "the file system under " << folder.root << " refuses user attributes";
    std::map<std::string, bool> saves{{"owned.png", false}, {"plain.png", false}};
    if (root) {
        ASSERT_TRUE(run("setfattr -n user.origin -v lab granted.png && setfattr -n user.origin -v lab unreadable.png "
                        "&& chmod 200 unreadable.png && chown 65534:65534 unreadable.png"));
        saves.insert({{"granted.png", true}, {"unreadable.png", true}});
    }
    // A default list for the folder, which every file made there takes, and a saved file without a list must not.
    ASSERT_TRUE(run("setfacl -d -m u:65534:rw ."));
    for (const auto& [name, unprivileged] : saves) {
        const std::string path = folder / name, before = accessAndAttributes(path);
        EXPECT_EQ(waitFor(saveInChild([&] { PNG_BRIDGE().save(path.c_str(), picture); }, unprivileged)), 0) << name;
        EXPECT_EQ(accessAndAttributes(path), before) << name;
        EXPECT_EQ(readBytes(path), png) << name;
    }
    EXPECT_EQ(folder.entries(), 5);
}

} // namespace
} // namespace Stimulark::Testing
