#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/math/Random.h"
#include "graphics/model/DistanceMap.h"
#include "graphics/particles/Emitter.h"
#include "graphics/particles/ParticleSystem.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/platform/WindowFixture.h"
#include "tools/lmfgen/LmfWriter.h"

namespace {

constexpr float kFrame = 1.0f / 30.0f;

class EmitterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RandomSeed(7);
        mBaseline = ParticlePool::InUse();
        mSystems.push_back(std::make_unique<ParticleSystem>());
        mSystems[0]->UpdateTypes = 0;
        mScratch = std::make_unique<ScratchFolder>("emitter");
        mFolder = mScratch->Path();
    }
    void TearDown() override
    {
        mSystems.clear();
        EXPECT_EQ(ParticlePool::InUse(), mBaseline);
        mScratch.reset();
    }

    // A distance-map file of n points (i, 0, 0).
    std::string WriteMap(uint32_t n)
    {
        std::vector<Vector3> points;
        for (uint32_t i = 0; i < n; ++i)
            points.emplace_back(float(i), 0.0f, 0.0f);
        const std::string bytes = LmfWriter().Header().DistancePoints(points).End().Bytes();
        const std::string path = (mFolder / ("dm" + std::to_string(n) + ".lmf")).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }

    // Bursts per frame over a number of frames.
    std::vector<int32_t> Run(Emitter& e, int frames, float dt = kFrame)
    {
        std::vector<int32_t> out;
        for (int i = 0; i < frames; ++i)
            out.push_back(e.Update(false, Matrix4::Identity(), dt, mSystems));
        return out;
    }

    uint32_t mBaseline = 0;
    std::vector<std::unique_ptr<ParticleSystem>> mSystems;
    std::unique_ptr<ScratchFolder> mScratch;
    std::filesystem::path mFolder;
};

int32_t Sum(const std::vector<int32_t>& v)
{
    int32_t s = 0;
    for (int32_t x : v)
        s += x;
    return s;
}

} // namespace

TEST_F(EmitterTest, EmissionRates)
{
    struct Case
    {
        float rate;
        uint32_t total;
        int frames;
        float dt;
        int32_t expected;
    };
    const Case cases[] = {
        {0.0f, 0, 60, kFrame, 1},   // one burst from the starting accumulator, then none
        {10.0f, 0, 31, kFrame, 11}, // the first frame's burst, then 10 a second
        {54.0f, 5, 10, kFrame, 4},  // 2 a frame: 2, then 2 more as it switches off
        {24.0f, 5, 10, kFrame, 5},  // 1 a frame: all five
        {90.0f, 3, 10, kFrame, 4},  // 4 due with 3 left: the last bursts go, then silence
    };
    for (const Case& c : cases)
    {
        Emitter e;
        e.EmitRate = c.rate;
        e.TotalToRelease = c.total;
        e.PartLifeTime.Min = 100.0f;
        e.Init(1);
        const std::vector<int32_t> bursts = Run(e, c.frames, c.dt);
        EXPECT_EQ(Sum(bursts), c.expected) << "rate " << c.rate << " total " << c.total;
        if (c.total != 0)
        {
            EXPECT_FALSE(e.IsActive()) << c.rate;
        }
    }
}

