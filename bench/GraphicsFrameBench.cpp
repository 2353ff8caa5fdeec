// Frames at 1024x768 on the GL device: an empty frame (clear and present), 1,000 textured
// quads through the effect layer (4 textures, world matrices and a commit per quad), and the
// same 1,000 quads in raw OpenGL as the reference, drawn straight into the window as the device
// draws. Every frame ends when the GPU has finished it. The last one reports draws per second
// of both and the ratios effect/raw and effect/empty.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "bench/BenchDevice.h"
#include "bench/BenchGl.h"
#include "bench/BenchSeconds.h"
#include "graphics/device/GlslPrelude.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/ShaderControl.h"

namespace {

constexpr int kQuads = 1000;

struct Vertex
{
    float mX, mY, mZ, mU, mV;
};

struct Setup
{
    SDL_Window* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::unique_ptr<GpuTexture> mTextures[4];
    std::unique_ptr<GpuBuffer> mVertices;
    std::unique_ptr<GpuBuffer> mIndices;
    std::unique_ptr<VertexLayout> mLayout;
    std::unique_ptr<FxEffect> mEffect;
    EffectPool mPool;
    Matrix4 mWorlds[kQuads];
    double mEmptyMs = 0, mEffectMs = 0;
    std::string mError;
};

Setup& Get()
{
    static Setup* setup = [] {
        auto* s = new Setup();
        if (!OpenBenchSetup(*s, kBenchWidth, kBenchHeight, std::string(LOOM_TEST_DATA) + "/"))
            return s;
        for (int i = 0; i < 4; ++i)
        {
            TextureDesc t{TextureKind::Tex2D, TextureFormat::RGBA8, 64, 64, 1, false};
            s->mTextures[i] = s->mDevice->CreateTexture(t);
            std::vector<uint8_t> texels(64 * 64 * 4, uint8_t(200 + i * 10));
            s->mTextures[i]->Upload(0, 0, texels.data(), texels.size());
        }
        const Vertex quad[4] = {{-0.01f, 0.01f, 0.5f, 0, 0},
                                {0.01f, 0.01f, 0.5f, 1, 0},
                                {-0.01f, -0.01f, 0.5f, 0, 1},
                                {0.01f, -0.01f, 0.5f, 1, 1}};
        const uint16_t indices[6] = {0, 1, 2, 1, 3, 2};
        s->mVertices = s->mDevice->CreateVertexBuffer(sizeof(quad), false);
        s->mVertices->Write(0, quad, sizeof(quad));
        s->mIndices = s->mDevice->CreateIndexBuffer(sizeof(indices), false, false);
        s->mIndices->Write(0, indices, sizeof(indices));
        static const VertexElement layout[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                               {12, VertexType::Float2, VertexSemantic::TexCoord, 0}};
        s->mLayout = s->mDevice->CreateVertexLayout(layout);
        s->mEffect = FxEffect::FromFile(*s->mDevice, "Effects/Quads4.fx", &s->mPool, s->mError);
        for (int i = 0; i < kQuads; ++i)
        {
            const int column = i % 32, row = i / 32;
            s->mWorlds[i] = Matrix4::Translation(Vector3(-0.95f + 0.06f * column, -0.95f + 0.06f * row, 0.0f));
        }
        return s;
    }();
    return *setup;
}

void BM_EmptyFrame(benchmark::State& state) { RunEmptyReference(state, Get()); }
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));

void BM_EffectQuads(benchmark::State& state)
{
    Setup& s = Get();
    if (!s.mDevice || !s.mEffect)
        return state.SkipWithError(s.mError.c_str());
    FxEffect& fx = *s.mEffect;
    const FxEffect::Handle world = fx.GetParameterByName("World");
    const FxEffect::Handle worldView = fx.GetParameterByName("WorldView");
    const FxEffect::Handle wvp = fx.GetParameterByName("WorldViewProjection");
    const char* textures[4] = {"DiffuseMap", "NormalMap", "EffectMap", "Environment"};
    for (int i = 0; i < 4; ++i)
        fx.SetTexture(fx.GetParameterByName(textures[i]), s.mTextures[i].get());
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        s.mDevice->Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 0);
        s.mDevice->SetVertexLayout(s.mLayout.get());
        s.mDevice->SetStreamSource(s.mVertices.get(), 0, sizeof(Vertex));
        s.mDevice->SetIndices(s.mIndices.get());
        fx.Begin();
        fx.BeginPass(0);
        for (const Matrix4& m : s.mWorlds)
        {
            fx.SetMatrix(world, m);
            fx.SetMatrix(worldView, m);
            fx.SetMatrix(wvp, m);
            fx.CommitChanges();
            s.mDevice->DrawIndexed(PrimitiveType::TriangleList, 0, 0, 2);
        }
        fx.EndPass();
        fx.End();
        s.mDevice->Present();
        FinishFrame();
    }
    s.mEffectMs = MsPerIteration(state, start);
    state.counters["draws_per_s"] = benchmark::Counter(double(kQuads) * 1000.0 / s.mEffectMs);
}
BENCHMARK(BM_EffectQuads)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

