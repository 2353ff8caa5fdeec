#pragma once
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/device/GraphicsDevice.h"
#include "tests/platform/WindowFixture.h"

// What the tests' devices ask for: the given size, no vsync.
inline DeviceDesc TestDeviceDesc(uint32_t width, uint32_t height)
{
    DeviceDesc desc;
    desc.mWidth = width;
    desc.mHeight = height;
    desc.mVSync = false;
    return desc;
}

// Where the device draws a frame: its own buffer, copied to a window of another size at each
// present, or straight into a window of the frame's size.
enum class BackBuffer
{
    Own,
    Window
};

// The headless window and a GL device on it; a fatal failure when either does not come up.
inline void OpenTestDevice(const DeviceDesc& desc, PlatformWindow*& window, std::unique_ptr<GraphicsDevice>& device,
                           BackBuffer backBuffer = BackBuffer::Own)
{
    if (backBuffer == BackBuffer::Window)
        ASSERT_NO_FATAL_FAILURE(OpenTestWindow(window, desc.mWidth, desc.mHeight));
    else
        ASSERT_NO_FATAL_FAILURE(OpenTestWindow(window));
    std::string error;
    device = GraphicsDevice::CreateGl(PlatformWindow::GetHandle(), desc, error);
    ASSERT_NE(device, nullptr) << error;
}

// A GL device on the headless window, 64x64 unless a test asks otherwise.
class DeviceFixture : public ::testing::Test
{
protected:
    static constexpr uint32_t kGrey = 0xFF808080;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenTestDevice(TestDeviceDesc(64, 64), mWindow, mDevice, mBackBuffer));
        static const VertexElement textured[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                                 {12, VertexType::Color, VertexSemantic::Color, 0},
                                                 {16, VertexType::Float2, VertexSemantic::TexCoord, 0}};
        mTexturedLayout = mDevice->CreateVertexLayout(textured);
        static const VertexElement colored[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                                {12, VertexType::Color, VertexSemantic::Color, 0}};
        mColorLayout = mDevice->CreateVertexLayout(colored);
    }

    // A square render target of the given side.
    std::unique_ptr<GpuTexture> RenderTarget(uint32_t side)
    {
        TextureDesc desc;
        desc.mWidth = side;
        desc.mHeight = side;
        desc.mRenderTarget = true;
        return mDevice->CreateTexture(desc);
    }

    void TearDown() override
    {
        mTexturedLayout.reset();
        mColorLayout.reset();
        mDevice.reset();
        PinLoadedLibraries();
        PlatformWindow::Destroy();
    }

    // A screen-space rectangle in pixels, drawn with the text program.
    void DrawRect(float left, float top, float right, float bottom, uint32_t argb, float z = 0.5f,
                  GpuTexture* texture = nullptr)
    {
        using V = GraphicsDevice::TexturedVertex;
        const V v[6] = {{left, top, z, argb, 0, 0},  {right, top, z, argb, 1, 0},    {left, bottom, z, argb, 0, 1},
                        {right, top, z, argb, 1, 0}, {right, bottom, z, argb, 1, 1}, {left, bottom, z, argb, 0, 1}};
        mDevice->SetTexture(0, texture);
        mDevice->SetVertexLayout(mTexturedLayout.get());
        mDevice->UseBuiltin(GraphicsDevice::Builtin::ScreenText);
        mDevice->DrawUser(PrimitiveType::TriangleList, 2, v, sizeof(V));
    }

    uint32_t PixelAt(int x, int y, GpuTexture* source = nullptr)
    {
        Image image;
        EXPECT_TRUE(mDevice->ReadBack(source, image));
        if (image.IsEmpty())
            return 0;
        return image.GetARGB(uint32_t(x), uint32_t(y));
    }

    BackBuffer mBackBuffer = BackBuffer::Own;
    PlatformWindow* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::unique_ptr<VertexLayout> mTexturedLayout;
    std::unique_ptr<VertexLayout> mColorLayout; // position and colour, no texture
};

// The device's own tests run on both back buffers, each checked to be the one drawn into.
class EachBackBuffer : public DeviceFixture, public ::testing::WithParamInterface<BackBuffer>
{
protected:
    void SetUp() override
    {
        mBackBuffer = GetParam();
        ASSERT_NO_FATAL_FAILURE(DeviceFixture::SetUp());
        GLint drawn = -1;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
        ASSERT_EQ(drawn == 0, mBackBuffer == BackBuffer::Window);
    }
};

inline std::string BackBufferName(const ::testing::TestParamInfo<BackBuffer>& info)
{
    return info.param == BackBuffer::Window ? "IntoTheWindow" : "IntoItsOwnBuffer";
}
