#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/serial/XMLSaver.h"
#include "graphics/particles/Emitter.h"
#include "graphics/particles/ParticleSystem.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/graphics/particles/RecordingDevice.h"
#include "tests/platform/WindowFixture.h"

namespace {

Particle Make(float lifetime, const Vector3& velocity = {}, const Color& color = {1, 1, 1, 1})
{
    Particle p;
    p.mLifetime = lifetime;
    p.mVelocity = velocity;
    p.mColor = color;
    p.mColorRate = Color{};
    return p;
}

std::string WriteText(const ScratchFolder& folder, const std::string& name, const std::string& text)
{
    std::string path = (folder.Path() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Saves the object as "<element>.xml" and reads that file back into `back` with its own loader.
template <typename T>
void SaveAndLoad(const ScratchFolder& folder, const char* element, T& original, T& back)
{
    const std::string path = (folder.Path() / (std::string(element) + ".xml")).string();
    ASSERT_TRUE(XMLSaver::SaveElement(path, element, original));
    ASSERT_TRUE(back.Load(path));
}

} // namespace

TEST(ParticleSystemTest, UpdaterTypesAtTheEndOfLife)
{
    // Type 2 removes a particle whose age reaches its lifetime; the others still update it.
    struct Case
    {
        int32_t type;
        int32_t returned;
        int32_t count;
        float x;
    };
    // Type 4 sits at the emit position plus the velocity times the life left (none); an
    // unknown type updates nothing and reports nothing.
    for (const Case& c : {Case{0, 1, 1, 1.0f}, Case{1, 1, 1, 0.0f}, Case{2, 0, 0, 0.0f}, Case{3, 1, 1, 1.0f},
                          Case{4, 1, 1, 0.0f}, Case{7, 0, 1, 0.0f}})
    {
        ParticleSystem system;
        system.UpdateTypes = c.type;
        system.AddParticle(Make(0.5f, {2, 0, 0}));
        EXPECT_EQ(system.Update(0.5f), c.returned) << c.type;
        EXPECT_EQ(system.GetCount(), c.count) << c.type;
        if (c.count)
        {
            EXPECT_EQ(system.GetParticles()[0].mPosition.x, c.x) << c.type;
        }
    }
    EXPECT_EQ(ParticlePool::InUse(), 0u);
}

TEST(ParticleSystemTest, MovementAndForce)
{
    ParticleSystem system;
    system.UpdateTypes = 2;
    system.Force = Vector3(0, -1, 0);
    system.AddParticle(Make(10.0f, {1, 0, 0}));
    system.Update(0.5f);
    system.Update(0.5f);
    const Particle& p = system.GetParticles()[0];
    // Force is added once per frame, not scaled by time.
    EXPECT_FLOAT_EQ(p.mVelocity.y, -2.0f);
    EXPECT_FLOAT_EQ(p.mPosition.x, 1.0f);
    EXPECT_FLOAT_EQ(p.mPosition.y, -0.5f);

    ParticleSystem swirl;
    swirl.UpdateTypes = 4;
    swirl.SetEmitPosition(Vector3(5, 0, 0));
    swirl.AddParticle(Make(2.0f, {1, 0, 0}));
    swirl.Update(0.5f);
    // The emit position plus the velocity times the life left.
    EXPECT_FLOAT_EQ(swirl.GetParticles()[0].mPosition.x, 6.5f);
    EXPECT_FLOAT_EQ(swirl.GetParticles()[0].mVelocity.z, -4.0f);
}

TEST(ParticleSystemTest, ColourByKeys)
{
    ParticleSystem system;
    system.UpdateTypes = 2;
    system.Stream().ColorKeys = {
        {0.0f, {1, 0, 0, 1}}, {0.1f, {0, 1, 0, 1}}, {0.2f, {0, 0, 1, 1}}, {0.2f, {0, 0, 1, 1}}, {1.0f, {0, 0, 0, 0}}};
    system.AddParticle(Make(5.0f, {}, {1, 0, 0, 1}));
    // A long frame passes two keys (and two of equal time): the rate heads for the next key
    // ahead, so the colour stays between its neighbours and never divides by zero.
    for (int i = 0; i < 6; ++i)
    {
        system.Update(0.25f);
        const Color c = system.GetParticles()[0].mColor;
        for (float v : {c.r, c.g, c.b, c.a})
        {
            EXPECT_FALSE(std::isnan(v));
            EXPECT_GE(v, -1e-4f);
            EXPECT_LE(v, 1.0f + 1e-4f);
        }
    }
    EXPECT_EQ(system.GetParticles()[0].mColor, Color(0, 0, 0, 0));

    // No keys: the colour is left as it is.
    ParticleSystem plain;
    plain.UpdateTypes = 3;
    plain.AddParticle(Make(5.0f, {}, {0.5f, 0.5f, 0.5f, 1}));
    plain.Update(0.5f);
    EXPECT_EQ(plain.GetParticles()[0].mColor, Color(0.5f, 0.5f, 0.5f, 1));
}

TEST(ParticleSystemTest, PoolLedger)
{
    const uint32_t allocated = ParticlePool::Allocated();
    {
        ParticleSystem small;
        small.maxParticles = 2;
        for (int i = 0; i < 5; ++i)
            small.AddParticle(Make(1.0f));
        // A full system gives the record straight back.
        EXPECT_EQ(small.GetCount(), 2);
        EXPECT_EQ(ParticlePool::InUse(), 2u);
        EXPECT_EQ(ParticlePool::Allocated(), std::max(allocated, 3u));
        small.Update(2.0f);
        EXPECT_EQ(ParticlePool::InUse(), 0u);
        // Free records are used before new ones are counted.
        small.AddParticle(Make(1.0f));
        small.AddParticle(Make(1.0f));
        EXPECT_EQ(ParticlePool::Allocated(), std::max(allocated, 3u));
    }
    EXPECT_EQ(ParticlePool::InUse(), 0u);
}

TEST(ParticleSystemTest, DestroyReportsParticlesStillOut)
{
    const int before = AssertFailureCount();
    {
        ParticleSystem clean;
        clean.AddParticle(Make(1.0f));
    }
    ParticlePool::Destroy();
    EXPECT_EQ(AssertFailureCount(), before);
    EXPECT_EQ(ParticlePool::Allocated(), 0u);

    ParticleSystem kept;
    kept.AddParticle(Make(1.0f));
    ParticlePool::Destroy();
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_EQ(ParticlePool::Allocated(), 0u);
}

TEST(ParticleSystemTest, BatchesThroughTheSharedBuffer)
{
    RecordingDevice device;
    ParticlePool::CreateDeviceObjects(device);
    struct Case
    {
        int count;
        std::vector<uint32_t> batches;
        std::vector<LockFlag> flags;
    };
    for (int count : {600, 2600})
    {
        ParticleSystem system;
        system.ParticleSize = 2.0f;
        for (int i = 0; i < count; ++i)
            system.AddParticle(Make(1.0f, {}, {1, 0, 0, 1}));
        device.ClearLog();
        system.Render(device);
        std::vector<uint32_t> counts;
        for (const auto& draw : device.mDraws)
            counts.push_back(draw.mCount);
        if (count == 600)
        {
            EXPECT_EQ(counts, (std::vector<uint32_t>{512, 88}));
            ASSERT_EQ(device.mLocks.size(), 2u);
            EXPECT_EQ(device.mLocks[0].mFlag, LockFlag::Discard);
            EXPECT_EQ(device.mLocks[1].mFlag, LockFlag::NoOverwrite);
            EXPECT_EQ(device.mDraws[1].mStart, 512u);
            EXPECT_EQ(device.mDraws[0].mStates.mPointSize, 2.0f);
            // Red as packed ARGB.
            EXPECT_EQ(device.VertexAt<ParticleVertex>(device.mDraws[0], 0).mColor, 0xFFFF0000u);
        }
        else
        {
            // The fifth batch passes vertex 2047 and starts the buffer again with a discard.
            EXPECT_EQ(counts, (std::vector<uint32_t>{512, 512, 512, 512, 512, 40}));
            ASSERT_EQ(device.mLocks.size(), 6u);
            EXPECT_EQ(device.mLocks[3].mFlag, LockFlag::NoOverwrite);
            EXPECT_EQ(device.mLocks[4].mOffset, 0u);
            EXPECT_EQ(device.mLocks[4].mFlag, LockFlag::Discard);
            EXPECT_EQ(device.mLocks[5].mOffset, 512u * 16u);
            EXPECT_EQ(device.mLocks[5].mFlag, LockFlag::NoOverwrite);
            EXPECT_EQ(device.mDraws[4].mStart, 0u);
        }
    }
    ParticlePool::OnLostDevice();
}

TEST(ParticleSystemTest, NewestDrawnFirstAndBlendSetEveryTime)
{
    RecordingDevice device;
    ParticlePool::CreateDeviceObjects(device);
    ParticleSystem alpha, additive;
    alpha.BlendModes = 1;
    additive.BlendModes = 0;
    for (int i = 0; i < 3; ++i)
    {
        alpha.AddParticle(Make(1.0f));
        Particle p = Make(1.0f);
        p.mPosition.x = float(i);
        additive.AddParticle(p);
    }
    device.States().mSrcBlend = BlendFactor::Zero;
    ParticlePool::BeginRender(device);
    alpha.Render(device);
    additive.Render(device);
    ParticlePool::EndRender(device);
    ASSERT_EQ(device.mDraws.size(), 2u);
    EXPECT_EQ(device.mDraws[0].mStates.mSrcBlend, BlendFactor::SrcAlpha);
    EXPECT_EQ(device.mDraws[0].mStates.mDestBlend, BlendFactor::InvSrcAlpha);
    EXPECT_EQ(device.mDraws[1].mStates.mSrcBlend, BlendFactor::SrcAlpha);
    EXPECT_EQ(device.mDraws[1].mStates.mDestBlend, BlendFactor::One);
    EXPECT_TRUE(device.mDraws[1].mStates.mPointScaleEnable);
    EXPECT_FALSE(device.mDraws[1].mStates.mDepthWrite);
    EXPECT_EQ(device.mDraws[1].mStates.mPointSizeMax, 256.0f);
    EXPECT_EQ(device.VertexAt<ParticleVertex>(device.mDraws[1], 0).mX, 2.0f);
    EXPECT_EQ(device.VertexAt<ParticleVertex>(device.mDraws[1], 2).mX, 0.0f);
    EXPECT_FALSE(device.States().mPointScaleEnable);
    EXPECT_TRUE(device.States().mDepthWrite);
    ParticlePool::OnLostDevice();
}

TEST(ParticleFilesTest, RoundTrip)
{
    ScratchFolder folder("particle_files");
    ParticleSystem system;
    system.UpdateTypes = 3;
    system.BlendModes = 1;
    system.texture.SetFile("Textures/Spark.dds");
    system.Force = Vector3(0, -0.5f, 0);
    system.maxParticles = 123;
    system.ParticleSize = 1.5f;
    system.fileStream = "Data/Effects/Fade.xml";
    ParticleSystem systemBack;
    ASSERT_NO_FATAL_FAILURE(SaveAndLoad(folder, "System", system, systemBack));
    EXPECT_EQ(systemBack.UpdateTypes, 3);
    EXPECT_EQ(systemBack.BlendModes, 1);
    EXPECT_EQ(systemBack.texture.GetFile(), "Textures/Spark.dds");
    EXPECT_EQ(systemBack.Force, Vector3(0, -0.5f, 0));
    EXPECT_EQ(systemBack.maxParticles, 123u);
    EXPECT_EQ(systemBack.ParticleSize, 1.5f);
    EXPECT_EQ(systemBack.fileStream, "Data/Effects/Fade.xml");

    Emitter emitter;
    emitter.EmitRate = 12.0f;
    emitter.EmitType = 7;
    emitter.EmitBehavior = 3;
    emitter.EmitSystem = 2;
    emitter.DMNumber = 40;
    emitter.InitColor = Color(0.25f, 0.5f, 0.75f, 1.0f);
    emitter.PartSpeed = {1.0f, 4.0f, true};
    emitter.PartLifeTime = {2.0f, 2.0f, false};
    emitter.EmitDirection = Vector3(0, 1, 0);
    emitter.TotalToRelease = 9;
    emitter.EPosition = Vector3(1, 2, 3);
    emitter.DisMapFile = "Models/InvaderDM.lmf";
    Emitter back;
    ASSERT_NO_FATAL_FAILURE(SaveAndLoad(folder, "Emitter", emitter, back));
    EXPECT_EQ(back.EmitRate, 12.0f);
    EXPECT_EQ(back.EmitType, 7);
    EXPECT_EQ(back.EmitBehavior, 3);
    EXPECT_EQ(back.EmitSystem, 2u);
    EXPECT_EQ(back.DMNumber, 40);
    EXPECT_EQ(back.InitColor, Color(0.25f, 0.5f, 0.75f, 1.0f));
    EXPECT_EQ(back.PartSpeed.Max, 4.0f);
    EXPECT_TRUE(back.PartSpeed.mRange);
    EXPECT_FALSE(back.PartLifeTime.mRange);
    EXPECT_EQ(back.EmitDirection, Vector3(0, 1, 0));
    EXPECT_EQ(back.TotalToRelease, 9u);
    EXPECT_EQ(back.EPosition, Vector3(1, 2, 3));
    EXPECT_EQ(back.DisMapFile, "Models/InvaderDM.lmf");
}

TEST(ParticleFilesTest, MinMaxWithoutMaxIsConstant)
{
    ScratchFolder folder("particle_minmax");
    const std::string path = WriteText(folder, "E.xml", R"(<?xml version="1.0"?>
<Stream version="2.0"><Emitter>
<int name="AnimIndex">0</int><real name="EmitRate">5</real>
<int name="EmitType" type="emitType">1</int><int name="EmitBehavior" type="behavior">0</int>
<uint name="EmitSystem">0</uint><int name="DMNumber">0</int><real name="DMScale">1</real>
<color name="InitColor"><real name="Red">1</real><real name="Green">1</real><real name="Blue">1</real><real name="Alpha">1</real></color>
<MinMax name="PartSpeed"><real name="Min">2</real></MinMax>
<MinMax name="PartLifeTime"><real name="Min">1</real><real name="Max">3</real></MinMax>
</Emitter></Stream>)");
    Emitter e;
    e.Load(path);
    EXPECT_EQ(e.EmitRate, 5.0f);
    EXPECT_EQ(e.PartSpeed.Min, 2.0f);
    EXPECT_EQ(e.PartSpeed.Max, 2.0f);
    EXPECT_FALSE(e.PartSpeed.mRange);
    EXPECT_EQ(e.PartSpeed.Sample(), 2.0f);
    EXPECT_TRUE(e.PartLifeTime.mRange);
}

// A particle's speed and lifetime are read as every number in a data file is: a finite decimal
// number, or refused with the file, the line, the field and the text as written. A refused Min
// keeps its value; a refused Max leaves the pair constant, as one never written does.
TEST(ParticleFilesTest, SpeedAndLifetimeTakeOnlyFiniteDecimals)
{
    struct Case
    {
        const char* mSpeed;
        const char* mLife;
        float mSpeedMin, mSpeedMax, mLifeMin, mLifeMax;
        const char* mError;
    };
    const Case cases[] = {
        {"<real name=\"Min\"> 4.5 </real>", "<real name=\"Min\">+1</real><real name=\"Max\">3e0</real>", 4.5f, 4.5f,
         1.0f, 3.0f, nullptr},
        {"<real name=\"Min\">2</real>", "<real name=\"Min\">nan</real>", 2.0f, 2.0f, 0.0f, 0.0f,
         "line 9: PartLifeTime Min \"nan\" refused (not a finite decimal number); it keeps 0"},
        {"<real name=\"Min\">2</real>", "<real name=\"Min\">1</real><real name=\"Max\">inf</real>", 2.0f, 2.0f, 1.0f,
         1.0f, "line 9: PartLifeTime Max \"inf\" refused (not a finite decimal number); it keeps 1"},
        {"<real name=\"Min\">-inf</real><real name=\"Max\">5</real>", "<real name=\"Min\">1</real>", 0.0f, 5.0f, 1.0f,
         1.0f, "line 8: PartSpeed Min \"-inf\" refused (not a finite decimal number); it keeps 0"},
        {"<real name=\"Min\">2junk</real>", "<real name=\"Min\">1</real>", 0.0f, 0.0f, 1.0f, 1.0f,
         "line 8: PartSpeed Min \"2junk\" refused (not a finite decimal number); it keeps 0"},
        {"<real name=\"Min\">1</real><real name=\"Max\">1e39</real>", "<real name=\"Min\">1</real>", 1.0f, 1.0f, 1.0f,
         1.0f, "line 8: PartSpeed Max \"1e39\" refused (out of range for a real); it keeps 1"},
    };
    ScratchFolder folder("particle_numbers");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.mSpeed) + " " + c.mLife);
        const std::string path = WriteText(folder, "E.xml",
                                           std::string(R"(<?xml version="1.0"?>
<Stream version="2.0"><Emitter>
<int name="AnimIndex">0</int><real name="EmitRate">5</real>
<int name="EmitType" type="emitType">1</int><int name="EmitBehavior" type="behavior">0</int>
<uint name="EmitSystem">0</uint><int name="DMNumber">0</int><real name="DMScale">1</real>
<color name="InitColor"><real name="Red">1</real><real name="Green">1</real><real name="Blue">1</real>
<real name="Alpha">1</real></color>
<MinMax name="PartSpeed">)") + c.mSpeed + "</MinMax>\n<MinMax name=\"PartLifeTime\">" +
                                               c.mLife + "</MinMax>\n</Emitter></Stream>");
        LogCapture log;
        Emitter e;
        e.Load(path);
        EXPECT_EQ(e.PartSpeed.Min, c.mSpeedMin);
        EXPECT_EQ(e.PartSpeed.Max, c.mSpeedMax);
        EXPECT_EQ(e.PartLifeTime.Min, c.mLifeMin);
        EXPECT_EQ(e.PartLifeTime.Max, c.mLifeMax);
        EXPECT_EQ(e.PartLifeTime.mRange, c.mLifeMin != c.mLifeMax);
        EXPECT_TRUE(std::isfinite(e.PartSpeed.Sample()) && std::isfinite(e.PartLifeTime.Sample()));
        // The file ends early; the loader's own word on that is not what is tested here.
        std::vector<std::string> refused;
        for (const std::string& error : log.Errors())
            if (error.find(" refused (") != std::string::npos)
                refused.push_back(error);
        std::vector<std::string> expected;
        if (c.mError)
        {
            expected.push_back(path);
            expected.back().append(" ").append(c.mError);
            Console::FixSlashes(expected.back()); // as the log writes every path
        }
        EXPECT_EQ(refused, expected);
    }
}

