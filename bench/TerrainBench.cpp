// Ground queries of the height map against their plain references, each measured in the same
// run: a height read against a bilinear read of a bare float array, and the ray walk against
// a brute-force march in eighth-tile steps over the same camera rays.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "bench/BenchDevice.h"
#include "bench/BenchSeconds.h"
#include "graphics/terrain/HeightMap.h"

namespace {
constexpr int kSide = 257;

struct Field
{
    HeightMap map;
    std::vector<float> bare;

    Field()
    {
        map.mAutoBuildTerrain = false;
        map.Initialize();
        bare.resize(size_t(kSide) * kSide);
        for (int z = 0; z < kSide; ++z)
            for (int x = 0; x < kSide; ++x)
                bare[size_t(z) * kSide + x] = map.Tile(x, z).y =
                    6.0f * std::sin(x * 0.07f) * std::cos(z * 0.05f) + 8.0f;
        map.ComputeAllNormals();
        map.RefreshHeightRange();
    }

    float Bare(float x, float z) const
    {
        const int ix = std::min(int(x), kSide - 2), iz = std::min(int(z), kSide - 2);
        const float fx = x - float(ix), fz = z - float(iz);
        const float* r0 = &bare[size_t(iz) * kSide + ix];
        const float* r1 = r0 + kSide;
        return fz * ((1 - fx) * r1[0] + fx * r1[1]) + (1 - fz) * ((1 - fx) * r0[0] + fx * r0[1]);
    }

    // Eighth-tile steps from the origin until the ray is under the ground or below its lowest point.
    bool March(const Vector3& o, const Vector3& d, Vector3& hit) const
    {
        const float horizontal = std::sqrt(d.x * d.x + d.z * d.z);
        const float step = 0.125f / std::max(horizontal, 1e-3f);
        for (float t = 0.0f; o.y + d.y * t >= map.GetMinHeight(); t += step)
        {
            const Vector3 p(o.x + d.x * t, o.y + d.y * t, o.z + d.z * t);
            if (p.x >= 0 && p.z >= 0 && p.x <= kSide - 2 && p.z <= kSide - 2 && p.y <= map.GetTriangleHeight(p.x, p.z))
            {
                hit = p;
                return true;
            }
        }
        return false;
    }
};

Field& TheGround()
{
    static Field ground;
    return ground;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_GetHeight(benchmark::State& state)
{
    Field& g = TheGround();
    std::mt19937 random(3);
    std::uniform_real_distribution<float> across(0.0f, 255.0f);
    std::vector<float> points(8192);
    for (float& p : points)
        p = across(random);
    float sum = 0.0f;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        for (size_t i = 0; i + 1 < points.size(); i += 2)
            sum += g.map.GetHeight(points[i], points[i + 1]);
    const double ours = Seconds(start);
    const auto iterations = state.iterations();
    start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount n = 0; n < iterations; ++n)
        for (size_t i = 0; i + 1 < points.size(); i += 2)
            sum += g.Bare(points[i], points[i + 1]);
    const double reference = Seconds(start);
    benchmark::DoNotOptimize(sum);
    state.counters["ratio_vs_bare_array"] = ours / reference;
}
BENCHMARK(BM_GetHeight);

void BM_IntersectRay(benchmark::State& state)
{
    Field& g = TheGround();
    // 64 x 64 rays from a camera above the map's corner looking across it.
    std::vector<Vector3> directions;
    const Vector3 eye(-20.0f, 60.0f, -20.0f);
    for (int j = 0; j < 64; ++j)
        for (int i = 0; i < 64; ++i)
        {
            Vector3 d(0.5f + (i - 32) / 80.0f, -0.35f + (j - 32) / 120.0f, 0.5f - (i - 32) / 80.0f);
            directions.push_back(d.Normalized());
        }
    int hits = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        for (const Vector3& d : directions)
        {
            Vector3 hit;
            hits += g.map.IntersectRay(eye, d, hit);
        }
    const double ours = Seconds(start);
    const auto iterations = state.iterations();
    int marched = 0;
    start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount n = 0; n < iterations; ++n)
        for (const Vector3& d : directions)
        {
            Vector3 hit;
            marched += g.March(eye, d, hit);
        }
    const double reference = Seconds(start);
    benchmark::DoNotOptimize(hits);
    state.counters["hits"] = double(hits) / double(iterations);
    state.counters["march_hits"] = double(marched) / double(iterations);
    state.counters["speedup_vs_march"] = reference / ours;
}
BENCHMARK(BM_IntersectRay)->Unit(benchmark::kMillisecond);
} // namespace

// Frames at 1024x768 through the loom: empty, the whole 257 x 257 map in view, a quarter of
// it in view, and as the reference the whole map drawn by a bare OpenGL loop with the same
// shader text, the same vertex data and one draw per patch.
#include <SDL.h>
#include <epoxy/gl.h>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "bench/BenchGl.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/device/GlslPrelude.h"
#include "graphics/scenery/Terrain.h"
#include "graphics/terrain/ImageFile.h"
#include "platform/PlatformWindow.h"

