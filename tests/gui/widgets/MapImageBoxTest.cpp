#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graphics/device/Image.h"
#include "gui/widgets/Widgets.h"
#include "tests/gui/GuiFixture.h"

#include "tests/gui/ImagePixels.h"

namespace {

constexpr uint32_t kGrey = 0xFF808080;
constexpr uint32_t kPictureSide = 64;
// Quadrant colours by [x >= 0.5][z >= 0.5]; none is white, the icon's colour.
constexpr Rgb kQuadrants[2][2] = {{{255, 0, 0}, {0, 0, 255}}, {{0, 255, 0}, {255, 255, 0}}};
constexpr Rgb kBackground{128, 128, 128};

// The mini-map of Overlap.xml: 0.4 x 0.4 GUI units at (0.5, -0.2), 160 x 160 pixels.
constexpr int kLeft = 600, kTop = 380, kSide = 160;

bool Same(const Rgb& a, const Rgb& b)
{
    return std::abs(a.r - b.r) <= 3 && std::abs(a.g - b.g) <= 3 && std::abs(a.b - b.b) <= 3;
}

// What the map shows at a map point: its quadrant's colour, the screen behind beyond the map
// (nothing is drawn there). False when
// the point lies too near an edge for a pixel to tell.
bool Expected(float x, float z, Rgb& out)
{
    constexpr float kMargin = 0.03f;
    for (float edge : {0.0f, 0.5f, 1.0f})
        if (std::fabs(x - edge) < kMargin || std::fabs(z - edge) < kMargin)
            return false;
    out = x < 0.0f || x > 1.0f || z < 0.0f || z > 1.0f ? kBackground : kQuadrants[x >= 0.5f][z >= 0.5f];
    return true;
}

// The ground under a point of the box (offsets from its middle in box sizes, y up): the map
// turned about its middle, the heading (-sin, cos) of the angle up and its right, (cos, sin),
// to the right, shrunk so that the turned map just fits.
void Ground(float angle, float vx, float vy, float& x, float& z)
{
    const float c = std::cos(angle), s = std::sin(angle);
    const float k = std::fabs(c) + std::fabs(s);
    x = 0.5f + (vx * c - vy * s) * k;
    z = 0.5f + (vx * s + vy * c) * k;
}

} // namespace

class MapImageBoxRenderTest : public GuiFixture
{
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        ASSERT_NO_FATAL_FAILURE(mPanel = StartGraphicsWithPanel("Overlap.xml"));
        mMap = static_cast<MapImageBox*>(Widgets(mPanel).Find("MiniMapImageBox"));
        ASSERT_NE(mMap, nullptr);
        // Rows from the far edge (+z) down, as the game's map picture runs.
        Image picture;
        picture.Allocate(kPictureSide, kPictureSide, Image::Format::BGR8);
        for (uint32_t y = 0; y < kPictureSide; ++y)
            for (uint32_t x = 0; x < kPictureSide; ++x)
            {
                const Rgb& c = kQuadrants[x >= kPictureSide / 2][y < kPictureSide / 2];
                uint8_t* p = picture.Pixel(x, y);
                p[0] = uint8_t(c.b);
                p[1] = uint8_t(c.g);
                p[2] = uint8_t(c.r);
            }
        ASSERT_TRUE(picture.SaveBmp(Scratch("Quadrants.bmp")));
        Image dot;
        dot.Allocate(8, 8, Image::Format::BGR8);
        std::fill(dot.mPixels.begin(), dot.mPixels.end(), uint8_t(255));
        ASSERT_TRUE(dot.SaveBmp(Scratch("Dot.bmp")));
        mMap->Image().SetFile(Scratch("Quadrants.bmp"));
        mMap->SetIcons(Scratch("Dot.bmp"), 1, 0.02f);
        ASSERT_EQ(mMap->Image().GetWidth(), kPictureSide);
    }

    // The map turned as given with one icon on it, over a grey screen.
    Image DrawIcon(float angle, float x, float z)
    {
        mMap->SetAngle(angle);
        mMap->ClearIcons();
        mMap->AddIcon(0, x, z);
        return Draw();
    }
    Image Draw()
    {
        mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
        mGui->Painter().BeginDraw();
        mMap->Render(*mGui);
        mGui->Painter().EndDraw();
        Image image;
        EXPECT_TRUE(mDevice->ReadBack(nullptr, image));
        return image;
    }

    Cog* mPanel = nullptr;
    MapImageBox* mMap = nullptr;
};