TEST_F(EmitterTest, TenASecondAlternates)
{
    Emitter e;
    e.EmitRate = 10.0f;
    e.PartLifeTime.Min = 100.0f;
    e.Init(1);
    const std::vector<int32_t> bursts = Run(e, 7);
    EXPECT_EQ(bursts, (std::vector<int32_t>{1, 0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(mSystems[0]->GetCount(), 3);
}

TEST_F(EmitterTest, DistanceMapPoints)
{
    const std::string map = WriteMap(6);
    struct Case
    {
        int32_t behavior;
        int32_t dmNumber;
        int32_t particles;
        int32_t clamped;
    };
    // Behaviour 2 emits DMNumber points per burst; past the map it is cut to count - 1.
    for (const Case& c : {Case{2, 0, 0, 0}, Case{2, 3, 3, 3}, Case{2, 50, 5, 5}, Case{3, 0, 1, 0}, Case{3, 50, 1, 5}})
    {
        mSystems[0] = std::make_unique<ParticleSystem>();
        Emitter e;
        e.EmitBehavior = c.behavior;
        e.DMNumber = c.dmNumber;
        e.DMScale = 2.0f;
        e.DisMapFile = map;
        e.PartLifeTime.Min = 100.0f;
        e.Init(1);
        EXPECT_EQ(e.DMNumber, c.clamped);
        Run(e, 1);
        ASSERT_EQ(mSystems[0]->GetCount(), c.particles) << c.behavior << " " << c.dmNumber;
        for (const Particle& p : mSystems[0]->GetParticles())
        {
            // Points i scaled by 2, within the used part of the map.
            EXPECT_EQ(std::fmod(p.mPosition.x, 2.0f), 0.0f);
            EXPECT_LE(p.mPosition.x, 2.0f * float(c.clamped));
        }
    }
}

TEST_F(EmitterTest, DistanceMapBehavioursWithoutAMapEmitNothing)
{
    for (const std::string& file : {std::string(), WriteMap(0)})
        for (int32_t behavior : {2, 3})
        {
            Emitter e;
            e.EmitBehavior = behavior;
            e.DMNumber = 0;
            e.DisMapFile = file;
            e.Init(1);
            Run(e, 3);
            EXPECT_EQ(mSystems[0]->GetCount(), 0) << behavior << " " << file;
        }
}

TEST_F(EmitterTest, ReusedRecordsStartAtRestForTypesWithoutVelocity)
{
    // A fast particle dies and gives its record back; the next ones must not inherit its speed.
    Emitter fast;
    fast.EmitType = 1;
    fast.PartSpeed.Min = 50.0f;
    fast.PartLifeTime.Min = 0.01f;
    fast.Init(1);
    Run(fast, 1);
    ASSERT_EQ(mSystems[0]->GetCount(), 1);
    mSystems[0]->Update(kFrame);
    ASSERT_EQ(mSystems[0]->GetCount(), 0);
    for (int32_t type : {0, 3, 5, 6, 9})
    {
        Emitter e;
        e.EmitType = type;
        e.PartSpeed.Min = 50.0f;
        e.PartLifeTime.Min = 10.0f;
        e.Init(1);
        Run(e, 1);
        const Particle& p = mSystems[0]->GetParticles().back();
        EXPECT_EQ(p.mVelocity, Vector3()) << type;
    }
}

TEST_F(EmitterTest, VelocitiesByType)
{
    struct Case
    {
        int32_t type;
        Vector3 direction;
        float phi;
        bool moving;
    };
    // Type 4 standing still and type 7 without an axis give no velocity and no NaN.
    for (const Case& c : {Case{1, {}, 0.5f, true}, Case{2, {0, 1, 0}, 0.2f, true}, Case{4, {}, 0.3f, false},
                          Case{7, {0, 0, 1}, 2.0f, true}, Case{7, {}, 2.0f, false}})
    {
        mSystems[0] = std::make_unique<ParticleSystem>();
        Emitter e;
        e.EmitType = c.type;
        e.EmitDirection = c.direction;
        e.EmitPhi = c.phi;
        e.PartSpeed.Min = 3.0f;
        e.PartLifeTime.Min = 10.0f;
        e.EPosition = Vector3(1, 2, 3);
        e.Init(1);
        Run(e, 1);
        const Particle& p = mSystems[0]->GetParticles()[0];
        EXPECT_FALSE(std::isnan(p.mVelocity.x) || std::isnan(p.mPosition.x)) << c.type;
        EXPECT_NEAR(p.mVelocity.Length(), c.moving ? 3.0f : 0.0f, 1e-4f) << c.type;
        if (c.type == 2)
        {
            EXPECT_GT(p.mVelocity.y, 3.0f * std::cos(0.25f));
        }
        if (c.type == 7 && c.moving)
        {
            // Along the axis, started on a disc of radius phi across it.
            EXPECT_NEAR(p.mVelocity.z, 3.0f, 1e-5f);
            EXPECT_NEAR(p.mPosition.z, 3.0f, 1e-5f);
            EXPECT_LE(std::hypot(p.mPosition.x - 1.0f, p.mPosition.y - 2.0f), 2.0f + 1e-4f);
        }
        if (c.type == 1)
        {
            EXPECT_NEAR((p.mPosition - Vector3(1, 2, 3)).Length(), 0.5f, 1e-4f);
        }
    }
}

TEST_F(EmitterTest, FirstTrailIsStillAndLaterOnesPointBack)
{
    Emitter e;
    e.EmitType = 4;
    e.EmitRate = 30.0f;
    e.EmitPhi = 0.0f;
    e.PartSpeed.Min = 1.0f;
    e.PartLifeTime.Min = 10.0f;
    e.EPosition = Vector3(0, 0, 0);
    e.Init(1);
    Matrix4 placement = Matrix4::Translation(Vector3(100, 0, 0));
    e.Update(false, placement, kFrame, mSystems);
    // The first burst has no trail: it does not fly toward the origin.
    EXPECT_EQ(mSystems[0]->GetParticles()[0].mVelocity, Vector3());
    EXPECT_EQ(mSystems[0]->GetEmitPosition(), Vector3(100, 0, 0));
    placement = Matrix4::Translation(Vector3(110, 0, 0));
    e.Update(false, placement, kFrame, mSystems);
    const Particle& second = mSystems[0]->GetParticles().back();
    EXPECT_NEAR(second.mVelocity.x, -1.0f, 1e-4f);
    EXPECT_EQ(second.mPosition, Vector3(110, 0, 0));
}

TEST_F(EmitterTest, TransformKeepsLocalPositions)
{
    Emitter e;
    e.EPosition = Vector3(1, 0, 0);
    e.PartLifeTime.Min = 10.0f;
    e.Init(1);
    e.Update(true, Matrix4::Translation(Vector3(50, 0, 0)), kFrame, mSystems);
    EXPECT_EQ(mSystems[0]->GetParticles()[0].mPosition, Vector3(1, 0, 0));
    Emitter world;
    world.EPosition = Vector3(1, 0, 0);
    world.PartLifeTime.Min = 10.0f;
    world.Init(1);
    world.Update(false, Matrix4::Translation(Vector3(50, 0, 0)), kFrame, mSystems);
    EXPECT_EQ(mSystems[0]->GetParticles().back().mPosition, Vector3(51, 0, 0));
}

TEST_F(EmitterTest, PathBehaviourFollowsThePathOrStays)
{
    Emitter e;
    e.EmitBehavior = 1;
    e.PathFile = "circle";
    e.Speed = 10.0f;
    e.PartLifeTime.Min = 10.0f;
    e.EPosition = Vector3(5, 5, 5);
    e.Init(1);
    ASSERT_NE(e.GetPath(), nullptr);
    e.Update(false, Matrix4::Identity(), 0.1f, mSystems);
    // One unit along a circle of radius 10 in the plane x = 0.
    EXPECT_NEAR(e.GetPosition().x, 0.0f, 1e-4f);
    EXPECT_NEAR(std::hypot(e.GetPosition().y, e.GetPosition().z), 10.0f, 0.05f);
    EXPECT_NEAR(e.Distance, 1.0f, 1e-5f);

    LogCapture log;
    Emitter missing;
    missing.EmitBehavior = 1;
    missing.PathFile = (mFolder / "nopath.bin").string();
    missing.EPosition = Vector3(5, 5, 5);
    missing.Init(1);
    for (int i = 0; i < 3; ++i)
        missing.Update(false, Matrix4::Identity(), 0.1f, mSystems);
    EXPECT_EQ(missing.GetPosition(), Vector3(5, 5, 5));
    EXPECT_EQ(log.Count("nopath.bin: cannot read"), 1);
}

TEST_F(EmitterTest, SystemPastTheLastIsRefused)
{
    LogCapture log;
    Emitter e;
    e.EmitSystem = 1;
    e.Init(1);
    EXPECT_FALSE(e.IsActive());
    EXPECT_EQ(Sum(Run(e, 3)), 0);
    EXPECT_TRUE(log.Contains("system 1 of 1"));
}

TEST_F(EmitterTest, SwappedDistanceMapClampsTheCount)
{
    Emitter e;
    e.EmitBehavior = 2;
    e.DMNumber = 8;
    e.DisMapFile = WriteMap(10);
    e.Init(1);
    EXPECT_EQ(e.DMNumber, 8);
    e.SetDistanceMap(WriteMap(4));
    EXPECT_EQ(e.DMNumber, 3);
    ASSERT_NE(e.GetDistanceMap(), nullptr);
    EXPECT_EQ(e.GetDistanceMap()->mPoints.size(), 4u);
    // Without a map of its own the emitter takes none.
    Emitter plain;
    plain.Init(1);
    plain.SetDistanceMap(WriteMap(4));
    EXPECT_EQ(plain.GetDistanceMap(), nullptr);
}

TEST(MinMaxTest, ConstantOrRange)
{
    RandomSeed(3);
    MinMax constant{2.0f, 2.0f, false};
    MinMax range{1.0f, 3.0f, true};
    for (int i = 0; i < 50; ++i)
    {
        EXPECT_EQ(constant.Sample(), 2.0f);
        const float v = range.Sample();
        EXPECT_GE(v, 1.0f);
        EXPECT_LE(v, 3.0f);
    }
}
