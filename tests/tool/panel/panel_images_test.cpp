// The panel's pictures found as the host on Windows finds them: letter case ignored, inside
// the panel file's folder only, each decoded and prepared for its element; a needle's picture
// placed on its pivot and scaled by Radius.
#include "panel/panel_images.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace mirevane::tool {
namespace {

Picture Solid(int width, int height, std::vector<uint8_t> rgba) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    for (int i = 0; i < width * height; ++i) {
        picture.rgba.insert(picture.rgba.end(), rgba.begin(), rgba.end());
    }
    return picture;
}

// Folders that differ only in letter case, and links: what a case-sensitive file system with
// links shows (Wine sees neither).
#ifndef _WIN32
TEST(PanelImages, FindsEachPictureAsTheHostDoes) {
    test::TempDir folder;
    const std::string blue = EncodePng(Solid(2, 3, {0, 0, 255, 255}));
    const std::string grey = EncodePng(Solid(4, 1, {100, 100, 100, 255}));
    folder.Write("Train/panel.png", grey);
    folder.Write("Train/Needles/Speed.png", blue);
    folder.Write("Train/needles/exact.png", blue);
    folder.Write("Train/broken.bmp",
                 std::string("BM\x3e\x00\x00\x00", 6) + std::string(56, '\x01'));
    folder.Write("Outside/secret.png", grey);
    std::filesystem::create_directories(folder.path() / "Train/Folder.png");
    std::filesystem::create_symlink(folder.path() / "Outside/secret.png",
                                    folder.path() / "Train/link.png");
    std::filesystem::create_symlink(folder.path() / "Train/Needles/Speed.png",
                                    folder.path() / "Train/inside-link.png");
    const std::string panelText =
        "[This]\nDaytimeImage = panel.png\nTransparentColor = #646464\n"
        "[Needle]\nDaytimeImage = needles\\exact.png\nTransparentColor = #000000\n"
        "[Needle]\nDaytimeImage = NEEDLES/speed.PNG\nColor = #808080\n"
        "[Needle]\nDaytimeImage = Needles\\Speed.png\n"
        "[Needle]\nDaytimeImage = gone.png\n"
        "[PilotLamp]\nSubject = ats1\n"
        "[Needle]\nDaytimeImage = link.png\n"
        "[Needle]\nDaytimeImage = ..\\Outside\\secret.png\n"
        "[Needle]\nDaytimeImage = broken.bmp\n"
        "[Needle]\nDaytimeImage = folder.png\n"
        "[Needle]\nDaytimeImage = inside-link.png\n";
    const PanelFile panel = ReadPanelFile(folder.Write("Train/panel2.cfg", panelText));
    const PanelPictures pictures = LoadPanelPictures(panel);

    EXPECT_EQ(pictures.background.state, PictureState::kFound);
    EXPECT_EQ(pictures.background.spot.line, 2);
    ASSERT_EQ(pictures.background.picture.rgba.size(), 16u);
    EXPECT_EQ(pictures.background.picture.rgba[3], 0); // [This] TransparentColor cut

    struct Expected {
        PictureState state;
        const char* file;   // ends the real path; "" when none
        const char* reason; // part of it
        int red;            // of the first pixel, -1 when not drawn
        int alpha;
    };
    const Expected expected[] = {
        {PictureState::kFound, "Train/needles/exact.png", "", 0, 255},
        {PictureState::kOtherCase, "Train/Needles/Speed.png", "", 0, 0}, // blue cut, tinted
        {PictureState::kFound, "Train/Needles/Speed.png", "", 0, 0},
        {PictureState::kMissing, "", "", -1, -1},
        {PictureState::kNone, "", "", -1, -1},
        {PictureState::kOutsideFolder, "Outside/secret.png", "outside", -1, -1},
        {PictureState::kOutsideFolder, "Outside/secret.png", "outside", -1, -1},
        {PictureState::kUnreadable, "Train/broken.bmp", "", -1, -1},
        {PictureState::kUnreadable, "Train/Folder.png", "folder", -1, -1},
        {PictureState::kFound, "Train/Needles/Speed.png", "", 0, 0},
    };
    ASSERT_EQ(pictures.elements.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const PanelPicture& picture = pictures.elements[i];
        const Expected& e = expected[i];
        EXPECT_EQ(picture.state, e.state) << i;
        EXPECT_EQ(picture.name, panel.elements[i].dayImage.name) << i;
        const std::string file = e.file;
        EXPECT_EQ(picture.path.size() >= file.size() &&
                      picture.path.compare(picture.path.size() - file.size(), file.size(), file) ==
                          0,
                  true)
            << i << ": " << picture.path;
        EXPECT_NE(picture.reason.find(e.reason), std::string::npos) << i << ": " << picture.reason;
        const bool explained =
            e.state == PictureState::kUnreadable || e.state == PictureState::kOutsideFolder;
        EXPECT_EQ(picture.reason.empty(), !explained) << i;
        if (e.red < 0) {
            EXPECT_TRUE(picture.picture.rgba.empty()) << i;
        } else {
            ASSERT_FALSE(picture.picture.rgba.empty()) << i;
            EXPECT_EQ(picture.picture.rgba[0], e.red) << i;
            EXPECT_EQ(picture.picture.rgba[3], e.alpha) << i;
        }
    }
    // The tint applies to the colours: the needle tinted grey keeps its blue at half.
    EXPECT_EQ(pictures.elements[1].picture.rgba[2], 128);
    EXPECT_EQ(pictures.elements[2].picture.rgba[2], 255);
}
#endif

TEST(PanelImages, AnEmptyPanelNamesNoPicture) {
    const PanelPictures pictures = LoadPanelPictures(ParsePanelText("panel2.cfg", ""));
    EXPECT_EQ(pictures.background.state, PictureState::kNone);
    EXPECT_TRUE(pictures.elements.empty());
}

TEST(PanelImages, PlacesANeedleOnItsPivot) {
    const Picture picture = Solid(16, 101, {255, 255, 255, 255});
    struct Case {
        const char* name;
        std::optional<PanelPoint> origin;
        double radius;
        PanelPoint placed;
        double scale;
    };
    const Case cases[] = {
        {"the picture's centre by default", std::nullopt, 0.0, {8.0, 50.5}, 1.0},
        {"its Origin", PanelPoint{8.0, 90.0}, 0.0, {8.0, 90.0}, 1.0},
        {"scaled by Radius over Origin's y", PanelPoint{8.0, 90.0}, 135.0, {8.0, 90.0}, 1.5},
        {"Radius with the centre", std::nullopt, 25.25, {8.0, 50.5}, 0.5},
        {"no scale when Origin's y is 0", PanelPoint{8.0, 0.0}, 135.0, {8.0, 0.0}, 1.0},
    };
    for (const Case& c : cases) {
        PanelElement needle;
        needle.origin = c.origin;
        needle.radius = c.radius;
        const NeedlePlacement placement = PlaceNeedle(needle, picture);
        EXPECT_DOUBLE_EQ(placement.origin.x, c.placed.x) << c.name;
        EXPECT_DOUBLE_EQ(placement.origin.y, c.placed.y) << c.name;
        EXPECT_DOUBLE_EQ(placement.scale, c.scale) << c.name;
    }
}

} // namespace
} // namespace mirevane::tool
