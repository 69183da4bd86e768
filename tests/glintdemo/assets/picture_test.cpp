// Pictures from an archive (JPEG through our decoder, raw RGB of the process-wide size), their
// failure stops, and the texture upload against a recording stand-in for the OpenGL entry
// points (the only double here: the real ones need a context).
#include "assets/archive.h"
#include "assets/picture.h"

#include "jpeg_test_support.h"
#include "jpeg_writer.h"
#include "support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::TempDir;

std::vector<uint8_t> colourJpeg() {
    return content::writeJpeg(jpeg_test::colourPicture(37, 29).data(), 37, 29, 3, {90, 2, 2, 0});
}
std::vector<uint8_t> greyJpeg() {
    return content::writeJpeg(jpeg_test::greyPicture(21, 13).data(), 21, 13, 1, {90, 1, 1, 0});
}
const std::vector<uint8_t> rawPixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                        19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36};

class AssetsPicture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("DEMO_VIDEO", "headless", 1);
        closeArchives();
        content::ZipWriter zip;
        zip.add("colour.jpg", colourJpeg());
        zip.add("grey.jpg", greyJpeg());
        zip.add("raw-named.raw.jpg", colourJpeg());
        zip.add("pixels.raw", rawPixels, {content::ZipWriter::Method::stored});
        zip.add("short.raw", std::vector<uint8_t>(rawPixels.begin(), rawPixels.begin() + 10));
        zip.add("noimage.jpg", std::string("no JPEG here"));
        std::vector<uint8_t> layout = colourJpeg();
        layout[size_t(jpeg_test::findSegment(layout, 0xC0)) + 14] = 0x21;  // chroma sampled 2x1
        zip.add("layout.jpg", layout);
        std::vector<uint8_t> cut = colourJpeg();
        cut.resize(cut.size() * 2 / 3);
        zip.add("cut.jpg", cut);
        zip.add("badcrc.jpg", colourJpeg());
        std::vector<uint8_t> archive = zip.finish();
        uint32_t crcOffset = zip.placements().back().localHeaderOffset + 14;
        archive[crcOffset] ^= 0xFF;
        std::string path = dir_.file("demo.dat");
        testing_support::writeFile(path, std::string(archive.begin(), archive.end()));
        ASSERT_TRUE(addArchive(path.c_str())) << lastError;
    }
    void TearDown() override { closeArchives(); }

    TempDir dir_;
};

TEST_F(AssetsPicture, JpegPicturesHoldTheDecodedPixelsPacked) {
    for (const char* name : {"colour.jpg", "COLOUR.JPG", "raw-named.raw.jpg"}) {
        SCOPED_TRACE(name);
        Picture picture;
        ASSERT_TRUE(loadPicture(picture, name, 5, 5));
        EXPECT_EQ(picture.loaded, 1);
        EXPECT_EQ(picture.width, 37);
        EXPECT_EQ(picture.height, 29);
        EXPECT_EQ(picture.channels, 3);
        ASSERT_EQ(picture.storage.size(), size_t(37 * 29));
        std::vector<uint8_t> expected = jpeg_test::decode(colourJpeg()).pixels;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), picture.bytes()));
        unsigned char* rest = picture.bytes() + expected.size();
        EXPECT_TRUE(std::all_of(rest, picture.bytes() + 37 * 29 * 4, [](unsigned char b) { return b == 0; }));
    }
}

TEST_F(AssetsPicture, GreyJpegPicturesAreFilledOneBytePerPixel) {
    Picture picture;
    ASSERT_TRUE(loadPicture(picture, "grey.jpg", 0, 0));
    EXPECT_EQ(picture.channels, 1);
    std::vector<uint8_t> expected = jpeg_test::decode(greyJpeg()).pixels;
    ASSERT_EQ(expected.size(), size_t(21 * 13));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), picture.bytes()));
}

TEST_F(AssetsPicture, RawPicturesTakeTheStatedSize) {
    Picture picture;
    ASSERT_TRUE(loadPicture(picture, "pixels.RAW", 4, 3));
    EXPECT_EQ(picture.loaded, 1);
    EXPECT_EQ(picture.channels, 3);
    EXPECT_EQ(picture.width, 4);
    EXPECT_EQ(picture.height, 3);
    EXPECT_TRUE(std::equal(rawPixels.begin(), rawPixels.end(), picture.bytes()));

    // A member shorter than the stated size gives what it has; the rest stays zero.
    Picture shortPicture;
    ASSERT_TRUE(loadPicture(shortPicture, "short.raw", 4, 3));
    EXPECT_TRUE(std::equal(rawPixels.begin(), rawPixels.begin() + 10, shortPicture.bytes()));
    EXPECT_TRUE(std::all_of(shortPicture.bytes() + 10, shortPicture.bytes() + 36, [](unsigned char b) { return b == 0; }));

    Picture empty;
    ASSERT_TRUE(loadPicture(empty, "pixels.raw", 0, 0));
    EXPECT_EQ(empty.width * empty.height, 0);
    EXPECT_TRUE(empty.storage.empty());
}

