// The cab's pictures: decoded from BMP (24-bit and paletted), PNG, JPEG and GIF, refused with
// the decoder's reason when they cannot be read or are too large, the transparent colour cut,
// tinted, written as PNG, and measured from the needle's pivot.
#include "panel/panel_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace mirevane::tool {
namespace {

void Put16(std::string& bytes, uint32_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8 & 0xFF);
}

void Put32(std::string& bytes, uint32_t value) {
    Put16(bytes, value & 0xFFFF);
    Put16(bytes, value >> 16);
}

struct Rgb {
    uint8_t r, g, b;
};

// A Windows bitmap, rows bottom to top as the format stores them. bitsPerPixel 24: `pixels`
// are the colours; 8: `pixels` is the palette and `indices` the pixels.
std::string Bitmap(int width, int height, int bitsPerPixel, const std::vector<Rgb>& colours,
                   const std::vector<uint8_t>& indices = {}, uint32_t compression = 0) {
    const int paletteSize = bitsPerPixel == 8 ? static_cast<int>(colours.size()) : 0;
    const int rowBytes = (width * bitsPerPixel / 8 + 3) / 4 * 4;
    const uint32_t offset = 14 + 40 + 4 * paletteSize;
    std::string bytes = "BM";
    Put32(bytes, offset + rowBytes * height);
    Put32(bytes, 0);
    Put32(bytes, offset);
    Put32(bytes, 40);
    Put32(bytes, width);
    Put32(bytes, height);
    Put16(bytes, 1);
    Put16(bytes, bitsPerPixel);
    Put32(bytes, compression);
    Put32(bytes, rowBytes * height);
    Put32(bytes, 2835);
    Put32(bytes, 2835);
    Put32(bytes, paletteSize);
    Put32(bytes, 0);
    for (int i = 0; i < paletteSize; ++i) {
        bytes += {static_cast<char>(colours[i].b), static_cast<char>(colours[i].g),
                  static_cast<char>(colours[i].r), 0};
    }
    for (int y = height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            if (bitsPerPixel == 8) {
                row += static_cast<char>(indices[y * width + x]);
            } else {
                const Rgb& c = colours[y * width + x];
                row += {static_cast<char>(c.b), static_cast<char>(c.g), static_cast<char>(c.r)};
            }
        }
        row.resize(rowBytes, '\0');
        bytes += row;
    }
    return bytes;
}

Picture Filled(int width, int height, std::vector<uint8_t> rgba) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba = std::move(rgba);
    return picture;
}

std::vector<uint8_t> Pixel(const Picture& picture, int x, int y) {
    const auto at = picture.rgba.begin() + (static_cast<std::size_t>(y) * picture.width + x) * 4;
    return {at, at + 4};
}

// A bitmap's height field rewritten: negative for rows stored top first.
std::string WithHeight(std::string bitmap, int32_t height) {
    std::string field;
    Put32(field, static_cast<uint32_t>(height));
    return bitmap.replace(22, 4, field);
}

// Two frames of 2 x 1 pixels: red, green first; blue, white in the second (its own palette).
std::string TwoFrameGif() {
    const std::string image = std::string("\x02\x02\x44\x0A\x00", 5);
    return std::string("GIF89a\x02\x00\x01\x00\x80\x00\x00", 13) +
           std::string("\xFF\x00\x00\x00\xFF\x00", 6) +
           std::string("\x2C\x00\x00\x00\x00\x02\x00\x01\x00\x00", 10) + image +
           std::string("\x2C\x00\x00\x00\x00\x02\x00\x01\x00\x80", 10) +
           std::string("\x00\x00\xFF\xFF\xFF\xFF", 6) + image + "\x3B";
}

// A white 16 x 16 JPEG, as stb_image_write writes it at quality 90 (kept as bytes: its JPEG
// writer shifts a negative int, which a sanitized build stops on).
std::string WhiteJpeg() {
    static const char* const kHex =
        "FFD8FFE000104A46494600010100000100010000FFDB00840003020203020203030303040303040508050504"
        "04050A070706080C0A0C0C0B0A0B0B0D0E12100D0E110E0B0B1016101113141515150C0F1718161418121415"
        "140103040405040509050509140D0B0D14141414141414141414141414141414141414141414141414141414"
        "14141414141414141414141414141414141414141414FFC00011080010001003012200021101031101FFC401"
        "A20000010501010101010100000000000000000102030405060708090A0B1000020103030204030505040400"
        "00017D01020300041105122131410613516107227114328191A1082342B1C11552D1F02433627282090A1617"
        "18191A25262728292A3435363738393A434445464748494A535455565758595A636465666768696A73747576"
        "7778797A838485868788898A92939495969798999AA2A3A4A5A6A7A8A9AAB2B3B4B5B6B7B8B9BAC2C3C4C5C6"
        "C7C8C9CAD2D3D4D5D6D7D8D9DAE1E2E3E4E5E6E7E8E9EAF1F2F3F4F5F6F7F8F9FA0100030101010101010101"
        "010000000000000102030405060708090A0B1100020102040403040705040400010277000102031104052131"
        "061241510761711322328108144291A1B1C109233352F0156272D10A162434E125F11718191A262728292A35"
        "363738393A434445464748494A535455565758595A636465666768696A737475767778797A82838485868788"
        "898A92939495969798999AA2A3A4A5A6A7A8A9AAB2B3B4B5B6B7B8B9BAC2C3C4C5C6C7C8C9CAD2D3D4D5D6D7"
        "D8D9DAE2E3E4E5E6E7E8E9EAF2F3F4F5F6F7F8F9FAFFDA000C03010002110311003F00FD53A28A2803FFD9";
    std::string jpeg;
    for (const char* p = kHex; p[0] != '\0' && p[1] != '\0'; p += 2) {
        jpeg.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
    }
    return jpeg;
}

