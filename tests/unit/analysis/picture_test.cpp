// Picture files: the format chosen from the name, and what the encoders
// write, decoded again.

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis/picture.h"
#include "scratch_dir.h"

namespace {

using namespace analysis;
namespace fs = std::filesystem;

TEST(PictureTarget, ExtensionsInAnyCaseChooseTheFormatOthersGetTheFilters)
{
    const struct {
        const char* typed;
        int filter;
        const char* written;
        PictureFormat format;
    } cases[] = {
        {"/p/graph.png", 1, "/p/graph.png", PictureFormat::Png},
        {"/p/graph.PNG", 1, "/p/graph.PNG", PictureFormat::Png},
        {"/p/graph.jpg", 3, "/p/graph.jpg", PictureFormat::Jpeg},
        {"/p/graph.JPG", 2, "/p/graph.JPG", PictureFormat::Jpeg},
        {"/p/graph.jpeg", 3, "/p/graph.jpeg", PictureFormat::Jpeg},
        {"/p/graph.JpEg", 2, "/p/graph.JpEg", PictureFormat::Jpeg},
        {"/p/graph.Bmp", 1, "/p/graph.Bmp", PictureFormat::Bmp},
        {"/p/graph.gif", 1, "/p/graph.gif.jpg", PictureFormat::Jpeg},
        {"/p/graph.gif", 2, "/p/graph.gif.bmp", PictureFormat::Bmp},
        {"/p/graph.gif", 3, "/p/graph.gif.png", PictureFormat::Png},
        {"/p/graph", 7, "/p/graph.png", PictureFormat::Png}, // any other entry: PNG
        {".png", 1, ".png.jpg", PictureFormat::Jpeg},        // not longer than four characters
        {"x.jpeg", 3, "x.jpeg", PictureFormat::Jpeg},
        {"jpeg", 2, "jpeg.bmp", PictureFormat::Bmp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " filter " + std::to_string(c.filter));
        const PictureTarget t = pictureTarget(c.typed, c.filter);
        EXPECT_EQ(t.path, c.written);
        EXPECT_EQ(t.format, c.format);
    }
}

// A 600 × 480 picture with a few colours at known places.
RgbImage testPicture()
{
    RgbImage img = blankPicture(600, 480);
    auto set = [&](int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        std::uint8_t* p = img.rgb.data() + (std::size_t(y) * 600 + std::size_t(x)) * 3;
        p[0] = r;
        p[1] = g;
        p[2] = b;
    };
    for (int x = 0; x < 600; ++x) set(x, 240, 0, 0, 0);
    for (int y = 100; y < 140; ++y)
        for (int x = 100; x < 140; ++x) set(x, y, 255, 0, 0);
    for (int y = 300; y < 340; ++y)
        for (int x = 400; x < 440; ++x) set(x, y, 0, 0, 255);
    return img;
}

std::array<int, 3> pixel(const RgbImage& img, int x, int y)
{
    const std::uint8_t* p = img.rgb.data() + (std::size_t(y) * std::size_t(img.width) + std::size_t(x)) * 3;
    return {p[0], p[1], p[2]};
}

RgbImage decodeBmp(const std::string& b)
{
    auto u32 = [&](std::size_t o) {
        return std::uint32_t(std::uint8_t(b[o])) | std::uint32_t(std::uint8_t(b[o + 1])) << 8 |
               std::uint32_t(std::uint8_t(b[o + 2])) << 16 | std::uint32_t(std::uint8_t(b[o + 3])) << 24;
    };
    RgbImage img;
    img.width = int(u32(18));
    img.height = int(u32(22));
    EXPECT_EQ(std::uint8_t(b[28]), 24); // bits per pixel
    EXPECT_EQ(u32(30), 0u);             // BI_RGB: uncompressed
    const std::size_t off = u32(10);
    const std::size_t row = (std::size_t(img.width) * 3 + 3) & ~std::size_t(3);
    EXPECT_EQ(b.size(), off + row * std::size_t(img.height));
    img.rgb.resize(std::size_t(img.width) * std::size_t(img.height) * 3);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const std::size_t s = off + std::size_t(img.height - 1 - y) * row + std::size_t(x) * 3;
            std::uint8_t* d = img.rgb.data() + (std::size_t(y) * std::size_t(img.width) + std::size_t(x)) * 3;
            d[0] = std::uint8_t(b[s + 2]);
            d[1] = std::uint8_t(b[s + 1]);
            d[2] = std::uint8_t(b[s]);
        }
    return img;
}

RgbImage decodePng(const std::string& bytes)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    RgbImage img;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return img;
    image.format = PNG_FORMAT_RGB;
    img.width = int(image.width);
    img.height = int(image.height);
    img.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, img.rgb.data(), 0, nullptr)) img.width = 0;
    return img;
}