namespace {
Matrix4 LookDown(float x, float z, float height)
{
    // Straight down, +z up the screen.
    return Matrix4(1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, -x, -z, height, 1);
}

struct FrameSetup
{
    std::unique_ptr<GraphicsLoom> loom;
    std::unique_ptr<HeightMap> map;
    std::unique_ptr<Terrain> terrain;
    Matrix4 projection = Matrix4::PerspectiveFovLH(0.8f, float(kBenchWidth) / float(kBenchHeight), 1.0f, 2000.0f);
    double emptyMs = 0, wholeMs = 0, quarterMs = 0;
    uint32_t wholePatches = 0, quarterPatches = 0;
    bool ok = false;

    FrameSetup()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (!PlatformWindow::Create())
            return;
        SetDataPath(std::string(LOOM_DATA) + "/");
        Console::Instance().SetConfigFolder("Config\\");
        loom.reset(GraphicsLoom::Create());
        loom->Init();
        if (!loom->GetDevice())
            return;
        loom->Display().SetResolution(kBenchWidth, kBenchHeight);
        map = std::make_unique<HeightMap>();
        map->mMapFile = "Data/TerrainHeight.bmp";
        map->mHeightScale = 25.5f;
        map->mAutoBuildTerrain = false;
        map->Initialize();
        terrain = std::make_unique<Terrain>();
        terrain->mDirtTexture.File() = "Textures/TerrainDirt.png";
        terrain->mGrassTexture.File() = "Textures/TerrainGrass.png";
        terrain->mRockTexture.File() = "Textures/TerrainRock.png";
        terrain->mInfoTexture.File() = "Textures/TerrainInfo.bmp";
        terrain->Build(map.get());
        ok = true;
    }

    void SetView(const Matrix4& view)
    {
        GraphicsDevice* device = loom->GetDevice();
        device->SetTransform(TransformKind::View, view);
        device->SetTransform(TransformKind::Projection, projection);
        loom->SetEffectGlobals();
    }
};

FrameSetup& Frames()
{
    static FrameSetup* setup = new FrameSetup();
    return *setup;
}

double Ms(const benchmark::State& state, std::chrono::steady_clock::time_point start)
{
    return Seconds(start) * 1000.0 / double(state.iterations() ? state.iterations() : 1);
}

void TerrainFrame(benchmark::State& state, const Matrix4* view, double& ms, uint32_t* patches)
{
    FrameSetup& s = Frames();
    if (!s.ok)
        return state.SkipWithError("no GL device");
    GraphicsDevice* device = s.loom->GetDevice();
    if (view)
        s.SetView(*view);
    const std::array<Plane, 6> frustum = view ? Terrain::FrustumPlanes(*view * s.projection) : std::array<Plane, 6>{};
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        device->Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 0);
        if (view)
            s.terrain->Render(frustum, 0.0f);
        device->Present();
    }
    glFinish();
    ms = Ms(state, start);
    if (patches)
        *patches = s.terrain->GetPatchesDrawn();
}

void BM_EmptyFrame(benchmark::State& state) { TerrainFrame(state, nullptr, Frames().emptyMs, nullptr); }
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));

void BM_TerrainWholeMap(benchmark::State& state)
{
    const Matrix4 view = LookDown(128.0f, 128.0f, 330.0f);
    TerrainFrame(state, &view, Frames().wholeMs, &Frames().wholePatches);
    state.counters["patches"] = Frames().wholePatches;
}
BENCHMARK(BM_TerrainWholeMap)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

void BM_TerrainQuarter(benchmark::State& state)
{
    const Matrix4 view = LookDown(64.0f, 64.0f, 150.0f);
    TerrainFrame(state, &view, Frames().quarterMs, &Frames().quarterPatches);
    state.counters["patches"] = Frames().quarterPatches;
    state.counters["quarter_over_whole"] = Frames().quarterMs / Frames().wholeMs;
}
BENCHMARK(BM_TerrainQuarter)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

std::string ReadText(const std::string& file)
{
    std::string text;
    ReadWholeFile(DataFilePath(file), text);
    return text;
}

