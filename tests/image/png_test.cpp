#include "image/ImageTesting.hpp"

#include "stimulark/file/File.hpp"
#include "stimulark/image/formats/PngBridge.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <random>

namespace Stimulark::Testing {
namespace {

using IMAGE_FORMATS::PNG_BRIDGE;
constexpr int GREY = PNG_COLOR_TYPE_GRAY;
const std::string bridge = "Stimulark::IMAGE_FORMATS::PNG_BRIDGE ";
const std::string notPng = bridge + "[FILE FORMAT ERROR] The requested file is not PNG.";
const std::string notOpened = bridge + "[FILE ACCESS ERROR] Failed to open the requested file.";
const std::string notWritable = bridge + "[FILE FORMAT ERROR] The requested data is not able to be put as a PNG file.";
const std::string unsupported = imageFailure("File Type Error", "Specified image type is not supported.");
const PngPicture grey5x2{.width = 5, .type = GREY, .rows = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}};
const Bytes grey5x2Lines{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
const std::string noRows = pngChunk("IDAT", zlibStream("", 0)) + pngChunk("IEND", ""); // follows a header

// A refused load leaves no bitmap; the sanitizer build's leak check covers every failing path here.
TEST(PngLoad, RefusesOtherNamesAndMissingForeignOrBrokenFiles) {
    TempFolder folder;
    writePng(folder / "good.png", grey5x2);
    const std::string good = readBytes(folder / "good.png");
    std::string badCrc = good, badHeader = good;
    badCrc.at(good.find("IEND") - 5) ^= 0x01; // IDAT's CRC
    badHeader[16] ^= 0x01; // IHDR width, now disagreeing with its CRC
    // The extension is checked first, as written (decoding would turn "p:ng" into "png").
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"picture.PNG", "", unsupported}, {"picture", "", unsupported}, {"picture.png.bak", "", unsupported},
        {"dir.d/picture", "", unsupported}, {"pic.p:ng", "", unsupported}, {"missing.png", "", notOpened},
        {"short.png", "\x89PN", notPng}, {"x.png", "This is plain text, not a picture.\n", notPng},
        {"truncated.png", good.substr(0, good.find("IDAT") + 8), notPng}, {"bad-crc.png", badCrc, notPng},
        {"bad-header.png", badHeader, notPng}};
    for (const auto& [name, bytes, failure] : cases) {
        if (!bytes.empty())
            writeBytes(folder / name, bytes);
        Image image(4, 4, GRAY, FLOAT);
        EXPECT_EQ(failureMessage([&, path = folder / name] { image.load(path); }), failure) << name;
        EXPECT_TRUE(!image.haveBitmap && image.byteBitmap == nullptr && image.floatBitmap == nullptr) << name;
    }
    EXPECT_EQ(failureMessage([] { Image().load(static_cast<const char*>(nullptr)); }), unsupported);
}