// For several headings: the picture under the box is the ground the transform puts there (the
// screen behind it beyond the map), all four corners of the map are drawn in the box, the icon
// is drawn over its own quadrant, and a click on the icon sends the icon's map point.
TEST_F(MapImageBoxRenderTest, PictureIconsAndClicksShareTheHeadingAndShowTheWholeMap)
{
    struct Case
    {
        float angle, x, z;
    };
    const Case cases[] = {
        {0.0f, 0.3f, 0.7f},  {1.5707964f, 0.7f, 0.3f}, {1.0f, 0.15f, 0.8f}, {4.0f, 0.65f, 0.35f},
        {6.0f, 0.35f, 0.6f}, {3.1415927f, 0.8f, 0.8f}, {5.5f, 0.25f, 0.7f}, {0.7853982f, 0.05f, 0.05f},
    };
    int beyondSeen = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "angle " << c.angle);
        const Image withIcon = DrawIcon(c.angle, c.x, c.z);
        ASSERT_FALSE(withIcon.IsEmpty());
        double sumX = 0.0, sumY = 0.0;
        int dots = 0;
        for (int y = kTop; y < kTop + kSide; ++y)
            for (int x = kLeft; x < kLeft + kSide; ++x)
                if (const Rgb p = At(withIcon, x, y); p.r > 200 && p.g > 200 && p.b > 200)
                {
                    sumX += x;
                    sumY += y;
                    ++dots;
                }
        ASSERT_GT(dots, 30) << "the icon is drawn";
        const int iconX = int(std::lround(sumX / dots)), iconY = int(std::lround(sumY / dots));

        mMap->ClearIcons();
        const Image picture = Draw();
        Rgb want{};
        ASSERT_TRUE(Expected(c.x, c.z, want));
        EXPECT_TRUE(Same(At(picture, iconX, iconY), want)) << "the icon at " << iconX << "," << iconY;
        // A grid over the box.
        int checked = 0;
        for (int gy = 5; gy < kSide; gy += 17)
            for (int gx = 5; gx < kSide; gx += 17)
            {
                float x = 0.0f, z = 0.0f;
                Ground(c.angle, (float(gx) + 0.5f) / kSide - 0.5f, 0.5f - (float(gy) + 0.5f) / kSide, x, z);
                if (!Expected(x, z, want))
                    continue;
                ++checked;
                beyondSeen += Same(want, kBackground) ? 1 : 0;
                const Rgb got = At(picture, kLeft + gx, kTop + gy);
                EXPECT_TRUE(Same(got, want)) << "pixel " << gx << "," << gy << " over " << x << "," << z << " is "
                                             << got.r << "," << got.g << "," << got.b;
            }
        EXPECT_GT(checked, 40);
        // Each corner of the map, read back just inside it, lies in the box in its colour.
        const float co = std::cos(c.angle), si = std::sin(c.angle), k = std::fabs(co) + std::fabs(si);
        for (const float x : {0.05f, 0.95f})
            for (const float z : {0.05f, 0.95f})
            {
                const float vx = ((x - 0.5f) * co + (z - 0.5f) * si) / k;
                const float vy = ((z - 0.5f) * co - (x - 0.5f) * si) / k;
                const int px = kLeft + int((0.5f + vx) * kSide), py = kTop + int((0.5f - vy) * kSide);
                ASSERT_TRUE(px >= kLeft && px < kLeft + kSide && py >= kTop && py < kTop + kSide) << x << "," << z;
                ASSERT_TRUE(Expected(x, z, want));
                EXPECT_TRUE(Same(At(picture, px, py), want)) << "the map's corner near " << x << "," << z;
            }

        Click(iconX, iconY);
        const auto& sent = GuiFixture::Heard(mPanel).mMaps;
        ASSERT_FALSE(sent.empty());
        EXPECT_NEAR(sent.back().x, c.x, 0.01f);
        EXPECT_NEAR(1.0f - sent.back().y, c.z, 0.01f);
        GuiFixture::Heard(mPanel).mMaps.clear();
    }
    EXPECT_GT(beyondSeen, 10) << "box corners beyond the turned map";
}

// The box does not clip: an icon on the map's edge, or off the map (the camera's, past the
// field's edge, however far), is drawn whole inside the box, touching the edge on its side.
TEST_F(MapImageBoxRenderTest, IconsNearTheEdgeStayInsideTheBox)
{
    struct Case
    {
        float angle, x, z;
        // The box's side the icon touches: 1 bottom, 2 right, 3 top, 4 left.
        int side;
    };
    const Case cases[] = {
        {0.0f, 0.5f, -0.195f, 1},
        {0.0f, 1.195f, 0.5f, 2},
        {3.1415927f, 0.5f, 0.005f, 3},
        {0.0f, -3.0f, 0.5f, 4},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "icon " << c.x << "," << c.z << " angle " << c.angle);
        const Image image = DrawIcon(c.angle, c.x, c.z);
        ASSERT_FALSE(image.IsEmpty());
        int inside = 0, outside = 0;
        int bottom = kTop, right = kLeft, top = kTop + kSide, left = kLeft + kSide;
        for (int y = 0; y < int(image.mHeight); ++y)
            for (int x = 0; x < int(image.mWidth); ++x)
                if (const Rgb p = At(image, x, y); p.r > 200 && p.g > 200 && p.b > 200)
                {
                    if (x < kLeft || x >= kLeft + kSide || y < kTop || y >= kTop + kSide)
                    {
                        ++outside;
                        continue;
                    }
                    ++inside;
                    bottom = std::max(bottom, y);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    left = std::min(left, x);
                }
        EXPECT_EQ(outside, 0) << "icon pixels outside the box";
        EXPECT_GT(inside, 30) << "the icon is drawn";
        const bool touches = c.side == 1 ? bottom >= kTop + kSide - 2
            : c.side == 2                ? right >= kLeft + kSide - 2
            : c.side == 3                ? top <= kTop + 1
                                         : left <= kLeft + 1;
        EXPECT_TRUE(touches) << "bottom " << bottom << " right " << right << " top " << top << " left " << left;
    }
}