// The same frame written straight against OpenGL: one program, one VAO, uniforms per quad.
void BM_RawGlQuads(benchmark::State& state)
{
    Setup& s = Get();
    if (!s.mDevice)
        return state.SkipWithError(s.mError.c_str());
    const char* vs = "uniform mat4 World; uniform mat4 WorldView; uniform mat4 WorldViewProjection;\n"
                     "out vec2 vTexCoord;\n"
                     "void main() { gl_Position = toClip(WorldViewProjection * vec4(aPosition.xyz, 1.0));"
                     " vTexCoord = aTexCoord0.xy + WorldView[3].xy * 0.0 + World[3].xy * 0.0; }\n";
    const char* fs = "uniform sampler2D T0; uniform sampler2D T1; uniform sampler2D T2; uniform sampler2D T3;\n"
                     "in vec2 vTexCoord;\n"
                     "void main() { oColor = texture(T0, vTexCoord) * texture(T1, vTexCoord) * texture(T2, vTexCoord)"
                     " * texture(T3, vTexCoord); }\n";
    const BenchGlProgram program(VertexPrelude() + vs, FragmentPrelude() + fs);
    const GLint uWorld = program.Uniform("World");
    const GLint uWorldView = program.Uniform("WorldView");
    const GLint uWvp = program.Uniform("WorldViewProjection");
    const Vertex quad[4] = {{-0.01f, 0.01f, 0.5f, 0, 0},
                            {0.01f, 0.01f, 0.5f, 1, 0},
                            {-0.01f, -0.01f, 0.5f, 0, 1},
                            {0.01f, -0.01f, 0.5f, 1, 1}};
    const uint16_t indices[6] = {0, 1, 2, 1, 3, 2};
    GLuint vao = 0, buffers[2] = {}, textures[4] = {};
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, sizeof(quad), quad, GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(indices), indices, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glEnableVertexAttribArray(4);
    glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(12));
    glGenTextures(4, textures);
    std::vector<uint8_t> texels(64 * 64 * 4, 210);
    for (int i = 0; i < 4; ++i)
    {
        glActiveTexture(GL_TEXTURE0 + i);
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glBindSampler(GLuint(i), 0);
        const char sampler[] = {'T', char('0' + i), '\0'};
        glUniform1i(program.Uniform(sampler), i);
    }
    // The window has the device's depth, stencil and size: the device draws into it, so does this.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kBenchWidth, kBenchHeight);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        for (const Matrix4& m : s.mWorlds)
        {
            glUniformMatrix4fv(uWorld, 1, GL_FALSE, m.m);
            glUniformMatrix4fv(uWorldView, 1, GL_FALSE, m.m);
            glUniformMatrix4fv(uWvp, 1, GL_FALSE, m.m);
            glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, nullptr);
        }
        SDL_GL_SwapWindow(s.mWindow);
        FinishFrame();
    }
    const double rawMs = MsPerIteration(state, start);
    state.counters["draws_per_s"] = benchmark::Counter(double(kQuads) * 1000.0 / rawMs);
    state.counters["effect_draws_per_s"] = benchmark::Counter(double(kQuads) * 1000.0 / s.mEffectMs);
    state.counters["empty_ms"] = benchmark::Counter(s.mEmptyMs);
    state.counters["effect_over_raw"] = benchmark::Counter(s.mEffectMs / rawMs);
    state.counters["effect_over_empty"] = benchmark::Counter(s.mEffectMs / s.mEmptyMs);
    state.counters["raw_over_empty"] = benchmark::Counter(rawMs / s.mEmptyMs);
    glDeleteTextures(4, textures);
    glDeleteBuffers(2, buffers);
    glDeleteVertexArrays(1, &vao);
}
BENCHMARK(BM_RawGlQuads)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

} // namespace
