#include "WindowFixture.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

#include "LOOM/console/Console.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/platform/BombBitmap.h"

TEST(PlatformWindowCenterOn, UsesIntegerHalves)
{
    const struct
    {
        int32_t screenWidth, screenHeight, width, height, x, y;
    } table[] = {
        {1280, 1024, 1024, 768, 128, 128}, {1280, 1024, 256, 265, 512, 380}, {1024, 768, 801, 601, 112, 84},
        {800, 600, 800, 600, 0, 0},        {800, 600, 1024, 768, -112, -84}, {1281, 1025, 3, 3, 639, 511},
    };
    for (const auto& row : table)
    {
        const WindowPlacement placement =
            PlatformWindow::CenterOn(row.screenWidth, row.screenHeight, row.width, row.height);
        EXPECT_EQ(placement.mX, row.x) << row.screenWidth << "x" << row.screenHeight << " " << row.width;
        EXPECT_EQ(placement.mY, row.y) << row.screenWidth << "x" << row.screenHeight << " " << row.height;
    }
}

using PlatformWindowPlacement = WindowFixture;

namespace {
// Where a window stands and its size: x, y, width, height.
std::array<int, 4> WindowRect(SDL_Window* window)
{
    std::array<int, 4> rect{};
    SDL_GetWindowPosition(window, &rect[0], &rect[1]);
    SDL_GetWindowSize(window, &rect[2], &rect[3]);
    return rect;
}
} // namespace