TEST(ParticleFilesTest, BrokenFilesKeepDefaults)
{
    ScratchFolder folder("particle_broken");
    const std::string truncated = WriteText(folder, "T.xml", R"(<?xml version="1.0"?>
<Stream version="2.0"><System><int name="AnimationIndex">4</int><int name="AnimationMode">1</int><int name="UpdateTy)");
    const std::string malformed =
        WriteText(folder, "M.xml", "<Stream><System><int name=\"AnimationIndex\">x</int></Sys");
    const std::string binary = WriteText(folder, "B.xml", std::string("\x00\x01\x02<<>>\xff", 8));
    for (const std::string& path : {truncated, malformed, binary, (folder.Path() / "missing.xml").string()})
    {
        LogCapture log;
        ParticleSystem system;
        EXPECT_FALSE(system.Load(path)) << path;
        EXPECT_EQ(system.UpdateTypes, 0);
        EXPECT_EQ(system.maxParticles, 3000u);
        EXPECT_EQ(system.texture.GetFile(), "particle.bmp");
        EXPECT_EQ(log.Count("XML File"), 1) << path;
        Emitter emitter;
        EXPECT_FALSE(emitter.Load(path));
        EXPECT_EQ(emitter.DMScale, 1.0f);
        EXPECT_EQ(emitter.InitColor, Color(1, 1, 1, 1));
    }
}
