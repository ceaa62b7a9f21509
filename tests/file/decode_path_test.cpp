#include "stimulark/file/File.hpp"
#include "support/Scripted.hpp"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using namespace Stimulark;

// Folders found on a scripted machine: the executable in /exp/run, home /home/u.
class DecodePath : public Testing::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        scripted().exePath = "/exp/run/Gyrdex";
        scripted().environment = {{"HOME", "/home/u"}};
        File::initializeFolders();
    }
    void TearDown() override {
        File::experimentName().clear();
        ScriptedTest::TearDown();
    }
};

TEST_F(DecodePath, FolderPlaceholdersAreReplacedAtTheirFirstOccurrence) {
    EXPECT_EQ(File::decodePath("%APP%Gyrdex.png"), "/exp/run/Gyrdex.png");
    EXPECT_EQ(File::decodePath("%APP%a/%APP%b"), "/exp/run/a/%APP%b");
    EXPECT_EQ(File::decodePath("%RESOURCES%x%USER_HOME%y"), "/exp/run/Resources/x/home/u/y");
    EXPECT_EQ(File::decodePath("%USER_SETTING%s"), "/home/u/.config/Stimulark/s");
    EXPECT_EQ(File::decodePath("%USER_DOCUMENTS_ROOT%x"), "/home/u/Documents/x");
    EXPECT_EQ(File::decodePath("%USER_DOCUMENTS%x"), "/home/u/Documents/Stimulark/x");
    EXPECT_EQ(File::decodePath("%app%x.png"), "%app%x.png");
    EXPECT_EQ(File::decodePath(""), "");
}

TEST_F(DecodePath, SeparatorsAndForbiddenCharactersAreTreatedInTheCallersTextOnly) {
    EXPECT_EQ(File::decodePath("data;1,2.txt"), "data12.txt");
    EXPECT_EQ(File::decodePath("what?*.png"), "what.png");
    EXPECT_EQ(File::decodePath("a\"b<c>d|e"), "abcde");
    EXPECT_EQ(File::decodePath("D:\\data\\x.png"), "D/data/x.png");
    scripted().exePath = "/exp/a:b;c/Gyrdex";
    File::initializeFolders();
    EXPECT_EQ(File::decodePath("%APP%x:y"), "/exp/a:b;c/xy");
}

TEST_F(DecodePath, TimeStampsAreTheLocalSecondSharedByOneCall) {
    for (;;) { // again if a second ends during the call
        const std::time_t now = std::time(nullptr);
        const std::string decoded = File::decodePath("logs\\%TIME_.%EXPNAME_%TIME_");
        if (std::time(nullptr) != now)
            continue;
        std::tm local{};
        localtime_r(&now, &local);
        char stamp[64] = {};
        std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
        EXPECT_EQ(decoded, "logs/" + std::string(stamp) + "." + stamp);
        return;
    }
}

TEST_F(DecodePath, TheExperimentNameIsInsertedEverywhereAndNeverRescanned) {
    File::experimentName() = "pilot";
    EXPECT_EQ(File::decodePath("%EXPNAME_-%EXPNAME_.dat"), "pilot-pilot.dat");
    File::experimentName() = "a%EXPNAME_b"; // must not make decoding run forever
    EXPECT_EQ(File::decodePath("%EXPNAME_/%EXPNAME_"), "a%EXPNAME_b/a%EXPNAME_b");
}

} // namespace