TEST_F(PlatformWindowPlacement, MainWindowStartsHiddenAtItsPlace)
{
    SDL_Window* main = mWindow->GetMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(PlatformWindow::GetHandle(), main);
    EXPECT_STREQ(SDL_GetWindowTitle(main), "Kestrane");
    EXPECT_EQ(WindowRect(main), (std::array<int, 4>{50, 50, 800, 600}));
    const Uint32 flags = SDL_GetWindowFlags(main);
    EXPECT_TRUE(flags & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(flags & SDL_WINDOW_HIDDEN);
}

TEST_F(PlatformWindowPlacement, SplashIsCentredAndShowing)
{
    SDL_Window* splash = mWindow->GetSplashWindow();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(mWindow->IsSplashShowing());
    EXPECT_STREQ(SDL_GetWindowTitle(splash), "LOOM ENGINE");
    EXPECT_EQ(
        WindowRect(splash),
        (std::array<int, 4>{mWindow->GetScreenWidth() / 2 - 128, mWindow->GetScreenHeight() / 2 - 132, 256, 265}));
    EXPECT_TRUE(SDL_GetWindowFlags(splash) & SDL_WINDOW_SHOWN);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

TEST_F(PlatformWindowPlacement, ShowMainWindowHidesSplashAndCursor)
{
    mWindow->ShowMainWindow();
    EXPECT_FALSE(mWindow->IsSplashShowing());
    EXPECT_TRUE(SDL_GetWindowFlags(mWindow->GetMainWindow()) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(SDL_GetWindowFlags(mWindow->GetSplashWindow()) & SDL_WINDOW_HIDDEN);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_TRUE(mWindow->PumpMessages());
}

TEST_F(PlatformWindowPlacement, ResizeAndCenterPlacesOnTheScreen)
{
    mWindow->ResizeAndCenter(640, 480);
    const WindowPlacement expected =
        PlatformWindow::CenterOn(mWindow->GetScreenWidth(), mWindow->GetScreenHeight(), 640, 480);
    EXPECT_EQ(WindowRect(mWindow->GetMainWindow()), (std::array<int, 4>{expected.mX, expected.mY, 640, 480}));
}

TEST_F(PlatformWindowPlacement, ResizeToNothingIsRefused)
{
    const struct
    {
        int32_t width, height;
    } table[] = {{0, 480}, {640, 0}, {-5, 480}, {0, 0}};
    for (const auto& row : table)
    {
        const uint32_t before = Console::Instance().GetEntryCounter();
        mWindow->ResizeAndCenter(row.width, row.height);
        ASSERT_EQ(Console::Instance().GetEntryCounter(), before + 1);
        EXPECT_EQ(Console::Instance().GetEntries().FromNewest(0).mCategory, LogError);
        int w = 0, h = 0;
        SDL_GetWindowSize(mWindow->GetMainWindow(), &w, &h);
        EXPECT_EQ(w, 800);
        EXPECT_EQ(h, 600);
    }
}

TEST(PlatformWindowLifetime, CreateTwiceKeepsOneWindow)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    PlatformWindow* first = CreateTestWindow();
    PlatformWindow* second = PlatformWindow::Create();
    EXPECT_EQ(first, second);
    EXPECT_EQ(gPlatformWindow, first);
    PlatformWindow::Destroy();
    EXPECT_EQ(gPlatformWindow, nullptr);
    EXPECT_EQ(PlatformWindow::GetHandle(), nullptr);
    PlatformWindow::Destroy(); // nothing left: harmless
}

TEST(PlatformWindowLifetime, DestroyRestoresCursorAndFilter)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    CreateTestWindow();
    PlatformWindow::Destroy();
    SDL_EventFilter filter = nullptr;
    void* userdata = nullptr;
    EXPECT_FALSE(SDL_GetEventFilter(&filter, &userdata));
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

namespace {
// The colour of one pixel of the splash window's surface.
SDL_Color SplashPixel(SDL_Window* splash, int x, int y)
{
    SDL_Surface* surface = SDL_GetWindowSurface(splash);
    SDL_Color colour{};
    if (!surface || SDL_LockSurface(surface) != 0)
        return colour;
    const Uint8* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
    Uint32 pixel = 0;
    std::memcpy(&pixel, row + x * surface->format->BytesPerPixel, surface->format->BytesPerPixel);
    SDL_GetRGB(pixel, surface->format, &colour.r, &colour.g, &colour.b);
    SDL_UnlockSurface(surface);
    return colour;
}
} // namespace

// The splash shows the working directory's bitmap; any file it cannot show leaves it blank with
// an Error naming the file, decided from the header before anything is decoded.
TEST(PlatformWindowSplash, ShowsTheBitmapOrNamesWhatIsWrongWithIt)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::string good;
    {
        ScratchFolder folder("splashsource");
        const std::string path = (folder.Path() / "good.bmp").string();
        SDL_Surface* image = SDL_CreateRGBSurfaceWithFormat(0, 256, 265, 24, SDL_PIXELFORMAT_RGB24);
        ASSERT_NE(image, nullptr);
        SDL_FillRect(image, nullptr, SDL_MapRGB(image->format, 200, 40, 10));
        ASSERT_EQ(SDL_SaveBMP(image, path.c_str()), 0);
        SDL_FreeSurface(image);
        std::ifstream in(path, std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string noise(4096, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 2654435761u) >> 13);

    enum Place
    {
        File,
        Nothing,
        Folder
    };
    struct Case
    {
        const char* mName;
        Place mPlace;
        std::string mBytes;
        const char* mError; // null: no Error at all
        Uint8 mRed;
    };
    const std::vector<Case> cases = {
        {"a 256x265 bitmap", File, good, nullptr, 200},
        {"no bitmap", Nothing, "", nullptr, 0},
        {"a header alone", File, "BM\x10", "is not an image", 0},
        {"an empty file", File, "", "is not an image", 0},
        {"the bitmap cut in half", File, good.substr(0, good.size() / 2), "the BMP is cut short", 0},
        // A 32x32 PNG whose pixel chunk claims a gigabyte: refused before a byte of it is reserved.
        {"a PNG chunk longer than its file", File,
         std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x20\0\0\0\x20\x08\x06\0\0\0\x73\x7a\x7a\xf4"
                     "\x3f\xff\xff\xf0IDATx^c",
                     44),
         "the PNG is cut short", 0},
        {"random bytes", File, noise, "InvaderLoading.bmp: ", 0},
        {"a folder", Folder, "", "cannot be read", 0},
        {"a 1,078-byte bitmap declaring 30000x30000", File, BombBitmap(30000, 30000),
         "30000x30000 decodes to 2575 MiB, above the 64 MiB cap", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        ScratchFolder folder("splash");
        const std::filesystem::path path = folder.Path() / "InvaderLoading.bmp";
        if (c.mPlace == Folder)
            std::filesystem::create_directory(path);
        else if (c.mPlace == File)
            std::ofstream(path, std::ios::binary) << c.mBytes;
        WorkingDirectory cwd(folder.Path());
        const uint32_t mark = Console::Instance().GetEntryCounter();
        PlatformWindow* window = CreateTestWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->IsAlive());
        EXPECT_TRUE(window->IsSplashShowing());
        const SDL_Color shown = SplashPixel(window->GetSplashWindow(), 100, 200);
        EXPECT_EQ(shown.r, c.mRed);
        EXPECT_EQ(shown.g, c.mRed ? 40 : 0);
        EXPECT_EQ(shown.b, c.mRed ? 10 : 0);
        PlatformWindow::Destroy();

        const std::vector<std::string> errors = LogCapture(mark).Errors();
        if (!c.mError)
            EXPECT_EQ(errors, std::vector<std::string>());
        else
            EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [&](const std::string& e) {
                return e.find("InvaderLoading.bmp") != std::string::npos && e.find(c.mError) != std::string::npos;
            })) << ::testing::PrintToString(errors);
    }
}