TEST(PanelPicture, DecodesEveryFormatOfACab) {
    const Rgb red{255, 0, 0}, blue{0, 0, 255}, grey{90, 100, 110}, green{0, 255, 0};
    const std::string jpeg = WhiteJpeg();
    struct Case {
        const char* name;
        std::string bytes;
        int width, height;
        std::vector<std::vector<uint8_t>> pixels; // row by row
    };
    const Case cases[] = {
        {"24-bit BMP, rows padded",
         Bitmap(3, 2, 24, {red, blue, grey, blue, blue, red}),
         3,
         2,
         {{255, 0, 0, 255},
          {0, 0, 255, 255},
          {90, 100, 110, 255},
          {0, 0, 255, 255},
          {0, 0, 255, 255},
          {255, 0, 0, 255}}},
        {"8-bit paletted BMP",
         Bitmap(2, 2, 8, {grey, green, blue}, {2, 1, 0, 2}),
         2,
         2,
         {{0, 0, 255, 255}, {0, 255, 0, 255}, {90, 100, 110, 255}, {0, 0, 255, 255}}},
        {"PNG with its own alpha",
         EncodePng(Filled(2, 1, {10, 20, 30, 128, 0, 0, 255, 0})),
         2,
         1,
         {{10, 20, 30, 128}, {0, 0, 255, 0}}},
        {"GIF, first frame", TwoFrameGif(), 2, 1, {{255, 0, 0, 255}, {0, 255, 0, 255}}},
        {"BMP stored top row first",
         WithHeight(Bitmap(2, 2, 24, {red, blue, grey, green}), -2),
         2,
         2,
         {{90, 100, 110, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {0, 0, 255, 255}}},
    };
    for (const Case& c : cases) {
        const Picture picture = DecodePicture(c.bytes);
        ASSERT_EQ(picture.width, c.width) << c.name;
        ASSERT_EQ(picture.height, c.height) << c.name;
        EXPECT_EQ(PictureSize(c.bytes), std::make_pair(c.width, c.height)) << c.name;
        for (int i = 0; i < c.width * c.height; ++i) {
            EXPECT_EQ(Pixel(picture, i % c.width, i / c.width), c.pixels[i]) << c.name << " " << i;
        }
    }
    const Picture photo = DecodePicture(jpeg);
    EXPECT_EQ(photo.width, 16);
    EXPECT_NEAR(Pixel(photo, 7, 7)[0], 255, 3);
}

TEST(PanelPicture, RefusesWhatItCannotReadWithTheDecodersReason) {
    const std::string bitmap = Bitmap(4, 4, 24, std::vector<Rgb>(16, Rgb{1, 2, 3}));
    std::string rle = Bitmap(2, 2, 8, {{0, 0, 0}, {255, 255, 255}}, {0, 1, 1, 0}, 1);
    std::string png = EncodePng(Filled(8, 8, std::vector<uint8_t>(8 * 8 * 4, 200)));
    // A PNG header claiming 20000 x 8 pixels (its checksums are not looked at).
    std::string wide = png;
    wide.replace(16, 4, std::string("\x00\x00\x4E\x20", 4));
    // 9000 x 9000 is within 16384 a side but over 64 million pixels.
    std::string large = png;
    large.replace(16, 8, std::string("\x00\x00\x23\x28\x00\x00\x23\x28", 8));
    // The first Huffman table of a JPEG claiming 2 x 255 codes, more than a table holds.
    std::string huffman = WhiteJpeg();
    const std::size_t table = huffman.find("\xFF\xC4");
    ASSERT_NE(table, std::string::npos);
    huffman[table + 5] = huffman[table + 6] = '\xFF';
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason; // part of the message
    };
    const Case cases[] = {
        {"a JPEG Huffman table of too many codes", huffman, "Huffman"},
        {"RLE-compressed BMP", rle, "RLE"},
        {"a BMP cut inside its header", bitmap.substr(0, 30), ""},
        {"a truncated PNG", png.substr(0, png.size() / 2), ""},
        {"not a picture", "[Needle]\nSubject = ats1\n", ""},
        {"empty", "", ""},
        {"over 16384 a side", wide, "20000 x 8"},
        {"over 64 million pixels", large, "9000 x 9000"},
        {"a bitmap of no rows", WithHeight(bitmap, 0), "4 x 0"},
        {"a huge bitmap stored top row first", WithHeight(bitmap, -16777214), "4 x 16777214"},
    };
    for (const Case& c : cases) {
        try {
            DecodePicture(c.bytes);
            ADD_FAILURE() << c.name << " decoded";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()), "") << c.name;
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos)
                << c.name << ": " << error.what();
        }
    }
    // The size alone is refused the same way, without decoding.
    EXPECT_THROW(PictureSize(wide), std::runtime_error);
    EXPECT_THROW(PictureSize("GIF8"), std::runtime_error);
    EXPECT_EQ(PictureSize(png.substr(0, 40)), std::make_pair(8, 8));
}

