#include <SDL.h>
#include <dlfcn.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "LOOM/console/Console.h"
#include "graphics/device/GlErrors.h"
#include "graphics/device/GlslPrelude.h"
#include "graphics/device/GraphicsDevice.h"

namespace {

constexpr int kGlMajor = 3;
constexpr int kGlMinor = 3;
constexpr int kAttributeSlots = int(kVertexAttributes.size());
constexpr uint32_t kStreamSize = 1u << 20;

class GlDevice;

GLenum ToGl(CompareFunc f)
{
    static const GLenum table[] = {GL_NEVER,   GL_LESS,     GL_EQUAL,  GL_LEQUAL,
                                   GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return table[static_cast<int>(f)];
}

GLenum ToGl(BlendFactor f)
{
    static const GLenum table[] = {GL_ZERO,      GL_ONE,
                                   GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                   GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                                   GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA,
                                   GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR};
    return table[static_cast<int>(f)];
}

GLenum ToGl(BlendOp op)
{
    static const GLenum table[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
    return table[static_cast<int>(op)];
}

GLenum ToGl(StencilOp op)
{
    static const GLenum table[] = {GL_KEEP, GL_ZERO,   GL_REPLACE,   GL_INCR,
                                   GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return table[static_cast<int>(op)];
}

GLenum ToGl(PrimitiveType type)
{
    static const GLenum table[] = {GL_POINTS,    GL_LINES,          GL_LINE_STRIP,
                                   GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
    return table[static_cast<int>(type)];
}

GLenum ToGl(TextureAddress a)
{
    static const GLenum table[] = {GL_REPEAT, GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_BORDER};
    return table[static_cast<int>(a)];
}

struct GlFormat
{
    GLenum mInternal;
    GLenum mFormat;
    GLenum mType;
    bool mCompressed;
};

GlFormat ToGl(TextureFormat format)
{
    switch (format)
    {
    case TextureFormat::RGBA8:
        return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, false};
    case TextureFormat::RGB8:
        return {GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, false};
    case TextureFormat::DXT1:
        return {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true};
    case TextureFormat::DXT3:
        return {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true};
    case TextureFormat::DXT5:
        return {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, true};
    case TextureFormat::RGBA16F:
        return {GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, false};
    }
    return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, false};
}

class GlBuffer : public GpuBuffer
{
public:
    GlBuffer(GlDevice* device, GLenum target, uint32_t size, bool dynamic, bool bits32);
    ~GlBuffer() override;
    void* Lock(uint32_t offset, uint32_t size, LockFlag flag) override
    {
        if (mLocked || offset > mSize || size > mSize - offset)
            return nullptr;
        mLocked = true;
        mLockOffset = offset;
        mLockSize = size == 0 ? mSize - offset : size;
        mLockFlag = flag;
        return mStaging.data() + offset;
    }
    void Unlock() override;
    GLuint Id() const { return mId; }

private:
    GlDevice* mDevice;
    GLenum mTarget;
    GLuint mId = 0;
    std::vector<uint8_t> mStaging;
    bool mLocked = false;
    uint32_t mLockOffset = 0;
    uint32_t mLockSize = 0;
    LockFlag mLockFlag = LockFlag::None;
};

class GlTexture : public GpuTexture
{
public:
    explicit GlTexture(const TextureDesc& desc)
    {
        mDesc = desc;
        mTarget = desc.mKind == TextureKind::Cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
        const GlFormat f = ToGl(desc.mFormat);
        glGenTextures(1, &mId);
        glBindTexture(mTarget, mId);
        glTexParameteri(mTarget, GL_TEXTURE_BASE_LEVEL, 0);
        // Without the max level, an incomplete chain samples black.
        glTexParameteri(mTarget, GL_TEXTURE_MAX_LEVEL, GLint(desc.mLevels - 1));
        const uint32_t faces = desc.mKind == TextureKind::Cube ? 6 : 1;
        for (uint32_t face = 0; face < faces; ++face)
        {
            const GLenum target = faces == 6 ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
            for (uint32_t level = 0; level < desc.mLevels; ++level)
            {
                const GLsizei w = GLsizei(std::max(desc.mWidth >> level, 1u));
                const GLsizei h = GLsizei(std::max(desc.mHeight >> level, 1u));
                if (f.mCompressed)
                    glCompressedTexImage2D(target, GLint(level), f.mInternal, w, h, 0,
                                           GLsizei(TextureLevelSize(desc.mFormat, w, h)), nullptr);
                else
                    glTexImage2D(target, GLint(level), GLint(f.mInternal), w, h, 0, f.mFormat, f.mType, nullptr);
            }
        }
        glBindTexture(mTarget, 0);
    }
    ~GlTexture() override { glDeleteTextures(1, &mId); }

    bool Upload(uint32_t face, uint32_t level, const void* data, size_t size) override
    {
        const uint32_t faces = mDesc.mKind == TextureKind::Cube ? 6 : 1;
        if (face >= faces || level >= mDesc.mLevels || !data)
            return false;
        const GLsizei w = GLsizei(std::max(mDesc.mWidth >> level, 1u));
        const GLsizei h = GLsizei(std::max(mDesc.mHeight >> level, 1u));
        if (size != TextureLevelSize(mDesc.mFormat, w, h))
            return false;
        const GlFormat f = ToGl(mDesc.mFormat);
        const GLenum target = faces == 6 ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
        glActiveTexture(GL_TEXTURE0 + kUploadUnit);
        glBindTexture(mTarget, mId);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        if (f.mCompressed)
            glCompressedTexSubImage2D(target, GLint(level), 0, 0, w, h, f.mInternal, GLsizei(size), data);
        else
            glTexSubImage2D(target, GLint(level), 0, 0, w, h, f.mFormat, f.mType, data);
        glBindTexture(mTarget, 0);
        glActiveTexture(GL_TEXTURE0);
        return true;
    }

    // A unit no stage uses, so uploads leave the bound stages alone.
    static constexpr GLenum kUploadUnit = 15;
    GLuint mId = 0;
    GLenum mTarget = GL_TEXTURE_2D;
};

class GlProgram : public GpuProgram
{
public:
    GlProgram(GLuint id) : mId(id)
    {
        // The uniforms the layer sets itself, found by name at link time.
        static constexpr std::pair<const char*, GLint GlProgram::*> kLayerUniforms[] = {
            {"uAlphaFunc", &GlProgram::mAlphaFunc},
            {"uAlphaRef", &GlProgram::mAlphaRef},
            {"uClipPlanes", &GlProgram::mClipPlanes},
            {"uPointSize", &GlProgram::mPointSize},
            {"uWorld", &GlProgram::mWorld},
            {"uViewProjection", &GlProgram::mViewProjection},
            {"uView", &GlProgram::mView},
            {"uPointScale", &GlProgram::mPointScale},
            {"uScreenSize", &GlProgram::mScreenSize},
            {"uUseTexture", &GlProgram::mUseTexture},
            {"uRowsUp", &GlProgram::mRowsUp}};
        GLint count = 0;
        glGetProgramiv(id, GL_ACTIVE_UNIFORMS, &count);
        for (GLint i = 0; i < count; ++i)
        {
            char name[256];
            GLsizei length = 0;
            GLint size = 0;
            GLenum type = 0;
            glGetActiveUniform(id, GLuint(i), sizeof(name), &length, &size, &type, name);
            std::string text(name, size_t(length));
            if (text.size() > 3 && text.compare(text.size() - 3, 3, "[0]") == 0)
                text.resize(text.size() - 3);
            UniformInfo info;
            info.mName = text;
            info.mLocation = glGetUniformLocation(id, name);
            info.mArraySize = uint32_t(size);
            switch (type)
            {
            case GL_FLOAT:
                info.mComponents = 1;
                break;
            case GL_FLOAT_VEC2:
                info.mComponents = 2;
                break;
            case GL_FLOAT_VEC3:
                info.mComponents = 3;
                break;
            case GL_FLOAT_VEC4:
                info.mComponents = 4;
                break;
            case GL_FLOAT_MAT4:
                info.mComponents = 16;
                break;
            case GL_INT:
            case GL_BOOL:
                info.mComponents = 1;
                info.mInteger = true;
                break;
            case GL_SAMPLER_2D:
            case GL_SAMPLER_CUBE:
                info.mSampler = true;
                info.mInteger = true;
                break;
            default:
                info.mComponents = 0;
                break;
            }
            for (const auto& [uniform, location] : kLayerUniforms)
                if (text == uniform)
                    this->*location = info.mLocation;
            mUniforms.push_back(std::move(info));
        }
    }
    ~GlProgram() override { glDeleteProgram(mId); }

    GLuint mId;
    GLint mAlphaFunc = -1;
    GLint mAlphaRef = -1;
    GLint mClipPlanes = -1;
    GLint mPointSize = -1;
    GLint mWorld = -1;
    GLint mViewProjection = -1;
    GLint mView = -1;
    GLint mPointScale = -1;
    GLint mScreenSize = -1;
    GLint mUseTexture = -1;
    GLint mRowsUp = -1;
    // What the device last uploaded of its own values into this program; GL starts each at 0.
    float mSentRowsUp = 0.0f;
    int32_t mSentAlphaFunc = -1;
    float mSentAlphaRef = -1.0f;
    float mSentPointSize = -1.0f;
    uint64_t mSentClipGeneration = 0;
    uint32_t mSentClipMask = ~0u;
};

// A shader's or a program's info log, as GL wrote it.
template <typename GetInt, typename GetLog>
std::string InfoLog(GLuint object, GetInt getInt, GetLog getLog)
{
    GLint length = 0;
    getInt(object, GL_INFO_LOG_LENGTH, &length);
    std::string text(size_t(std::max(length, 1)), '\0');
    getLog(object, length, nullptr, text.data());
    text.resize(std::strlen(text.c_str()));
    return text;
}

GLuint Compile(GLenum kind, const std::string& source, std::string& log)
{
    GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok)
    {
        log +=
            (kind == GL_VERTEX_SHADER ? "vertex: " : "fragment: ") + InfoLog(shader, glGetShaderiv, glGetShaderInfoLog);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

struct SamplerKey
{
    SamplerState mState;
    bool operator<(const SamplerKey& o) const
    {
        auto tie = [](const SamplerState& s) {
            return std::tie(s.mMin, s.mMag, s.mMip, s.mMipEnable, s.mU, s.mV, s.mW);
        };
        return tie(mState) < tie(o.mState);
    }
};

struct DepthKey
{
    uint32_t mWidth, mHeight;
    bool operator<(const DepthKey& o) const { return std::tie(mWidth, mHeight) < std::tie(o.mWidth, o.mHeight); }
};

class GlDevice : public GraphicsDevice
{
public:
    GlDevice(SDL_Window* window, SDL_GLContext context) : mWindow(window), mContext(context) {}

    ~GlDevice() override
    {
        SDL_GL_MakeCurrent(mWindow, mContext);
        mBuiltins.clear();
        for (auto& entry : mSamplerObjects)
            glDeleteSamplers(1, &entry.second);
        for (auto& entry : mDepthBuffers)
            glDeleteRenderbuffers(1, &entry.second);
        DestroyBackBuffer();
        GLuint fbos[] = {mTargetFbo, mReadFbo, mDrawFbo};
        glDeleteFramebuffers(3, fbos);
        GLuint buffers[] = {mStreamVbo, mStreamIbo};
        glDeleteBuffers(2, buffers);
        glDeleteVertexArrays(1, &mVao);
        if (mFrameDone)
            glDeleteSync(mFrameDone);
        if (SDL_GL_GetCurrentContext() == mContext)
            SDL_GL_MakeCurrent(mWindow, nullptr);
        SDL_GL_DeleteContext(mContext);
    }

    bool Start(const DeviceDesc& desc, std::string& error)
    {
        GLint value = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &value);
        mCaps.mMaxTextureSize = value;
        glGetIntegerv(GL_MAX_SAMPLES, &value);
        mCaps.mMaxSamples = value;
        GLfloat pointRange[2] = {1.0f, 1.0f};
        glGetFloatv(GL_POINT_SIZE_RANGE, pointRange);
        mCaps.mMaxPointSize = pointRange[1];
        mCaps.mCompressedTextures = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
        mWindowUsable = WindowHasOurBuffers() && SwapKeepsTheFrame();
        FindEglSurface();
        glGenVertexArrays(1, &mVao);
        glBindVertexArray(mVao);
        glGenFramebuffers(1, &mTargetFbo);
        glGenFramebuffers(1, &mReadFbo);
        glGenFramebuffers(1, &mDrawFbo);
        glGenBuffers(1, &mStreamVbo);
        glBindBuffer(GL_ARRAY_BUFFER, mStreamVbo);
        glBufferData(GL_ARRAY_BUFFER, kStreamSize, nullptr, GL_STREAM_DRAW);
        glGenBuffers(1, &mStreamIbo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mStreamIbo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, kStreamSize, nullptr, GL_STREAM_DRAW);
        // Attributes a layout leaves out read these: white colour, no texture coordinates.
        glVertexAttrib4f(2, 1.0f, 1.0f, 1.0f, 1.0f);
        glVertexAttrib4f(3, 1.0f, 1.0f, 1.0f, 1.0f);
        // Our rows run top first in GL's bottom-up space: front faces turn counter-clockwise.
        glFrontFace(GL_CCW);
        glEnable(GL_PROGRAM_POINT_SIZE);
        glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
        glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
        if (!MakeBackBuffer(desc))
        {
            error = "the back buffer could not be made";
            return false;
        }
        mDesc = desc;
        SDL_GL_SetSwapInterval(desc.mVSync ? 1 : 0);
        ApplyWindowMode(desc, true);
        ChooseBackBuffer();
        for (uint32_t stage = 0; stage < kStages; ++stage)
            mSamplerDirty[stage] = true;
        std::string log;
        for (int i = 0; i < 4; ++i)
        {
            mBuiltins.push_back(CreateProgram(BuiltinVertexSource(i), BuiltinFragmentSource(i), log));
            if (!mBuiltins.back())
            {
                error = "a built-in program failed: " + log;
                return false;
            }
        }
        BindFramebuffer();
        ForceStates();
        std::string names;
        if (!TakeGlErrors(names))
        {
            error = "OpenGL reported " + names + " while setting up";
            return false;
        }
        return true;
    }

    bool Reset(const DeviceDesc& desc) override
    {
        if (!CanReset(desc))
            return false;
        SDL_GL_MakeCurrent(mWindow, mContext);
        const DeviceDesc old = mDesc;
        DestroyBackBuffer();
        if (!MakeBackBuffer(desc))
        {
            DestroyBackBuffer();
            MakeBackBuffer(old);
            return false;
        }
        mDesc = desc;
        SDL_GL_SetSwapInterval(desc.mVSync ? 1 : 0);
        ApplyWindowMode(desc, old.mWindowed != desc.mWindowed);
        ChooseBackBuffer();
        mTargets.fill(nullptr);
        BindFramebuffer();
        MarkReset();
        return true;
    }

    bool Present() override
    {
        if (mLoss.AtPresent())
            return false;
        if (mWatchFrames)
            CountUnfinishedFrames();
        if (!mDirect)
        {
            ResolveBackBuffer();
            int windowWidth = 0, windowHeight = 0;
            SDL_GL_GetDrawableSize(mWindow, &windowWidth, &windowHeight);
            glBindFramebuffer(GL_READ_FRAMEBUFFER, ReadBackBuffer());
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
            glDisable(GL_SCISSOR_TEST);
            // The one vertical flip: our top row is GL's bottom row.
            const bool same = windowWidth == mDesc.mWidth && windowHeight == mDesc.mHeight;
            glBlitFramebuffer(0, 0, mDesc.mWidth, mDesc.mHeight, 0, windowHeight, windowWidth, 0, GL_COLOR_BUFFER_BIT,
                              same ? GL_NEAREST : GL_LINEAR);
        }
        SDL_GL_SwapWindow(mWindow);
        PaceFrames();
        // The window may have taken its new size only now.
        ChooseBackBuffer();
        BindFramebuffer();
        ++mCounters.mPresents;
        return true;
    }

    void Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) override
    {
        // A clear touches only what the masks let through: open them, and drop the scissor.
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_TRUE);
        glStencilMask(0xFF);
        glDisable(GL_SCISSOR_TEST);
        mStatesValid = false;
        GLbitfield bits = 0;
        if (flags & ClearTarget)
        {
            glClearColor(((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
                         (argb >> 24) / 255.0f);
            bits |= GL_COLOR_BUFFER_BIT;
        }
        if (flags & ClearZBuffer)
        {
            glClearDepth(z);
            bits |= GL_DEPTH_BUFFER_BIT;
        }
        if (flags & ClearStencil)
        {
            glClearStencil(GLint(stencil & 0xFF));
            bits |= GL_STENCIL_BUFFER_BIT;
        }
        glClear(bits);
        ++mCounters.mClears;
    }

    void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height, float minZ, float maxZ) override
    {
        // Rows are top first in our buffers, so design coordinates are GL's as they are; the
        // window counts its rows from the bottom.
        glViewport(x, mRowsUp != 0.0f ? mDesc.mHeight - y - height : y, width, height);
        glDepthRange(minZ, maxZ);
        mViewWidth = width;
        mViewHeight = height;
    }

    void SetSamplerState(uint32_t stage, const SamplerState& state) override
    {
        if (stage >= kStages || mBound.mSamplers[stage] == state)
            return;
        mBound.mSamplers[stage] = state;
        mSamplerDirty[stage] = true;
    }

    void SetTexture(uint32_t stage, GpuTexture* texture) override
    {
        if (stage >= kStages || mBound.mTextures[stage] == texture)
            return;
        mBound.mTextures[stage] = texture;
        glActiveTexture(GL_TEXTURE0 + stage);
        if (texture)
        {
            auto* gl = static_cast<GlTexture*>(texture);
            if (mBoundTarget[stage] && mBoundTarget[stage] != gl->mTarget)
                glBindTexture(mBoundTarget[stage], 0);
            glBindTexture(gl->mTarget, gl->mId);
            mBoundTarget[stage] = gl->mTarget;
        }
        else if (mBoundTarget[stage])
        {
            glBindTexture(mBoundTarget[stage], 0);
            mBoundTarget[stage] = 0;
        }
        glActiveTexture(GL_TEXTURE0);
        ++mCounters.mTextureBinds;
    }

    std::unique_ptr<GpuBuffer> CreateVertexBuffer(uint32_t size, bool dynamic) override
    {
        return std::make_unique<GlBuffer>(this, GL_ARRAY_BUFFER, size, dynamic, false);
    }
    std::unique_ptr<GpuBuffer> CreateIndexBuffer(uint32_t size, bool dynamic, bool bits32) override
    {
        return std::make_unique<GlBuffer>(this, GL_ELEMENT_ARRAY_BUFFER, size, dynamic, bits32);
    }

    std::unique_ptr<GpuTexture> CreateTexture(const TextureDesc& desc) override
    {
        if (desc.mWidth == 0 || desc.mHeight == 0 || desc.mLevels == 0 ||
            desc.mWidth > uint32_t(mCaps.mMaxTextureSize) || desc.mHeight > uint32_t(mCaps.mMaxTextureSize) ||
            desc.mLevels > FullMipCount(desc.mWidth, desc.mHeight))
            return nullptr;
        const bool compressed = desc.mFormat == TextureFormat::DXT1 || desc.mFormat == TextureFormat::DXT3 ||
            desc.mFormat == TextureFormat::DXT5;
        if ((compressed && (!mCaps.mCompressedTextures || desc.mRenderTarget)))
            return nullptr;
        // Uploads go through another unit; keep stage bindings as they are.
        auto texture = std::make_unique<GlTexture>(desc);
        return texture;
    }

    std::unique_ptr<GpuProgram> CreateProgram(const std::string& vertexSource, const std::string& fragmentSource,
                                              std::string& log) override
    {
        GLuint vs = Compile(GL_VERTEX_SHADER, vertexSource, log);
        GLuint fs = Compile(GL_FRAGMENT_SHADER, fragmentSource, log);
        if (!vs || !fs)
        {
            glDeleteShader(vs);
            glDeleteShader(fs);
            return nullptr;
        }
        GLuint program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        glDeleteShader(vs);
        glDeleteShader(fs);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok)
        {
            log += "link: " + InfoLog(program, glGetProgramiv, glGetProgramInfoLog);
            glDeleteProgram(program);
            return nullptr;
        }
        return std::make_unique<GlProgram>(program);
    }

    void SetProgram(GpuProgram* program) override
    {
        if (mBound.mProgram == program)
            return;
        mBound.mProgram = program;
        glUseProgram(program ? static_cast<GlProgram*>(program)->mId : 0);
    }

    void SetUniformFloats(int32_t uniform, const float* values, uint32_t count) override
    {
        if (!mBound.mProgram || uniform < 0 || size_t(uniform) >= mBound.mProgram->GetUniforms().size() || count == 0)
            return;
        const UniformInfo& info = mBound.mProgram->GetUniforms()[size_t(uniform)];
        const GLsizei n = GLsizei(std::min(count, info.mArraySize));
        ++mCounters.mUniformUploads;
        switch (info.mComponents)
        {
        case 1:
            glUniform1fv(info.mLocation, n, values);
            break;
        case 2:
            glUniform2fv(info.mLocation, n, values);
            break;
        case 3:
            glUniform3fv(info.mLocation, n, values);
            break;
        case 4:
            glUniform4fv(info.mLocation, n, values);
            break;
        // Row-major as the engine keeps them; GLSL then writes M * v for the engine's v * M.
        case 16:
            glUniformMatrix4fv(info.mLocation, n, GL_FALSE, values);
            break;
        default:
            break;
        }
    }

    void SetUniformInt(int32_t uniform, int32_t value) override
    {
        if (!mBound.mProgram || uniform < 0 || size_t(uniform) >= mBound.mProgram->GetUniforms().size())
            return;
        ++mCounters.mUniformUploads;
        glUniform1i(mBound.mProgram->GetUniforms()[size_t(uniform)].mLocation, value);
    }

    void Draw(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override
    {
        if (!mStream || !mLayout || primitiveCount == 0 || !PrepareDraw())
            return;
        BindLayout(static_cast<GlBuffer*>(mStream)->Id(), mStreamOffset, mStride);
        glDrawArrays(ToGl(type), GLint(startVertex), GLsizei(VertexCount(type, primitiveCount)));
        Count(primitiveCount);
    }

    void DrawIndexed(PrimitiveType type, int32_t baseVertex, uint32_t startIndex, uint32_t primitiveCount) override
    {
        if (!mStream || !mLayout || !mIndices || primitiveCount == 0 || !PrepareDraw())
            return;
        BindLayout(static_cast<GlBuffer*>(mStream)->Id(), mStreamOffset, mStride);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GlBuffer*>(mIndices)->Id());
        const bool bits32 = mIndices->Is32Bit();
        const uintptr_t offset = uintptr_t(startIndex) * (bits32 ? 4 : 2);
        glDrawElementsBaseVertex(ToGl(type), GLsizei(VertexCount(type, primitiveCount)),
                                 bits32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(offset),
                                 baseVertex);
        Count(primitiveCount);
    }

    void DrawUser(PrimitiveType type, uint32_t primitiveCount, const void* vertices, uint32_t stride) override
    {
        const uint32_t bytes = VertexCount(type, primitiveCount) * stride;
        if (!mLayout || bytes == 0 || bytes > kStreamSize || !vertices || !PrepareDraw())
            return;
        const uint32_t offset = Stream(GL_ARRAY_BUFFER, mStreamVbo, mVboCursor, vertices, bytes, stride);
        BindLayout(mStreamVbo, offset, stride);
        glDrawArrays(ToGl(type), 0, GLsizei(VertexCount(type, primitiveCount)));
        Count(primitiveCount);
    }

    void DrawIndexedUser(PrimitiveType type, uint32_t vertexCount, uint32_t primitiveCount, const uint16_t* indices,
                         const void* vertices, uint32_t stride) override
    {
        const uint32_t bytes = vertexCount * stride;
        const uint32_t indexBytes = VertexCount(type, primitiveCount) * 2;
        if (!mLayout || bytes == 0 || indexBytes == 0 || bytes > kStreamSize || indexBytes > kStreamSize ||
            !PrepareDraw())
            return;
        const uint32_t offset = Stream(GL_ARRAY_BUFFER, mStreamVbo, mVboCursor, vertices, bytes, stride);
        BindLayout(mStreamVbo, offset, stride);
        const uint32_t indexOffset = Stream(GL_ELEMENT_ARRAY_BUFFER, mStreamIbo, mIboCursor, indices, indexBytes, 2);
        glDrawElements(ToGl(type), GLsizei(indexBytes / 2), GL_UNSIGNED_SHORT,
                       reinterpret_cast<const void*>(uintptr_t(indexOffset)));
        Count(primitiveCount);
    }

    bool SetRenderTarget(uint32_t index, GpuTexture* target, uint32_t face) override
    {
        if (index >= kTargets || (target && !target->GetDesc().mRenderTarget))
            return false;
        mTargets[index] = target;
        BindFramebuffer(face);
        return true;
    }

    bool StretchCopy(GpuTexture* source, const Rect* sourceRect, GpuTexture* dest, const Rect* destRect,
                     bool linear) override
    {
        if ((source && !source->GetDesc().mRenderTarget) || (dest && !dest->GetDesc().mRenderTarget))
            return false;
        // A multisampled back buffer takes no scaled blits; draws only.
        if (!dest && mDesc.mSamples > 1)
            return false;
        GLuint readFbo = 0;
        if (source)
        {
            AttachTo(mReadFbo, GL_READ_FRAMEBUFFER, static_cast<GlTexture*>(source));
            readFbo = mReadFbo;
        }
        else
        {
            ResolveBackBuffer();
            readFbo = ReadBackBuffer();
        }
        GLuint drawFbo = DrawnBackBuffer();
        if (dest)
        {
            AttachTo(mDrawFbo, GL_DRAW_FRAMEBUFFER, static_cast<GlTexture*>(dest));
            drawFbo = mDrawFbo;
        }
        const Rect full{0, 0, source ? int32_t(source->GetWidth()) : mDesc.mWidth,
                        source ? int32_t(source->GetHeight()) : mDesc.mHeight};
        const Rect fullDest{0, 0, dest ? int32_t(dest->GetWidth()) : mDesc.mWidth,
                            dest ? int32_t(dest->GetHeight()) : mDesc.mHeight};
        // The window's rows run from the bottom: a rect on it turns over, and the blit with it.
        const Rect s = WindowRows(sourceRect ? *sourceRect : full, !source);
        const Rect d = WindowRows(destRect ? *destRect : fullDest, !dest);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFbo);
        glDisable(GL_SCISSOR_TEST);
        glBlitFramebuffer(s.mLeft, s.mTop, s.mRight, s.mBottom, d.mLeft, d.mTop, d.mRight, d.mBottom,
                          GL_COLOR_BUFFER_BIT, linear ? GL_LINEAR : GL_NEAREST);
        BindFramebuffer();
        return true;
    }

