#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GpuBuffer;
class GpuTexture;
class GraphicsDevice;
class Shader;
class ShaderControl;
class VertexLayout;

// One off-screen buffer of the post-processor; buffer 0 stands for the back buffer and has no
// texture of its own.
struct PostBuffer
{
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    float mWidthF = 0.0f;
    float mHeightF = 0.0f;
    std::unique_ptr<GpuTexture> mTexture;
};

// Redirects the frame into an off-screen buffer and, at the end of the frame, runs the script
// function named after the current effect, which composes full-screen passes with "DoPostPass"
// and "BlurBuffer" and finishes in buffer 0. Also draws the full-screen shadow quad.
class PostProcessor
{
public:
    static constexpr uint32_t kBufferCount = 5;

    // Registers "PostP", "DoPostPass" and "BlurBuffer"; the destructor removes them.
    PostProcessor();
    ~PostProcessor();
    PostProcessor(const PostProcessor&) = delete;
    PostProcessor& operator=(const PostProcessor&) = delete;

    void SetDevice(GraphicsDevice* device, ShaderControl* shaders);
    // Device hooks: the reset makes the quad and, when active, the buffers again.
    void OnLostDevice();
    void OnResetDevice();
    void RefillQuad();

    void BeginFrame();
    void EndFrame();
    void RenderShadow();

    // Console commands.
    void PostP(std::string name);
    void DoPostPass(std::string technique, uint32_t a, uint32_t b, uint32_t destination);
    void BlurBuffer(uint32_t index, uint32_t iterations);

    // Every pass of the shader's current technique over the full-screen quad.
    void DrawQuad(Shader& shader);

    bool IsActive() const { return mActive; }
    const std::string& GetEffectName() const { return mEffectName; }
    size_t GetBufferCount() const { return mBuffers.size(); }
    const PostBuffer& GetBuffer(size_t index) const { return mBuffers[index]; }

private:
    void CreateBuffers();
    void ReleaseBuffers();
    bool IsLive(uint32_t index) const { return mActive && index < mBuffers.size(); }
    void DrawQuadPasses();

    GraphicsDevice* mDevice = nullptr;
    ShaderControl* mShaders = nullptr;
    std::vector<PostBuffer> mBuffers;
    GpuTexture* mSavedTarget = nullptr;
    std::unique_ptr<GpuBuffer> mQuad;
    std::unique_ptr<VertexLayout> mLayout;
    std::string mEffectName = "MonoChrome";
    int32_t mScreenWidth = 0;
    int32_t mScreenHeight = 0;
    bool mActive = false;
};