TEST_F(AssetsPicture, DecodingFailuresAfterTheHeaderShowTheBoxAndGoOn) {
    for (const char* name : {"layout.jpg", "cut.jpg"}) {
        SCOPED_TRACE(name);
        Picture picture;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(loadPicture(picture, name, 0, 0));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[Error] JPEG Decoder Failed\n");
        EXPECT_EQ(picture.width, 37);
        EXPECT_EQ(picture.height, 29);
        EXPECT_EQ(picture.storage.size(), size_t(37 * 29));
    }
}

TEST_F(AssetsPicture, UnreadableOrUnknownPicturesEndTheProcess) {
    Picture picture;
    EXPECT_EXIT(loadPicture(picture, "picture.png", 0, 0), ::testing::ExitedWithCode(0),
                "\\[Unknown image type\\] picture.png");
    EXPECT_EXIT(loadPicture(picture, "absent.jpg", 0, 0), ::testing::ExitedWithCode(0), "\\[file not found\\] absent.jpg");
    EXPECT_EXIT(loadPicture(picture, "absent.raw", 4, 4), ::testing::ExitedWithCode(0), "\\[file not found\\] absent.raw");
    EXPECT_EXIT(loadPicture(picture, "badcrc.jpg", 0, 0), ::testing::ExitedWithCode(0), "\\[Cannot find\\] badcrc.jpg");
    EXPECT_EXIT(loadPicture(picture, "noimage.jpg", 0, 0), ::testing::ExitedWithCode(0), "\\[Error\\] JPEG Decoder Failed");
}

// ---- Textures --------------------------------------------------------------------------------

struct GlRecord {
    std::vector<std::string> calls;
    GLuint nextName = 1;
    GLenum nextError = GL_NO_ERROR;
    std::vector<unsigned char> lastImage;
} gl;

void APIENTRY fakeGenTextures(GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) names[i] = gl.nextName++;
    gl.calls.push_back("genTextures " + std::to_string(n));
}
void APIENTRY fakeBindTexture(GLenum target, GLuint name) {
    gl.calls.push_back("bindTexture " + std::to_string(target) + " " + std::to_string(name));
}
void APIENTRY fakePixelStorei(GLenum name, GLint value) {
    gl.calls.push_back("pixelStorei " + std::to_string(name) + " " + std::to_string(value));
}
void APIENTRY fakeTexParameteri(GLenum target, GLenum name, GLint value) {
    gl.calls.push_back("texParameteri " + std::to_string(target) + " " + std::to_string(name) + " " + std::to_string(value));
}
void APIENTRY fakeTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
    gl.calls.push_back("texImage2D " + std::to_string(target) + " " + std::to_string(level) + " " +
                       std::to_string(internalFormat) + " " + std::to_string(width) + "x" + std::to_string(height) + " " +
                       std::to_string(border) + " " + std::to_string(format) + " " + std::to_string(type));
    int channels = format == GL_LUMINANCE ? 1 : format == GL_RGBA ? 4 : 3;
    const unsigned char* p = static_cast<const unsigned char*>(pixels);
    gl.lastImage.assign(p, p + size_t(width) * height * channels);
}
GLenum APIENTRY fakeGetError() {
    gl.calls.push_back("getError");
    GLenum e = gl.nextError;
    gl.nextError = GL_NO_ERROR;
    return e;
}

class AssetsTexture : public AssetsPicture {
protected:
    void SetUp() override {
        AssetsPicture::SetUp();
        gl = GlRecord{};
        setTextureFunctions({fakeGenTextures, fakeBindTexture, fakePixelStorei, fakeTexParameteri, fakeTexImage2D,
                             fakeGetError});
    }
    void TearDown() override {
        setTextureFunctions({});
        AssetsPicture::TearDown();
    }
};

std::vector<std::string> uploadCalls(GLuint name, GLint internalFormat, const std::string& size, GLenum format) {
    auto s = [](long v) { return std::to_string(v); };
    return {
        "bindTexture " + s(GL_TEXTURE_2D) + " " + s(name),
        "pixelStorei " + s(GL_UNPACK_ALIGNMENT) + " 1",
        "pixelStorei " + s(GL_UNPACK_ROW_LENGTH) + " 0",
        "pixelStorei " + s(GL_UNPACK_SWAP_BYTES) + " 0",
        "pixelStorei " + s(GL_UNPACK_LSB_FIRST) + " 0",
        "pixelStorei " + s(GL_UNPACK_SKIP_ROWS) + " 0",
        "pixelStorei " + s(GL_UNPACK_SKIP_PIXELS) + " 0",
        "texParameteri " + s(GL_TEXTURE_2D) + " " + s(GL_TEXTURE_MIN_FILTER) + " " + s(GL_LINEAR),
        "texParameteri " + s(GL_TEXTURE_2D) + " " + s(GL_TEXTURE_MAG_FILTER) + " " + s(GL_LINEAR),
        "texImage2D " + s(GL_TEXTURE_2D) + " 0 " + s(internalFormat) + " " + size + " 0 " + s(format) + " " +
            s(GL_UNSIGNED_BYTE),
        "getError",
    };
}