    bool ReadBack(GpuTexture* source, Image& out) override
    {
        if (source && !source->GetDesc().mRenderTarget)
            return false;
        const uint32_t width = source ? source->GetWidth() : uint32_t(mDesc.mWidth);
        const uint32_t height = source ? source->GetHeight() : uint32_t(mDesc.mHeight);
        if (source)
        {
            AttachTo(mReadFbo, GL_READ_FRAMEBUFFER, static_cast<GlTexture*>(source));
            glBindFramebuffer(GL_READ_FRAMEBUFFER, mReadFbo);
        }
        else
        {
            ResolveBackBuffer();
            glBindFramebuffer(GL_READ_FRAMEBUFFER, ReadBackBuffer());
        }
        out.Allocate(width, height, Image::Format::BGR8);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        const bool window = !source && mDirect;
        glReadBuffer(window ? GL_BACK : GL_COLOR_ATTACHMENT0);
        glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_BGR, GL_UNSIGNED_BYTE, out.mPixels.data());
        // GL's row 0 is our top row, except in the window.
        if (window)
        {
            const size_t row = size_t(width) * 3;
            for (uint32_t y = 0; y < height / 2; ++y)
                std::swap_ranges(out.mPixels.begin() + std::ptrdiff_t(y * row),
                                 out.mPixels.begin() + std::ptrdiff_t((y + 1) * row),
                                 out.mPixels.begin() + std::ptrdiff_t((height - 1 - y) * row));
        }
        BindFramebuffer();
        return true;
    }

    void UseBuiltin(Builtin which) override
    {
        SetProgram(mBuiltins[static_cast<size_t>(which)].get());
        mBuiltinActive = true;
    }

    void BufferGone() { ++mBufferGeneration; }