TEST(PanelPicture, CutsTheTransparentColourAndKeepsItsOwnAlpha) {
    // Blue (the host's default transparent colour) opaque, blue half transparent, almost blue,
    // red half transparent.
    Picture picture =
        Filled(4, 1, {0, 0, 255, 255, 0, 0, 255, 128, 0, 0, 254, 255, 255, 0, 0, 128});
    CutTransparentColour(picture, {0, 0, 255});
    EXPECT_EQ(Pixel(picture, 0, 0), (std::vector<uint8_t>{0, 0, 255, 0}));
    EXPECT_EQ(Pixel(picture, 1, 0), (std::vector<uint8_t>{0, 0, 255, 0}));
    EXPECT_EQ(Pixel(picture, 2, 0), (std::vector<uint8_t>{0, 0, 254, 255}));
    EXPECT_EQ(Pixel(picture, 3, 0), (std::vector<uint8_t>{255, 0, 0, 128}));

    // Through a file: a PNG with its own alpha and a magenta transparent colour.
    Picture decoded = DecodePicture(
        EncodePng(Filled(2, 2, {255, 0, 255, 255, 9, 9, 9, 64, 255, 0, 255, 200, 1, 2, 3, 255})));
    CutTransparentColour(decoded, {255, 0, 255});
    const uint8_t alpha[] = {0, 64, 0, 255};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(decoded.rgba[i * 4 + 3], alpha[i]) << i;
    }
}

TEST(PanelPicture, TintsAndWritesPng) {
    Picture picture = Filled(2, 1, {255, 128, 0, 255, 100, 200, 50, 7});
    Picture untouched = picture;
    Tint(untouched, {255, 255, 255});
    EXPECT_EQ(untouched.rgba, picture.rgba);
    Tint(picture, {128, 255, 0});
    EXPECT_EQ(Pixel(picture, 0, 0), (std::vector<uint8_t>{128, 128, 0, 255}));
    EXPECT_EQ(Pixel(picture, 1, 0), (std::vector<uint8_t>{50, 200, 0, 7}));

    const std::string png = EncodePng(picture);
    EXPECT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
    const Picture back = DecodePicture(png);
    EXPECT_EQ(back.width, 2);
    EXPECT_EQ(back.rgba, picture.rgba);
    EXPECT_THROW(EncodePng(Picture{}), std::invalid_argument);
}

TEST(PanelPicture, ReachesToTheFarEdgeOfItsOpaquePixels) {
    // A 5 x 10 needle: an opaque column x = 2 from y = 1 to 8, pivot at (2.5, 8.5).
    Picture needle = Filled(5, 10, std::vector<uint8_t>(5 * 10 * 4, 0));
    for (int y = 1; y <= 8; ++y) {
        needle.rgba[(y * 5 + 2) * 4 + 3] = 255;
    }
    struct Case {
        const char* name;
        PanelPoint pivot;
        double scale;
        double reach;
    };
    const Case cases[] = {
        {"from the pivot near its foot", {2.5, 8.5}, 1.0, std::hypot(0.5, 7.5)},
        {"scaled by Radius", {2.5, 8.5}, 2.0, 2.0 * std::hypot(0.5, 7.5)},
        {"from the picture's corner", {0.0, 0.0}, 1.0, std::hypot(3.0, 9.0)},
        {"from outside the picture", {2.5, -10.0}, 1.0, std::hypot(0.5, 19.0)},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(OpaqueReach(needle, c.pivot, c.scale), c.reach, 1e-12) << c.name;
    }
    // A faint pixel counts; none at all reaches nowhere.
    needle.rgba[(0 * 5 + 4) * 4 + 3] = 1;
    EXPECT_NEAR(OpaqueReach(needle, {2.5, 8.5}, 1.0), std::hypot(2.5, 8.5), 1e-12);
    EXPECT_EQ(OpaqueReach(Filled(3, 3, std::vector<uint8_t>(36, 0)), {1, 1}, 1.0), 0.0);
}

} // namespace
} // namespace mirevane::tool