// Only a regular file is read, and anything else is refused at once: a FIFO would block the load forever.
TEST(PngLoadDeathTest, ReadsOnlyRegularFiles) {
    TempFolder folder;
    writePng(folder / "real.png", grey5x2);
    ASSERT_EQ(::mkfifo((folder / "fifo.png").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((folder / "folder.png").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("/dev/zero", (folder / "zero.png").c_str()), 0);
    ASSERT_EQ(::symlink("real.png", (folder / "link.png").c_str()), 0);
    auto loads = [&] {
        ::alarm(10); // a blocked load ends this child, not the test program
        for (const char* name : {"fifo.png", "folder.png", "zero.png"}) {
            Image image(2, 2, RGB, BYTE);
            if (failureMessage([&] { image.load(folder / name); }) != notOpened || image.haveBitmap)
                std::_Exit(1);
        }
        Image linked;
        linked.load(folder / "link.png");
        std::_Exit(imageLines(linked) == grey5x2Lines ? 0 : 2);
    };
    EXPECT_EXIT(loads(), testing::ExitedWithCode(0), "");
}

// Restores the read limits that a test changes.
struct LimitsScope {
    PNG_BRIDGE::ReadLimits saved = PNG_BRIDGE::readLimits;
    ~LimitsScope() { PNG_BRIDGE::readLimits = saved; }
};

// The limits count the decoded picture: a palette file decodes to RGBA. Pictures that a program makes
// are not limited.
TEST(PngLoad, RefusesFilesOverTheReadLimits) {
    const LimitsScope scope;
    const PNG_BRIDGE::ReadLimits defaults = PNG_BRIDGE::readLimits, small{64, 64, 120};
    const std::tuple<PNG_BRIDGE::ReadLimits, png_uint_32, png_uint_32, int, bool> cases[] = {
        {defaults, 16384, 1, GREY, true}, {defaults, 16385, 1, GREY, false}, {defaults, 1, 16385, GREY, false},
        {small, 10, 10, GREY, true}, {small, 10, 11, GREY, false}, {small, 65, 1, GREY, false},
        {small, 1, 65, GREY, false}, {small, 3, 10, PNG_COLOR_TYPE_RGB, true},
        {small, 3, 10, PNG_COLOR_TYPE_GRAY_ALPHA, true}, {small, 4, 8, PNG_COLOR_TYPE_PALETTE, false}};
    TempFolder folder;
    for (const auto& [limits, width, height, type, loads] : cases) {
        SCOPED_TRACE(testing::Message() << width << " x " << height << " type " << type << " within " << limits.maxWidth
                                        << " x " << limits.maxHeight << ", " << limits.maxBytes << " bytes");
        const int channels = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
        const std::vector<png_color> palette(type == PNG_COLOR_TYPE_PALETTE ? 1 : 0, png_color{1, 2, 3});
        const std::vector rows(height, Bytes(width * channels));
        writePng(folder / "p.png", {.width = width, .type = type, .palette = palette, .rows = rows});
        PNG_BRIDGE::readLimits = limits;
        Image image;
        EXPECT_EQ(failureMessage([&] { image.load(folder / "p.png"); }), loads ? "no failure" : notPng);
        EXPECT_EQ(image.haveBitmap, loads);
    }
    // 46340 x 46340 grey, declared by a 70-byte file.
    PNG_BRIDGE::readLimits = defaults;
    writeBytes(folder / "huge.png", pngHeader(46340, 46340, GREY) + noRows);
    Image image;
    EXPECT_EQ(failureMessage([&] { image.load(folder / "huge.png"); }), notPng);
    PNG_BRIDGE::readLimits = {1, 1, 1};
    EXPECT_EQ(failureMessage([] { Image(100, 100, RGBA, BYTE); }), "no failure");
}

// A file declaring a gibibyte picture with no rows is refused without touching the picture's memory:
// neither clearing it nor zeroing its row padding, which takes one page per row here.
TEST(PngLoad, TouchesNoPictureMemoryBeforeItsRowsArrive) {
    TempFolder folder;
    writeBytes(folder / "empty.png", pngHeader(4093, 262144, GREY) + noRows);
    const pid_t child = ::fork();
    if (child == 0) {
        PNG_BRIDGE::readLimits = {4093, 262144, 1 << 30};
        Image image;
        std::_Exit(failureMessage([&] { image.load(folder / "empty.png"); }) == notPng ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024); // kilobytes: half the bitmap
}

// Compressed data after the last row is read only up to a small allowance, so the picture loads at once
// however much follows; a damaged stream within the rows is still refused.
TEST(PngLoad, StopsReadingCompressedDataAfterTheLastRow) {
    const std::string rows = std::string("\0\1\2\3\4\5", 6) + std::string("\0\6\7\x08\x09\x0A", 6);
    const std::tuple<const char*, int, bool> cases[] = {
        {"no surplus", 0, false}, {"1 MiB surplus", 1, false}, {"256 MiB surplus", 256, false},
        {"damaged rows", 256, true}};
    TempFolder folder;
    for (const auto& [what, mebibytes, damaged] : cases) {
        SCOPED_TRACE(what);
        std::string stream = zlibStream(rows, mebibytes);
        if (damaged)
            stream[2] |= 0x06; // the first block's type becomes the reserved one
        writeBytes(folder / "p.png", pngHeader(5, 2, GREY) + pngChunk("IDAT", stream) + pngChunk("IEND", ""));
        const int descriptor = ::open((folder / "p.png").c_str(), O_RDONLY);
        Image image;
        // The duplicate shares the file offset, which shows how far the reading went.
        EXPECT_EQ(failureMessage([&] { PNG_BRIDGE().loadStream(::fdopen(::dup(descriptor), "rb"), image); }),
                  damaged ? notPng : "no failure");
        EXPECT_EQ(imageLines(image), damaged ? Bytes() : grey5x2Lines);
        EXPECT_LT(::lseek(descriptor, 0, SEEK_CUR), 64 * 1024);
        ::close(descriptor);
    }
}

// Every file becomes 8-bit GRAY, RGB or RGBA, top line first, each load replacing the bitmap before it.
TEST(PngLoad, ReadsEveryFormatUprightAsEightBit) {
    const std::vector<png_color> colors{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const std::tuple<const char*, PngPicture, PixelComponents, int, Bytes> cases[] = {
        {"RGBA", {.width = 3, .type = PNG_COLOR_TYPE_RGB_ALPHA,
                  .rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}}},
         RGBA, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}},
        {"grey", grey5x2, GRAY, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        // Sixteen-bit samples are rounded, not truncated: 0x12FF gives 19.
        {"16-bit", {.width = 2, .depth = 16, .rows = {{0x12, 0xFF, 0, 0, 0xFF, 0xFF, 0x80, 0x80, 0x7F, 0x80, 1, 0}}},
         RGB, 8, {19, 0, 255, 128, 127, 1}},
        {"grey-alpha", {.width = 2, .type = PNG_COLOR_TYPE_GRAY_ALPHA, .rows = {{10, 20, 30, 40}}},
         RGBA, 8, {10, 10, 10, 20, 30, 30, 30, 40}},
        // Two-bit indices 0, 1, 2; tRNS covers only the first two entries.
        {"palette", {.width = 3, .type = PNG_COLOR_TYPE_PALETTE, .depth = 2, .palette = colors, .alpha = {0, 128},
                     .rows = {{0x18}}}, RGBA, 12, {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}},
        {"2-bit grey", {.width = 5, .type = GREY, .depth = 2, .rows = {{0x1B, 0x40}}}, GRAY, 8, {0, 85, 170, 255, 85}},
        {"grey tRNS", {.width = 2, .type = GREY, .transparent = png_color_16{0, 0, 0, 0, 7}, .rows = {{7, 8}}},
         RGBA, 8, {7, 7, 7, 0, 8, 8, 8, 255}},
        {"interlaced", {.width = 5, .type = GREY, .interlace = PNG_INTERLACE_ADAM7, .rows = grey5x2.rows},
         GRAY, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}};
    TempFolder folder;
    std::string& app = File::pathIds()[File::APP].path;
    const std::string previous = std::exchange(app, folder.root + "/");
    Image image(10, 10, GRAY, FLOAT);
    for (const auto& [what, picture, components, lineBytes, lines] : cases) {
        SCOPED_TRACE(what);
        writePng(folder / "p.png", picture);
        image.load("%APP%p.png");
        EXPECT_EQ(std::tuple(image.width, image.height, image.components, image.precision, image.lineBytes),
                  std::tuple(int(picture.width), int(picture.rows.size()), components, BYTE, lineBytes));
        EXPECT_EQ(imageLines(image), lines);
        EXPECT_EQ(image.getPixel(0, 0).r, lines[0] / 255.0); // top-left
        const Bytes bitmap(image.byteBitmap, image.byteBitmap + image.bitmapBytes);
        EXPECT_EQ(std::count(bitmap.begin(), bitmap.end(), 0), std::count(lines.begin(), lines.end(), 0) +
                  image.height * (image.lineBytes - image.width * image.pixelBytes)) << "row padding zeroed";
    }
    app = previous;
}

// A program's save takes the names load takes, placeholders resolved; a refused name writes nothing.
TEST(ImageSave, RoundTripsThroughTheNamesLoadTakes) {
    TempFolder folder;
    std::string& app = File::pathIds()[File::APP].path;
    const std::string previous = std::exchange(app, folder.root + "/");
    Image original(3, 2, RGB, BYTE), reread;
    for (int i = 0; i < 6; ++i)
        original.setPixel(i % 3, i / 3, Color(i / 5.0, 0.5, 1.0 - i / 5.0, 1.0));
    original.save("%APP%saved.png");
    reread.load(folder / "saved.png");
    EXPECT_EQ(imageLines(reread), imageLines(original));
    EXPECT_EQ(failureMessage([&] { original.save("%APP%saved.PNG"); }), unsupported);
    EXPECT_EQ(failureMessage([&] { original.save(static_cast<const char*>(nullptr)); }), unsupported);
    EXPECT_EQ(folder.entries(), 1);
    app = previous;
}

// A save renames a temporary file over the old one; a refused one leaves the old file
// as it was and no temporary file beside it.
TEST(PngSaveDeathTest, ReplacesTheOldFileOnlyWithACompletePicture) {
    TempFolder folder;
    const std::string path = folder / "out.png";
    writeBytes(path, "old contents");
    ASSERT_EQ(::chmod(folder.root.c_str(), 0755), 0);
    for (const auto& [components, colorType] : {std::pair{GRAY, '\0'}, {RGB, '\2'}, {RGBA, '\6'}}) {
        SCOPED_TRACE(testing::Message() << "layout " << components);
        Image image(5, 3, components, BYTE), reread;
        for (int i = 0; i < image.bitmapBytes; ++i)
            image.byteBitmap[i] = static_cast<std::uint8_t>(7 * i + 1);
        PNG_BRIDGE().save(path.c_str(), image);
        EXPECT_EQ(readBytes(path).substr(24, 5), (std::string{8, colorType, 0, 0, 0})); // IHDR: 8-bit, no interlace
        reread.load(path);
        EXPECT_EQ(imageLines(reread), imageLines(image));
    }
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0); // writable for the unprivileged child below
    const std::string saved = readBytes(path);
    Image floats(4, 4, RGB, FLOAT), empty, noise(256, 256, RGB, BYTE);
    std::generate(noise.byteBitmap, noise.byteBitmap + noise.bitmapBytes, std::mt19937(7));
    auto refusal = [&](Image& image) { return failureMessage([&] { PNG_BRIDGE().save(path.c_str(), image); }); };
    EXPECT_EQ(refusal(floats), notWritable);
    EXPECT_EQ(refusal(empty), notWritable);
    auto fullDisk = [&] { // stood in for by a file-size limit, whose signal must neither end the program
        const rlimit small{4096, 4096}; // nor stay ignored after the save
        const bool refused = ::setrlimit(RLIMIT_FSIZE, &small) == 0 && refusal(noise) == notWritable;
        std::_Exit(refused && std::signal(SIGXFSZ, SIG_DFL) == SIG_DFL ? 0 : 1);
    };
    EXPECT_EXIT(fullDisk(), testing::ExitedWithCode(0), "");
    auto unwritableFolder = [&] { // root may write anywhere, so drops to an unprivileged user
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            std::_Exit(2);
        std::_Exit(refusal(noise) == notOpened ? 0 : 1);
    };
    ASSERT_EQ(::chmod(folder.root.c_str(), 0555), 0);
    EXPECT_EXIT(unwritableFolder(), testing::ExitedWithCode(0), "");
    ::chmod(folder.root.c_str(), 0755);
    EXPECT_TRUE(readBytes(path) == saved);
    EXPECT_EQ(folder.entries(), 1);
}

// A save writes where the path leads: a link's target is replaced and the link kept, a file with other
// names is rewritten in place, and a FIFO or a character device is written through, never replaced. A
// replaced file keeps its mode, owner and group.
TEST(PngSave, WritesWhereThePathLeads) {
    TempFolder folder;
    auto path = [&](const char* name) { return folder / name; };
    Image image(5, 3, RGB, BYTE);
    std::generate(image.byteBitmap, image.byteBitmap + image.bitmapBytes, std::mt19937(3));
    auto save = [&](const char* name) { return failureMessage([&] { PNG_BRIDGE().save(path(name).c_str(), image); }); };
    EXPECT_EQ(save("new.png"), "no failure");
    const std::string png = readBytes(path("new.png"));
    writeBytes(path("real.png"), "old");
    writeBytes(path("a.png"), "old");
    // Giving a file to another user needs root: elsewhere the file keeps its owner anyway.
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::chmod(path("real.png").c_str(), 0640), 0);
    if (root) {
        ASSERT_EQ(::chown(path("real.png").c_str(), 4321, 8765), 0);
    }
    for (const auto& [link, target] : {std::pair{"link.png", "real.png"}, {"null.png", "/dev/null"},
                                       {"dangling.png", "made.png"}, {"loop.png", "loop.png"}})
        ASSERT_EQ(::symlink(target, path(link).c_str()), 0);
    ASSERT_EQ(::link(path("a.png").c_str(), path("b.png").c_str()), 0);
    ASSERT_EQ(::mkfifo(path("fifo.png").c_str(), 0600), 0);
    for (const auto& [name, result] : {std::pair{"link.png", "no failure"}, {"dangling.png", "no failure"},
                                       {"loop.png", notOpened.c_str()}, {"b.png", "no failure"},
                                       {"null.png", "no failure"}})
        EXPECT_EQ(save(name), result) << name;
    std::error_code notALink;
    EXPECT_EQ(std::filesystem::read_symlink(path("link.png"), notALink), "real.png");
    EXPECT_TRUE(readBytes(path("real.png")) == png);
    struct stat replaced {};
    ASSERT_EQ(::stat(path("real.png").c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(std::pair(replaced.st_uid, replaced.st_gid), std::pair(4321u, 8765u));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(path("dangling.png")) && readBytes(path("made.png")) == png);
    EXPECT_TRUE(readBytes(path("a.png")) == png && std::filesystem::hard_link_count(path("a.png")) == 2);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null") && std::filesystem::is_symlink(path("null.png")));
    EXPECT_EQ(save("fifo.png"), notOpened); // no reader: refused at once rather than waiting for one
    const int reader = ::open(path("fifo.png").c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(save("fifo.png"), "no failure"); // the picture fits the pipe's buffer
    std::string piped(png.size() + 1, '\0');
    piped.resize(std::max<ssize_t>(::read(reader, piped.data(), piped.size()), 0));
    ::close(reader);
    EXPECT_TRUE(piped == png && std::filesystem::is_fifo(path("fifo.png")));
    if (::symlink("/dev/full", path("full.png").c_str()) == 0 && std::filesystem::is_character_file("/dev/full")) {
        EXPECT_EQ(save("full.png"), notWritable);
    }
    EXPECT_EQ(folder.entries(), 11); // and no temporary file
}

} // namespace
} // namespace Stimulark::Testing