TEST_F(AssetsTexture, EachLoadMakesANewUploadedTexture) {
    // The program keeps its textures until it ends; the test gives them back.
    std::unique_ptr<Texture> firstOwned(loadTexture("colour.jpg", GL_RGB, false));
    std::unique_ptr<Texture> secondOwned(loadTexture("colour.jpg", GL_RGB, false));
    Texture *first = firstOwned.get(), *second = secondOwned.get();
    EXPECT_NE(first->glName, second->glName);
    EXPECT_TRUE(first->uploaded);
    EXPECT_TRUE(second->uploaded);
    EXPECT_STREQ(first->name, "colour.jpg");
    EXPECT_EQ(first->internalFormat, GL_RGB);
    std::vector<std::string> expected = {"genTextures 1"};
    for (auto& c : uploadCalls(first->glName, GL_RGB, "37x29", GL_RGB)) expected.push_back(c);
    expected.push_back("genTextures 1");
    for (auto& c : uploadCalls(second->glName, GL_RGB, "37x29", GL_RGB)) expected.push_back(c);
    EXPECT_EQ(gl.calls, expected);
    std::vector<uint8_t> pixels = jpeg_test::decode(colourJpeg()).pixels;
    EXPECT_EQ(gl.lastImage, pixels);

    // Uploaded once only.
    gl.calls.clear();
    upload(first, 1024, 0);
    EXPECT_TRUE(gl.calls.empty());
}

TEST_F(AssetsTexture, FormatsFollowTheChannelsAndRawPicturesTheRawSize) {
    std::unique_ptr<Texture> grey(loadTexture("grey.jpg", GL_LUMINANCE, false));
    EXPECT_EQ(gl.calls[10], uploadCalls(grey->glName, GL_LUMINANCE, "21x13", GL_LUMINANCE)[9]);
    gl.calls.clear();
    rawWidth = 4;
    rawHeight = 3;
    std::unique_ptr<Texture> raw(loadTexture("pixels.raw", GL_LUMINANCE4, false));
    rawWidth = rawHeight = 0;
    EXPECT_EQ(gl.calls[10], uploadCalls(raw->glName, GL_LUMINANCE4, "4x3", GL_RGB)[9]);
    EXPECT_EQ(gl.lastImage, rawPixels);
}

TEST_F(AssetsTexture, ARefusedImageLeavesTheTextureToBeUploadedAgain) {
    gl.nextError = GL_INVALID_VALUE;
    Texture* texture = new Texture;
    texture->internalFormat = GL_RGB;
    ASSERT_TRUE(loadPicture(texture->picture, "colour.jpg", 0, 0));
    upload(texture, 1024, 0);
    EXPECT_FALSE(texture->uploaded);
    upload(texture, 1024, 0);
    EXPECT_TRUE(texture->uploaded);
    delete texture;
}

TEST_F(AssetsTexture, LevelsSmallerThanThePictureAreResampled) {
    Texture texture;
    texture.internalFormat = GL_RGB;
    ASSERT_TRUE(loadPicture(texture.picture, "pixels.raw", 4, 3));
    upload(&texture, 2, 0);  // 4 x 3 limited to 2 x 2: columns 0 and 2, rows 0 and 1
    EXPECT_EQ(gl.calls[9], uploadCalls(texture.glName, GL_RGB, "2x2", GL_RGB)[9]);
    EXPECT_EQ(gl.lastImage, (std::vector<unsigned char>{1, 2, 3, 7, 8, 9, 13, 14, 15, 19, 20, 21}));

    Texture shifted;
    shifted.internalFormat = GL_RGB;
    ASSERT_TRUE(loadPicture(shifted.picture, "pixels.raw", 4, 3));
    gl.calls.clear();
    upload(&shifted, 1024, 1);  // half size: 2 x 1
    EXPECT_EQ(gl.calls[9], uploadCalls(shifted.glName, GL_RGB, "2x1", GL_RGB)[9]);
    EXPECT_EQ(gl.lastImage, (std::vector<unsigned char>{1, 2, 3, 7, 8, 9}));
}

}  // namespace