struct JpegErr {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

// Decodes, and tells whether the stream is baseline sequential.
RgbImage decodeJpeg(const std::string& bytes, bool& baseline)
{
    RgbImage img;
    jpeg_decompress_struct d{};
    JpegErr err;
    d.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1); };
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        img.width = 0;
        return img;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d, TRUE);
    baseline = !d.progressive_mode && !d.arith_code && d.data_precision == 8 && d.num_components == 3;
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    img.width = int(d.output_width);
    img.height = int(d.output_height);
    img.rgb.resize(std::size_t(img.width) * std::size_t(img.height) * 3);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = img.rgb.data() + std::size_t(d.output_scanline) * std::size_t(img.width) * 3;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return img;
}

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class PictureFiles : public ::testing::Test {
protected:
    ScratchDir scratch{"zarpo-picture"};
    const fs::path dir = scratch.path();
};

TEST_F(PictureFiles, EachFormatDecodesToThePicture)
{
    const RgbImage img = testPicture();
    const struct {
        const char* name;
        std::string magic;
        int tolerance; // JPEG is lossy
    } cases[] = {
        {"graph.bmp", "BM", 0},
        {"graph.PNG", "\x89PNG\r\n\x1a\n", 0},
        {"graph.jpeg", "\xFF\xD8\xFF", 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PictureTarget t = pictureTarget((dir / c.name).string(), 1);
        writePicture(t, img);
        const std::string bytes = readFile(t.path);
        ASSERT_GT(bytes.size(), c.magic.size());
        EXPECT_EQ(bytes.substr(0, c.magic.size()), c.magic);
        bool baseline = false;
        const RgbImage back = t.format == PictureFormat::Bmp   ? decodeBmp(bytes)
                              : t.format == PictureFormat::Png ? decodePng(bytes)
                                                               : decodeJpeg(bytes, baseline);
        ASSERT_EQ(back.width, 600);
        ASSERT_EQ(back.height, 480);
        if (t.format == PictureFormat::Jpeg) {
            EXPECT_TRUE(baseline);
            // SOF0: the baseline frame marker.
            EXPECT_NE(bytes.find("\xFF\xC0"), std::string::npos);
        }
        for (auto [x, y] : {std::pair{120, 120}, {420, 320}, {10, 10}, {300, 240}, {599, 479}}) {
            const auto want = pixel(img, x, y), got = pixel(back, x, y);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], c.tolerance) << x << "," << y;
        }
        if (c.tolerance == 0) {
            EXPECT_EQ(back.rgb, img.rgb);
        }
    }
}

TEST_F(PictureFiles, JpegIsWrittenAtQualityNinety)
{
    const RgbImage img = testPicture();
    const std::string q90 = encodeJpeg(img, 90);
    // The quantisation table of quality 90 scales the standard luminance
    // table by 20 %: its first entry 16 becomes 3.
    const std::size_t dqt = q90.find("\xFF\xDB");
    ASSERT_NE(dqt, std::string::npos);
    EXPECT_EQ(std::uint8_t(q90[dqt + 5]), 3);
    EXPECT_NE(encodeJpeg(img, 50), q90);
}

TEST_F(PictureFiles, AFolderThatCannotBeWrittenIsReportedAndLeavesNothing)
{
    if (::geteuid() == 0) {
        // root writes anywhere: a path under a plain file stands in for it.
        std::ofstream(dir / "file") << "x";
        const PictureTarget t = pictureTarget((dir / "file" / "graph.png").string(), 1);
        try {
            writePicture(t, testPicture());
            FAIL() << "no error";
        } catch (const PictureWriteError& e) {
            EXPECT_NE(std::string(e.what()).find(t.path), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("Not a directory"), std::string::npos) << e.what();
        }
    }
    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const PictureTarget t = pictureTarget((locked / "graph.jpg").string(), 1);
    if (::geteuid() != 0) {
        try {
            writePicture(t, testPicture());
            FAIL() << "no error";
        } catch (const PictureWriteError& e) {
            EXPECT_NE(std::string(e.what()).find(t.path), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("Permission denied"), std::string::npos) << e.what();
        }
    }
    fs::permissions(locked, fs::perms::owner_all);
    // Nothing half-written is left behind.
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_TRUE(entry.path().filename() == "file" || entry.path().filename() == "locked") << entry.path();
}

TEST_F(PictureFiles, AnEncoderFailureNamesTheFileAndKeepsTheOldOne)
{
    const fs::path p = dir / "graph.png";
    std::ofstream(p) << "old";
    RgbImage broken = testPicture();
    broken.rgb.resize(10);
    for (PictureFormat f : {PictureFormat::Png, PictureFormat::Jpeg, PictureFormat::Bmp}) {
        try {
            writePicture({p.string(), f}, broken);
            FAIL() << "no error";
        } catch (const PictureWriteError& e) {
            EXPECT_NE(std::string(e.what()).find(p.string()), std::string::npos) << e.what();
        }
        EXPECT_EQ(readFile(p), "old");
    }
}

} // namespace