private:
    bool MakeBackBuffer(const DeviceDesc& desc)
    {
        const GLsizei samples = desc.mSamples > 1 ? desc.mSamples : 0;
        glGenFramebuffers(1, &mBackFbo);
        glGenRenderbuffers(1, &mBackColor);
        glGenRenderbuffers(1, &mBackDepth);
        glBindRenderbuffer(GL_RENDERBUFFER, mBackColor);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGB8, desc.mWidth, desc.mHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, mBackDepth);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH24_STENCIL8, desc.mWidth, desc.mHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, mBackFbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, mBackColor);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, mBackDepth);
        bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        if (ok && samples > 0)
        {
            glGenFramebuffers(1, &mResolveFbo);
            glGenRenderbuffers(1, &mResolveColor);
            glBindRenderbuffer(GL_RENDERBUFFER, mResolveColor);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, desc.mWidth, desc.mHeight);
            glBindFramebuffer(GL_FRAMEBUFFER, mResolveFbo);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, mResolveColor);
            ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        }
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, mBackFbo);
        glGetError();
        return ok;
    }

    void DestroyBackBuffer()
    {
        GLuint fbos[] = {mBackFbo, mResolveFbo};
        glDeleteFramebuffers(2, fbos);
        GLuint rbs[] = {mBackColor, mBackDepth, mResolveColor};
        glDeleteRenderbuffers(3, rbs);
        mBackFbo = mResolveFbo = mBackColor = mBackDepth = mResolveColor = 0;
    }

    void ResolveBackBuffer()
    {
        if (!mResolveFbo)
            return;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, mBackFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mResolveFbo);
        glDisable(GL_SCISSOR_TEST);
        glBlitFramebuffer(0, 0, mDesc.mWidth, mDesc.mHeight, 0, 0, mDesc.mWidth, mDesc.mHeight, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        BindFramebuffer();
    }

    void ApplyWindowMode(const DeviceDesc& desc, bool changed)
    {
        if (!changed)
            return;
        if (!desc.mWindowed)
        {
            // Without a window manager the request alone leaves the window as it was on the
            // screen, while SDL takes it for the screen's size: the frame would be stretched for
            // a window that is not there. Laid over the screen first, it fills it either way.
            SDL_Rect screen{};
            const int display = SDL_GetWindowDisplayIndex(mWindow);
            if (display >= 0 && SDL_GetDisplayBounds(display, &screen) == 0 && screen.w > 0 && screen.h > 0)
            {
                SDL_SetWindowPosition(mWindow, screen.x, screen.y);
                SDL_SetWindowSize(mWindow, screen.w, screen.h);
            }
            SDL_SetWindowFullscreen(mWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
            return;
        }
        SDL_SetWindowFullscreen(mWindow, 0);
        SDL_SetWindowSize(mWindow, desc.mWidth, desc.mHeight);
        SDL_SetWindowPosition(mWindow, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }

    GLuint DepthBuffer(uint32_t width, uint32_t height)
    {
        GLuint& rb = mDepthBuffers[DepthKey{width, height}];
        if (!rb)
        {
            glGenRenderbuffers(1, &rb);
            glBindRenderbuffer(GL_RENDERBUFFER, rb);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(width), GLsizei(height));
            glBindRenderbuffer(GL_RENDERBUFFER, 0);
        }
        return rb;
    }

    void AttachTo(GLuint fbo, GLenum binding, GlTexture* texture)
    {
        glBindFramebuffer(binding, fbo);
        const GLenum target = texture->mTarget == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : GL_TEXTURE_2D;
        glFramebufferTexture2D(binding, GL_COLOR_ATTACHMENT0, target, texture->mId, 0);
    }

    // The frame goes straight into the window when the window is our back buffer's size and
    // has its depth and stencil; else into our own buffer, copied to the window at each present.
    bool WindowHasOurBuffers()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        const auto size = [](GLenum attachment, GLenum what) {
            GLint type = GL_NONE, value = 0;
            glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE,
                                                  &type);
            if (type == GL_NONE)
                return 0;
            glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, what, &value);
            return int(value);
        };
        const bool usable = size(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE) >= 8 &&
            size(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE) >= 8 &&
            size(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE) >= 8 &&
            size(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE) >= 24 &&
            size(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE) >= 8;
        // A window without some of these answers with an error; it is simply not used.
        while (glGetError() != GL_NO_ERROR)
        {
        }
        return usable;
    }

    // A frame must stay readable after it is presented, as screenshots read it then. Many
    // windows hand back another buffer at each swap; those keep our own buffer in between.
    bool SwapKeepsTheFrame()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        for (const uint8_t green : {uint8_t(255), uint8_t(0)})
        {
            glClearColor(0.0f, green / 255.0f, 1.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            SDL_GL_SwapWindow(mWindow);
            uint8_t pixel[4] = {};
            glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
            if (pixel[0] != 0 || pixel[1] != green || pixel[2] != 255)
                return false;
        }
        return true;
    }

    // A swap need not wait for anything (an offscreen surface's does not): unwaited frames pile
    // up unfinished, taking memory, and are then finished all at once in one long frame. Each
    // present waits for the frame before it to be done, so one frame at most is in flight.
    void PaceFrames()
    {
        if (mFrameDone)
        {
            const GLenum waited = glClientWaitSync(mFrameDone, GL_SYNC_FLUSH_COMMANDS_BIT, kFrameWaitNs);
            if (waited == GL_ALREADY_SIGNALED || waited == GL_CONDITION_SATISFIED)
                mPresentsDone = mCounters.mPresents;
            glDeleteSync(mFrameDone);
        }
        mFrameDone = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    }

    // Test runs log, as a present begins, each new most of the frames presented before it not
    // yet known to be done (the last one a fence wait saw finished), so a run shows whether
    // frames pile up without timing anything.
    void CountUnfinishedFrames()
    {
        const uint64_t unfinished = mCounters.mPresents - mPresentsDone;
        if (mCounters.mPresents > 0 && unfinished <= mMostUnfinished)
            return;
        mMostUnfinished = unfinished;
        Console::Instance().Log("Graphics: a present began with " + std::to_string(unfinished) +
                                " earlier frames unfinished");
    }

    // An EGL pbuffer, as the offscreen video driver's windows are, keeps the size it was made
    // with when its window is resized: its surface is asked instead. Found once, when the
    // window's context is EGL's; SDL keeps the library loaded while the window lives.
    void FindEglSurface()
    {
        void* egl = dlopen("libEGL.so.1", RTLD_LAZY | RTLD_NOLOAD);
        if (!egl)
            return;
        auto display = reinterpret_cast<EGLDisplay (*)()>(dlsym(egl, "eglGetCurrentDisplay"));
        auto surface = reinterpret_cast<EGLSurface (*)(EGLint)>(dlsym(egl, "eglGetCurrentSurface"));
        mEglQuery =
            reinterpret_cast<EGLBoolean (*)(EGLDisplay, EGLSurface, EGLint, EGLint*)>(dlsym(egl, "eglQuerySurface"));
        mEglDisplay = display && surface && mEglQuery ? display() : EGL_NO_DISPLAY;
        mEglSurface = mEglDisplay != EGL_NO_DISPLAY ? surface(EGL_DRAW) : EGL_NO_SURFACE;
        dlclose(egl);
    }

    // The size GL draws into in the window.
    void WindowSurfaceSize(int& width, int& height) const
    {
        SDL_GL_GetDrawableSize(mWindow, &width, &height);
        EGLint w = 0, h = 0;
        if (mEglSurface != EGL_NO_SURFACE && mEglQuery(mEglDisplay, mEglSurface, EGL_WIDTH, &w) &&
            mEglQuery(mEglDisplay, mEglSurface, EGL_HEIGHT, &h))
        {
            width = w;
            height = h;
        }
    }

    void ChooseBackBuffer()
    {
        int width = 0, height = 0;
        WindowSurfaceSize(width, height);
        mDirect = mWindowUsable && mDesc.mSamples <= 1 && width == mDesc.mWidth && height == mDesc.mHeight;
    }

    GLuint DrawnBackBuffer() const { return mDirect ? 0 : mBackFbo; }
    GLuint ReadBackBuffer() const { return mDirect ? 0 : (mResolveFbo ? mResolveFbo : mBackFbo); }

    Rect WindowRows(const Rect& r, bool window) const
    {
        if (!window || !mDirect)
            return r;
        return Rect{r.mLeft, mDesc.mHeight - r.mTop, r.mRight, mDesc.mHeight - r.mBottom};
    }

    // Turning the rows over turns the winding too, and where point sprites start.
    void TurnRows(bool up)
    {
        const float value = up ? 1.0f : 0.0f;
        if (mRowsUp == value)
            return;
        mRowsUp = value;
        glFrontFace(up ? GL_CW : GL_CCW);
        glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, up ? GL_UPPER_LEFT : GL_LOWER_LEFT);
    }

    // Binds the back buffer or the render targets and sets the full viewport.
    void BindFramebuffer(uint32_t face = 0)
    {
        if (!mTargets[0])
        {
            glBindFramebuffer(GL_FRAMEBUFFER, DrawnBackBuffer());
            TurnRows(mDirect);
            glViewport(0, 0, mDesc.mWidth, mDesc.mHeight);
            mViewWidth = mDesc.mWidth;
            mViewHeight = mDesc.mHeight;
            return;
        }
        glBindFramebuffer(GL_FRAMEBUFFER, mTargetFbo);
        TurnRows(false);
        GLenum buffers[kTargets];
        GLsizei count = 0;
        for (uint32_t i = 0; i < kTargets; ++i)
        {
            auto* t = static_cast<GlTexture*>(mTargets[i]);
            GLenum target = GL_TEXTURE_2D;
            if (t && t->mTarget == GL_TEXTURE_CUBE_MAP)
                target = GL_TEXTURE_CUBE_MAP_POSITIVE_X + std::min(face, 5u);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, target, t ? t->mId : 0, 0);
            buffers[i] = t ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
            if (t)
                count = GLsizei(i + 1);
        }
        glDrawBuffers(count, buffers);
        const uint32_t width = mTargets[0]->GetWidth(), height = mTargets[0]->GetHeight();
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  DepthBuffer(width, height));
        glViewport(0, 0, GLsizei(width), GLsizei(height));
        mViewWidth = int32_t(width);
        mViewHeight = int32_t(height);
    }

    uint32_t Stream(GLenum target, GLuint buffer, uint32_t& cursor, const void* data, uint32_t bytes, uint32_t align)
    {
        uint32_t offset = (cursor + align - 1) / align * align;
        glBindBuffer(target, buffer);
        if (offset + bytes > kStreamSize)
        {
            // Orphan: the driver keeps the old storage for draws still in flight.
            glBufferData(target, kStreamSize, nullptr, GL_STREAM_DRAW);
            offset = 0;
        }
        glBufferSubData(target, offset, bytes, data);
        cursor = offset + bytes;
        return offset;
    }

    void BindLayout(GLuint buffer, uint32_t offset, uint32_t stride)
    {
        if (mBoundLayout == mLayout && mBoundBuffer == buffer && mBoundOffset == offset && mBoundStride == stride &&
            mBoundGeneration == mBufferGeneration && buffer != mStreamVbo)
            return;
        mBoundLayout = mLayout;
        mBoundBuffer = buffer;
        mBoundOffset = offset;
        mBoundStride = stride;
        mBoundGeneration = mBufferGeneration;
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        bool used[kAttributeSlots] = {};
        for (const VertexElement& e : mLayout->GetElements())
        {
            const int32_t location = AttributeLocation(e.mSemantic, e.mIndex);
            if (location < 0)
                continue;
            used[location] = true;
            const void* pointer = reinterpret_cast<const void*>(uintptr_t(offset + e.mOffset));
            glEnableVertexAttribArray(GLuint(location));
            switch (e.mType)
            {
            case VertexType::Float1:
            case VertexType::Float2:
            case VertexType::Float3:
            case VertexType::Float4:
                glVertexAttribPointer(GLuint(location), GLint(VertexTypeSize(e.mType) / 4), GL_FLOAT, GL_FALSE,
                                      GLsizei(stride), pointer);
                break;
            case VertexType::Color:
                // Packed ARGB lies in memory as B, G, R, A.
                glVertexAttribPointer(GLuint(location), GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, GLsizei(stride), pointer);
                break;
            case VertexType::UByte4:
                glVertexAttribIPointer(GLuint(location), 4, GL_UNSIGNED_BYTE, GLsizei(stride), pointer);
                break;
            case VertexType::UByte4N:
                glVertexAttribPointer(GLuint(location), 4, GL_UNSIGNED_BYTE, GL_TRUE, GLsizei(stride), pointer);
                break;
            }
        }
        for (int i = 0; i < kAttributeSlots; ++i)
            if (!used[i])
                glDisableVertexAttribArray(GLuint(i));
    }

    void ForceStates()
    {
        mStatesValid = false;
        ApplyStates();
    }

    void ApplyStates()
    {
        const RenderStates& s = mStates;
        RenderStates& a = mApplied;
        const bool all = !mStatesValid;
        if (all || s.mFill != a.mFill)
            glPolygonMode(GL_FRONT_AND_BACK,
                          s.mFill == FillMode::Solid           ? GL_FILL
                              : s.mFill == FillMode::Wireframe ? GL_LINE
                                                               : GL_POINT);
        if (all || s.mCull != a.mCull)
        {
            if (s.mCull == CullMode::None)
                glDisable(GL_CULL_FACE);
            else
            {
                glEnable(GL_CULL_FACE);
                // Design-clockwise is GL's front; culling counter-clockwise culls GL's back.
                glCullFace(s.mCull == CullMode::CCW ? GL_BACK : GL_FRONT);
            }
        }
        if (all || s.mDepthEnable != a.mDepthEnable)
            s.mDepthEnable ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        if (all || s.mDepthWrite != a.mDepthWrite)
            glDepthMask(s.mDepthWrite ? GL_TRUE : GL_FALSE);
        if (all || s.mDepthFunc != a.mDepthFunc)
            glDepthFunc(ToGl(s.mDepthFunc));
        if (all || s.mBlendEnable != a.mBlendEnable)
            s.mBlendEnable ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        if (all || s.mSrcBlend != a.mSrcBlend || s.mDestBlend != a.mDestBlend)
            glBlendFunc(ToGl(s.mSrcBlend), ToGl(s.mDestBlend));
        if (all || s.mBlendOp != a.mBlendOp)
            glBlendEquation(ToGl(s.mBlendOp));
        if (all || s.mColorMask != a.mColorMask)
            glColorMask(s.mColorMask & 1, (s.mColorMask >> 1) & 1, (s.mColorMask >> 2) & 1, (s.mColorMask >> 3) & 1);
        if (all || s.mStencilEnable != a.mStencilEnable)
            s.mStencilEnable ? glEnable(GL_STENCIL_TEST) : glDisable(GL_STENCIL_TEST);
        if (all || s.mStencil.mFunc != a.mStencil.mFunc || s.mStencilCcw.mFunc != a.mStencilCcw.mFunc ||
            s.mStencilRef != a.mStencilRef || s.mStencilMask != a.mStencilMask ||
            s.mTwoSidedStencil != a.mTwoSidedStencil)
        {
            const StencilFace& back = s.mTwoSidedStencil ? s.mStencilCcw : s.mStencil;
            glStencilFuncSeparate(GL_FRONT, ToGl(s.mStencil.mFunc), GLint(s.mStencilRef), s.mStencilMask);
            glStencilFuncSeparate(GL_BACK, ToGl(back.mFunc), GLint(s.mStencilRef), s.mStencilMask);
        }
        if (all ||
            !(s.mStencil.mFail == a.mStencil.mFail && s.mStencil.mZFail == a.mStencil.mZFail &&
              s.mStencil.mPass == a.mStencil.mPass && s.mStencilCcw.mFail == a.mStencilCcw.mFail &&
              s.mStencilCcw.mZFail == a.mStencilCcw.mZFail && s.mStencilCcw.mPass == a.mStencilCcw.mPass &&
              s.mTwoSidedStencil == a.mTwoSidedStencil))
        {
            const StencilFace& back = s.mTwoSidedStencil ? s.mStencilCcw : s.mStencil;
            glStencilOpSeparate(GL_FRONT, ToGl(s.mStencil.mFail), ToGl(s.mStencil.mZFail), ToGl(s.mStencil.mPass));
            glStencilOpSeparate(GL_BACK, ToGl(back.mFail), ToGl(back.mZFail), ToGl(back.mPass));
        }
        if (all || s.mStencilWriteMask != a.mStencilWriteMask)
            glStencilMask(s.mStencilWriteMask);
        if (all || s.mClipPlaneMask != a.mClipPlaneMask)
            for (uint32_t i = 0; i < 6; ++i)
                (s.mClipPlaneMask >> i) & 1 ? glEnable(GL_CLIP_DISTANCE0 + i) : glDisable(GL_CLIP_DISTANCE0 + i);
        if (all || s.mDepthBias != a.mDepthBias || s.mSlopeScaleDepthBias != a.mSlopeScaleDepthBias)
        {
            const bool on = s.mDepthBias != 0.0f || s.mSlopeScaleDepthBias != 0.0f;
            on ? glEnable(GL_POLYGON_OFFSET_FILL) : glDisable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(s.mSlopeScaleDepthBias, s.mDepthBias * 16777215.0f);
        }
        if (all)
            glDisable(GL_SCISSOR_TEST);
        if (all || !(s == a))
            ++mCounters.mStateChanges;
        a = s;
        mStatesValid = true;
    }

    void ApplySamplers()
    {
        for (uint32_t stage = 0; stage < kStages; ++stage)
        {
            if (!mSamplerDirty[stage])
                continue;
            mSamplerDirty[stage] = false;
            GLuint& sampler = mSamplerObjects[SamplerKey{mBound.mSamplers[stage]}];
            if (!sampler)
            {
                const SamplerState& s = mBound.mSamplers[stage];
                glGenSamplers(1, &sampler);
                GLenum minFilter = s.mMin == TextureFilter::Linear ? GL_LINEAR : GL_NEAREST;
                if (s.mMipEnable)
                    minFilter = s.mMin == TextureFilter::Linear
                        ? (s.mMip == TextureFilter::Linear ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                        : (s.mMip == TextureFilter::Linear ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
                glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
                glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                                    s.mMag == TextureFilter::Linear ? GL_LINEAR : GL_NEAREST);
                glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GLint(ToGl(s.mU)));
                glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GLint(ToGl(s.mV)));
                glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GLint(ToGl(s.mW)));
            }
            glBindSampler(stage, sampler);
        }
    }

    // Uploads what the device itself owns of the current program.
    void ApplyProgramValues()
    {
        auto* p = static_cast<GlProgram*>(mBound.mProgram);
        const int32_t func =
            mStates.mAlphaTest && mStates.mAlphaFunc != CompareFunc::Always ? int32_t(mStates.mAlphaFunc) + 1 : 0;
        const float ref = float(mStates.mAlphaRef & 0xFF) / 255.0f;
        if (p->mAlphaFunc >= 0 && p->mSentAlphaFunc != func)
        {
            glUniform1i(p->mAlphaFunc, func);
            p->mSentAlphaFunc = func;
        }
        if (p->mAlphaRef >= 0 && p->mSentAlphaRef != ref)
        {
            glUniform1f(p->mAlphaRef, ref);
            p->mSentAlphaRef = ref;
        }
        if (p->mPointSize >= 0 && p->mSentPointSize != mStates.mPointSize)
        {
            glUniform1f(p->mPointSize, mStates.mPointSize);
            p->mSentPointSize = mStates.mPointSize;
        }
        // Planes that are off go up as zero: some drivers clip by the distances alone.
        if (p->mClipPlanes >= 0 &&
            (p->mSentClipGeneration != mClipGeneration || p->mSentClipMask != mStates.mClipPlaneMask))
        {
            float planes[6][4] = {};
            for (uint32_t i = 0; i < 6; ++i)
                if ((mStates.mClipPlaneMask >> i) & 1)
                    std::copy(mClipPlanes[i].begin(), mClipPlanes[i].end(), planes[i]);
            glUniform4fv(p->mClipPlanes, 6, planes[0]);
            p->mSentClipGeneration = mClipGeneration;
            p->mSentClipMask = mStates.mClipPlaneMask;
        }
        if (p->mWorld >= 0)
            glUniformMatrix4fv(p->mWorld, 1, GL_FALSE, mBound.Transform(TransformKind::World).m);
        if (p->mViewProjection >= 0)
        {
            Matrix4 vp;
            mBound.Transform(TransformKind::View).Multiply(mBound.Transform(TransformKind::Projection), vp);
            glUniformMatrix4fv(p->mViewProjection, 1, GL_FALSE, vp.m);
        }
        if (p->mScreenSize >= 0)
            glUniform2f(p->mScreenSize, float(mViewWidth), float(mViewHeight));
        if (p->mView >= 0)
            glUniformMatrix4fv(p->mView, 1, GL_FALSE, mBound.Transform(TransformKind::View).m);
        if (p->mPointScale >= 0)
            glUniform4f(p->mPointScale, mStates.mPointScaleEnable ? 1.0f : 0.0f, float(mViewHeight),
                        mStates.mPointSizeMin, std::min(mStates.mPointSizeMax, mCaps.mMaxPointSize));
        if (p->mUseTexture >= 0)
            glUniform1i(p->mUseTexture, mBound.mTextures[0] ? 1 : 0);
        if (p->mRowsUp >= 0 && p->mSentRowsUp != mRowsUp)
        {
            glUniform1f(p->mRowsUp, mRowsUp);
            p->mSentRowsUp = mRowsUp;
        }
    }

    bool PrepareDraw()
    {
        if (!mBound.mProgram || mLoss.IsLost())
            return false;
        ApplyStates();
        ApplySamplers();
        ApplyProgramValues();
        return true;
    }

    void Count(uint32_t primitives)
    {
        ++mCounters.mDraws;
        mCounters.mPrimitives += primitives;
    }

    SDL_Window* mWindow;
    SDL_GLContext mContext;
    GLuint mVao = 0;
    GLuint mBackFbo = 0, mBackColor = 0, mBackDepth = 0;
    GLuint mResolveFbo = 0, mResolveColor = 0;
    bool mWindowUsable = false, mDirect = false;
    // Signalled when the last presented frame is done; a hung device delays a present this long at most.
    GLsync mFrameDone = nullptr;
    static constexpr GLuint64 kFrameWaitNs = 2000000000;
    const bool mWatchFrames = [] {
        const char* wanted = std::getenv("LOOM_TEST_INPUT");
        return wanted && std::string(wanted) == "1";
    }();
    // Presents up to and including this one are known to be done.
    uint64_t mPresentsDone = 0;
    uint64_t mMostUnfinished = 0;
    EGLDisplay mEglDisplay = EGL_NO_DISPLAY;
    EGLSurface mEglSurface = EGL_NO_SURFACE;
    EGLBoolean (*mEglQuery)(EGLDisplay, EGLSurface, EGLint, EGLint*) = nullptr;
    float mRowsUp = 0.0f;
    GLuint mTargetFbo = 0, mReadFbo = 0, mDrawFbo = 0;
    GLuint mStreamVbo = 0, mStreamIbo = 0;
    uint32_t mVboCursor = 0, mIboCursor = 0;
    int32_t mViewWidth = 0, mViewHeight = 0;
    RenderStates mApplied;
    bool mStatesValid = false;
    bool mSamplerDirty[kStages] = {};
    GLenum mBoundTarget[kStages] = {};
    std::map<SamplerKey, GLuint> mSamplerObjects;
    std::map<DepthKey, GLuint> mDepthBuffers;
    std::vector<std::unique_ptr<GpuProgram>> mBuiltins;
    bool mBuiltinActive = false;
    VertexLayout* mBoundLayout = nullptr;
    GLuint mBoundBuffer = 0;
    uint32_t mBoundOffset = 0, mBoundStride = 0;
    uint64_t mBufferGeneration = 0, mBoundGeneration = ~0ull;
};