void BM_BareGlWholeMap(benchmark::State& state)
{
    FrameSetup& s = Frames();
    if (!s.ok)
        return state.SkipWithError("no GL device");
    const std::string uniforms = "uniform mat4 ViewProjection; uniform vec4 LightDir; uniform vec4 LightColor;\n"
                                 "uniform vec4 Ambient; uniform vec4 PatchOrigin;\n";
    const std::string samplers = "uniform sampler2D DirtLayer; uniform sampler2D GrassLayer;\n"
                                 "uniform sampler2D RockLayer; uniform sampler2D InfoLayer;\n"
                                 "uniform sampler2D GroundMap;\n";
    const BenchGlProgram program(VertexPrelude() + uniforms + ReadText("Shaders/Terra.vert"),
                                 FragmentPrelude() + uniforms + samplers + ReadText("Shaders/Terra.frag"));
    const Matrix4 viewProjection = LookDown(128.0f, 128.0f, 330.0f) * s.projection;
    glUniformMatrix4fv(program.Uniform("ViewProjection"), 1, GL_FALSE, viewProjection.m);
    const float up[4] = {0, 1, 0, 1}, white[4] = {1, 1, 1, 1}, ambient[4] = {0.5f, 0.6f, 0.5f, 0};
    glUniform4fv(program.Uniform("LightDir"), 1, up);
    glUniform4fv(program.Uniform("LightColor"), 1, white);
    glUniform4fv(program.Uniform("Ambient"), 1, ambient);
    // The same patch vertices and indices as the terrain's.
    const int32_t n = 16;
    std::vector<GLuint> vaos(size_t(n * n)), buffers(size_t(n * n));
    GLuint indexBuffer = 0, textures[4] = {};
    std::vector<uint16_t> indices;
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
        {
            const uint16_t a = uint16_t(17 * r + c);
            for (uint16_t i :
                 {a, uint16_t(a + 1), uint16_t(a + 17), uint16_t(a + 17), uint16_t(a + 1), uint16_t(a + 18)})
                indices.push_back(i);
        }
    glGenVertexArrays(GLsizei(vaos.size()), vaos.data());
    glGenBuffers(GLsizei(buffers.size()), buffers.data());
    glGenBuffers(1, &indexBuffer);
    for (int32_t pz = 0; pz < n; ++pz)
        for (int32_t px = 0; px < n; ++px)
        {
            HeightTile vertices[289];
            for (int i = 0; i < 17; ++i)
                for (int j = 0; j < 17; ++j)
                    vertices[17 * i + j] = s.map->Tile(px * 16 + i, pz * 16 + j);
            const size_t k = size_t(pz) * size_t(n) + size_t(px);
            glBindVertexArray(vaos[k]);
            glBindBuffer(GL_ARRAY_BUFFER, buffers[k]);
            glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices, GL_STATIC_DRAW);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 2), indices.data(), GL_STATIC_DRAW);
            glEnableVertexAttribArray(0);
            glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 32, nullptr);
            glEnableVertexAttribArray(1);
            glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<void*>(12));
            glEnableVertexAttribArray(4);
            glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<void*>(24));
        }
    glGenTextures(4, textures);
    const char* names[4] = {"DirtLayer", "GrassLayer", "RockLayer", "InfoLayer"};
    // The same images, filtered as the effect's samplers filter them.
    const char* files[4] = {"Textures/TerrainDirt.png", "Textures/TerrainGrass.png", "Textures/TerrainRock.png",
                            "Textures/TerrainInfo.bmp"};
    for (int i = 0; i < 4; ++i)
    {
        Image image;
        std::string error;
        LoadImageFile(files[i], image, error);
        const Image rgba = image.Converted(Image::Format::RGBA8);
        glActiveTexture(GL_TEXTURE0 + i);
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(rgba.mWidth), GLsizei(rgba.mHeight), 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, rgba.mPixels.data());
        if (i < 3)
        {
            glGenerateMipmap(GL_TEXTURE_2D);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        }
        else
        {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glBindSampler(GLuint(i), 0);
        glUniform1i(program.Uniform(names[i]), i);
    }
    // One mipmapped texture stands for every patch's baked ground.
    glUniform1i(program.Uniform("GroundMap"), 0);
    const GLint patchOrigin = program.Uniform("PatchOrigin");
    const BenchGlTarget target(kBenchWidth, kBenchHeight);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        target.Bind();
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        for (size_t k = 0; k < vaos.size(); ++k)
        {
            glUniform4f(patchOrigin, float(k % size_t(n)) * 16.0f, float(k / size_t(n)) * 16.0f, 1.0f / 16.0f, 0.0f);
            glBindVertexArray(vaos[k]);
            glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_SHORT, nullptr);
        }
        target.Show();
        SDL_GL_SwapWindow(PlatformWindow::GetHandle());
    }
    glFinish();
    const double bareMs = Ms(state, start);
    state.counters["whole_over_bare"] = s.wholeMs / bareMs;
    state.counters["whole_over_empty"] = s.wholeMs / s.emptyMs;
    state.counters["bare_over_empty"] = bareMs / s.emptyMs;
    state.counters["quarter_over_whole"] = s.quarterMs / s.wholeMs;
    glDeleteTextures(4, textures);
    glDeleteBuffers(GLsizei(buffers.size()), buffers.data());
    glDeleteBuffers(1, &indexBuffer);
    glDeleteVertexArrays(GLsizei(vaos.size()), vaos.data());
}
BENCHMARK(BM_BareGlWholeMap)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));
} // namespace