GlBuffer::GlBuffer(GlDevice* device, GLenum target, uint32_t size, bool dynamic, bool bits32)
    : mDevice(device), mTarget(target), mStaging(size)
{
    mSize = size;
    mDynamic = dynamic;
    m32Bit = bits32;
    glGenBuffers(1, &mId);
    glBindBuffer(mTarget, mId);
    glBufferData(mTarget, size, nullptr, dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
}

GlBuffer::~GlBuffer()
{
    glDeleteBuffers(1, &mId);
    mDevice->BufferGone();
}

void GlBuffer::Unlock()
{
    if (!mLocked)
        return;
    mLocked = false;
    glBindBuffer(mTarget, mId);
    if (mLockFlag == LockFlag::Discard)
        glBufferData(mTarget, mSize, nullptr, mDynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    glBufferSubData(mTarget, mLockOffset, mLockSize, mStaging.data() + mLockOffset);
}

} // namespace

bool TakeGlErrors(std::string& names)
{
    names.clear();
    // A lost context reports its error on every call: a bound keeps this from spinning.
    for (int i = 0; i < 16; ++i)
    {
        const GLenum e = glGetError();
        if (e == GL_NO_ERROR)
            break;
        const char* name = e == GL_INVALID_ENUM     ? "GL_INVALID_ENUM"
            : e == GL_INVALID_VALUE                 ? "GL_INVALID_VALUE"
            : e == GL_INVALID_OPERATION             ? "GL_INVALID_OPERATION"
            : e == GL_INVALID_FRAMEBUFFER_OPERATION ? "GL_INVALID_FRAMEBUFFER_OPERATION"
            : e == GL_OUT_OF_MEMORY                 ? "GL_OUT_OF_MEMORY"
                                                    : "an unknown GL error";
        if (!names.empty())
            names += ' ';
        names += name;
    }
    return names.empty();
}

// Sanitized builds keep the GL driver mapped to the end: the leak report then names it, so the
// tests' suppressions can, instead of pointing into a library already unloaded.
static void PinGlDriver()
{
#if defined(__SANITIZE_ADDRESS__)
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            const char* name = info->dlpi_name;
            if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium")))
                static_cast<std::vector<std::string>*>(out)->push_back(name);
            return 0;
        },
        &drivers);
    for (const std::string& driver : drivers)
        dlopen(driver.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}
std::unique_ptr<GraphicsDevice> GraphicsDevice::CreateGl(SDL_Window* window, const DeviceDesc& desc, std::string& error)
{
    if (!window)
    {
        error = "no window";
        return nullptr;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kGlMajor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kGlMinor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context)
    {
        error = std::string("no OpenGL 3.3 context: ") + SDL_GetError();
        return nullptr;
    }
    PinGlDriver();
    if (epoxy_gl_version() < kGlMajor * 10 + kGlMinor)
    {
        error = "OpenGL " + std::to_string(epoxy_gl_version() / 10) + "." + std::to_string(epoxy_gl_version() % 10) +
            " is older than 3.3";
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    auto device = std::make_unique<GlDevice>(window, context);
    if (!device->Start(desc, error))
        return nullptr;
    return device;
}
