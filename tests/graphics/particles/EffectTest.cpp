#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "LOOM/factory/FileComposition.h"
#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLSaver.h"
#include "graphics/font/FontList.h"
#include "graphics/model/DistanceMap.h"
#include "graphics/particles/Effect.h"
#include "graphics/particles/ParticleComp.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/graphics/particles/ParticleFixture.h"

namespace {

constexpr float kFrame = 1.0f / 30.0f;

class EffectTest : public ParticleFixture
{
protected:
    // A system file and an emitter file of one burst of particles living that long.
    void WriteFiles(float lifetime, uint32_t emitSystem = 0)
    {
        ParticleSystem system;
        system.texture.SetFile("Textures/particle.bmp");
        mSystemFile = Save("S.xml", "System", system);
        Emitter emitter;
        emitter.PartLifeTime = {lifetime, lifetime, false};
        emitter.EmitSystem = emitSystem;
        mEmitterFile = Save("E.xml", "Emitter", emitter);
    }

    bool Alive(uint32_t id)
    {
        mCogs.ProcessDestroyList();
        return mCogs.GetCog(id) != nullptr;
    }

    size_t SpriteDraws(Effect& effect, float distance)
    {
        EffectView view;
        view.mQuad = mShaders->GetShader("Quad");
        view.mEye = Vector3(distance, 0, 0);
        mDevice.ClearLog();
        effect.Render(mDevice, view);
        size_t n = 0;
        for (const auto& draw : mDevice.mDraws)
            n += draw.mType == PrimitiveType::TriangleList;
        return n;
    }

    std::string mSystemFile;
    std::string mEmitterFile;
};

} // namespace

TEST_F(EffectTest, FrameStepCarriesShortFramesAndCapsLongOnes)
{
    Cog* cog = nullptr;
    Effect& effect = Make<Effect>("Fx", cog);
    cog->Initialize();
    effect.Update(0.0005f);
    EXPECT_EQ(effect.GetElapsed(), 0.0f);
    effect.Update(0.0005f);
    EXPECT_FLOAT_EQ(effect.GetElapsed(), 0.001f);
    effect.Update(0.1f);
    EXPECT_FLOAT_EQ(effect.GetElapsed(), 0.001f + 0.033333335f);
}

TEST_F(EffectTest, LifetimeEndsTheCogWithoutEmitters)
{
    Cog* cog = nullptr;
    Effect& effect = Make<Effect>("Fx", cog);
    const uint32_t id = cog->GetID();
    cog->Initialize();
    float before = 0.0f;
    for (int frame = 0; frame < 400; ++frame)
    {
        before = effect.GetElapsed();
        effect.Update(kFrame);
        if (effect.GetElapsed() > 10.0f)
            break;
        ASSERT_TRUE(Alive(id)) << frame;
    }
    EXPECT_LE(before, 10.0f);
    EXPECT_FALSE(Alive(id));
}

TEST_F(EffectTest, NoLimitEndsWhenParticlesAreGone)
{
    WriteFiles(0.1f);
    Cog* cog = nullptr;
    Effect& effect = Make<Effect>("Fx", cog);
    const uint32_t id = cog->GetID();
    effect.TTL = 0.0f;
    effect.SystemFiles = {mSystemFile};
    effect.EmitterFiles = {mEmitterFile};
    cog->Initialize();
    // One burst at once; the particle lives past 0.1 s, then nothing is left.
    for (int frame = 0; frame < 3; ++frame)
    {
        effect.Update(kFrame);
        EXPECT_EQ(effect.Systems()[0]->GetCount(), 1);
        ASSERT_TRUE(Alive(id)) << frame;
    }
    effect.Update(kFrame);
    EXPECT_FALSE(Alive(id));
}

TEST_F(EffectTest, EmitterIFeedsSystemI)
{
    WriteFiles(5.0f, 0);
    Cog* cog = nullptr;
    Effect& effect = Make<Effect>("Fx", cog);
    effect.SystemFiles = {mSystemFile, mSystemFile};
    effect.EmitterFiles = {mEmitterFile, mEmitterFile};
    cog->Initialize();
    effect.Update(kFrame);
    EXPECT_EQ(effect.Systems()[0]->GetCount(), 1);
    EXPECT_EQ(effect.Systems()[1]->GetCount(), 1);

    // A third emitter has no system of its own: refused, named in the log.
    LogCapture log;
    Cog* other = nullptr;
    Effect& extra = Make<Effect>("Fx", other);
    extra.SystemFiles = {mSystemFile};
    extra.EmitterFiles = {mEmitterFile, mEmitterFile};
    other->Initialize();
    EXPECT_TRUE(log.Contains("E.xml: system 1 of 1"));
    extra.Update(kFrame);
    EXPECT_EQ(extra.Systems()[0]->GetCount(), 1);
}

TEST_F(EffectTest, SpritesByDistanceAndLifetime)
{
    Cog* cog = nullptr;
    Effect& effect = Make<Effect>("Fx", cog);
    effect.ModelFile = "Models/Tube.lmf";
    effect.AnimationFile = "Models/Tube.lmf";
    effect.EffectSprites.resize(3);
    effect.EffectSprites[0].TTL = 0.0f;
    effect.EffectSprites[1].TTL = 2.0f;
    effect.EffectSprites[1].EffectType = 1;
    effect.EffectSprites[2].AnimIndex = 99;
    effect.FontEffects.resize(1);
    effect.FontEffects[0].FontIndex = 5;
    cog->Initialize();
    cog->Get<Positional>()->SetSeen(true);
    ASSERT_NE(effect.GetSkeleton(), nullptr);
    EXPECT_GT(effect.Animation().GetLoadedCount(), 0u);
    Effect::BindPlaneMesh();
    ASSERT_NE(Effect::GetPlaneMesh(), nullptr);

    LogCapture log;
    effect.Update(kFrame);
    // Closer than 32 units nothing is drawn; the bone past the skeleton is skipped.
    EXPECT_EQ(SpriteDraws(effect, 31.0f), 0u);
    EXPECT_EQ(SpriteDraws(effect, 32.0f), 2u);
    EXPECT_EQ(SpriteDraws(effect, 50.0f), 2u);
    EXPECT_EQ(log.Count("bone 99"), 1);
    EXPECT_EQ(log.Count("font 5"), 1);
    while (effect.GetElapsed() < 2.0f)
        effect.Update(kFrame);
    EXPECT_EQ(SpriteDraws(effect, 40.0f), 1u);
    // An effect out of view draws nothing.
    cog->Get<Positional>()->SetSeen(false);
    EXPECT_EQ(SpriteDraws(effect, 40.0f), 0u);
    Effect::SetPlaneMesh(nullptr);
}

TEST_F(EffectTest, FieldsRoundTrip)
{
    Cog* cog = nullptr;
    Effect& effect = Make<Effect>("Fx", cog);
    effect.TTL = 3.5f;
    effect.Transform = true;
    effect.ModelFile = "Models/FlashEffect.lmf";
    effect.EffectSprites.resize(1);
    effect.EffectSprites[0].EffectType = 2;
    effect.EffectSprites[0].texture.SetFile("Textures/BlueGlow.dds");
    effect.FontEffects.resize(1);
    effect.FontEffects[0].Postion = Vector3(1, 2, 3);
    effect.FontEffects[0].Text = "Ouch & <run>";
    effect.LocalLights.resize(1);
    effect.SystemFiles = {"Data/Effects/Spark.System.xml"};
    const std::string path = (mScratch->Path() / "Fx.xml").string();
    {
        XMLSaver saver;
        ASSERT_TRUE(saver.Open(path));
        effect.Serialize(saver);
        saver.Close();
    }
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_NE(text.str().find("name=\"Postion\""), std::string::npos);

    Cog* copyCog = nullptr;
    Effect& copy = Make<Effect>("Fx", copyCog);
    XMLLoader loader(path);
    copy.Serialize(loader);
    EXPECT_TRUE(loader.IsGood());
    EXPECT_EQ(copy.TTL, 3.5f);
    EXPECT_TRUE(copy.Transform);
    EXPECT_EQ(copy.ModelFile, "Models/FlashEffect.lmf");
    ASSERT_EQ(copy.EffectSprites.size(), 1u);
    EXPECT_EQ(copy.EffectSprites[0].EffectType, 2);
    EXPECT_EQ(copy.EffectSprites[0].texture.GetFile(), "Textures/BlueGlow.dds");
    ASSERT_EQ(copy.FontEffects.size(), 1u);
    EXPECT_EQ(copy.FontEffects[0].Postion, Vector3(1, 2, 3));
    EXPECT_EQ(copy.FontEffects[0].Text, "Ouch & <run>");
    EXPECT_EQ(copy.FontEffects[0].AnimIndex, -1);
    EXPECT_EQ(copy.LocalLights.size(), 1u);
    EXPECT_EQ(copy.SystemFiles, effect.SystemFiles);
}

TEST_F(EffectTest, ParticleCompWithoutSystemsDoesNothing)
{
    WriteFiles(1.0f);
    Cog* cog = nullptr;
    ParticleComp& comp = Make<ParticleComp>("Cloud", cog);
    comp.EmitterFiles = {mEmitterFile};
    cog->Initialize();
    comp.Update(kFrame);
    EXPECT_TRUE(comp.Systems().empty());
    EXPECT_TRUE(comp.Emitters().empty());
}

TEST_F(EffectTest, ParticleCompTransformCarriesTheCloud)
{
    WriteFiles(10.0f);
    for (bool transform : {true, false})
    {
        Cog* cog = nullptr;
        ParticleComp& comp = Make<ParticleComp>("Cloud", cog, Vector3(10, 0, 0));
        comp.Transform = transform;
        comp.SystemFiles = {mSystemFile};
        comp.EmitterFiles = {mEmitterFile};
        cog->Initialize();
        comp.Update(0.0005f);
        EXPECT_EQ(comp.Systems()[0]->GetCount(), 0);
        comp.Update(0.0005f);
        ASSERT_EQ(comp.Systems()[0]->GetCount(), 1);
        auto* positional = cog->Get<Positional>();
        positional->SetPosition(Vector3(20, 0, 0));
        comp.Update(kFrame);
        mDevice.ClearLog();
        comp.Render(mDevice);
        ASSERT_EQ(mDevice.mDraws.size(), 1u);
        const auto& draw = mDevice.mDraws[0];
        const ParticleVertex v = mDevice.VertexAt<ParticleVertex>(draw, 0);
        // On: local positions drawn under the owner, so the cloud moved with it. Off: the
        // particle stays where it was emitted.
        const float worldX = v.mX + draw.mWorld[12];
        EXPECT_EQ(worldX, transform ? 20.0f : 10.0f) << transform;
        cog->Destroy();
        mCogs.ProcessDestroyList();
    }
}

TEST_F(EffectTest, GameEffectFilesLoadAndRun)
{
    const std::filesystem::path folder = std::filesystem::path(GetDataPath()) / "Data/Effects";
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
    {
        const std::string name = entry.path().filename().string();
        const std::string path = "Data/Effects/" + name;
        bool good = true;
        if (name.ends_with(".System.xml"))
            good = ParticleSystem().Load(path);
        else if (name.ends_with(".Emitter.xml"))
            good = Emitter().Load(path);
        else if (name.ends_with(".Color.xml"))
        {
            ColorStream stream;
            good = stream.Load(path) && !stream.ColorKeys.empty();
        }
        else
            continue;
        EXPECT_TRUE(good) << name;
        ++files;
    }
    EXPECT_EQ(files, 26u);

    Emitter cloud;
    ASSERT_TRUE(cloud.Load("Data/Effects/DeathCloud.Emitter.xml"));
    cloud.Init(1);
    ASSERT_NE(cloud.GetDistanceMap(), nullptr);
    EXPECT_EQ(size_t(cloud.DMNumber), cloud.GetDistanceMap()->mPoints.size() - 1);

    // The flash: sparks at once, gone after its second.
    Cog* cog = nullptr;
    Effect& flash = Make<Effect>("Fx", cog);
    ASSERT_TRUE(LoadArchetypeXml(*cog, "Data/Effects/FlashEffect.xml"));
    const uint32_t id = cog->GetID();
    cog->Initialize();
    EXPECT_EQ(flash.TTL, 1.0f);
    ASSERT_EQ(flash.Systems().size(), 1u);
    EXPECT_GT(flash.Animation().GetLoadedCount(), 0u);
    flash.Update(kFrame);
    EXPECT_GT(flash.Systems()[0]->GetCount(), 0);
    int frames = 1;
    while (Alive(id) && frames < 100)
    {
        flash.Update(kFrame);
        ++frames;
    }
    // Thirty frames of 1/30 s pass one second (float sums may need one more).
    EXPECT_GE(frames, 30);
    EXPECT_LE(frames, 31);
}

TEST_F(EffectTest, TextsFaceTheCameraAtTheOwner)
{
    FontList fonts;
    ASSERT_GT(fonts.Load("Config/GuiConfig.xml", &mDevice), 0u);
    Cog* cog = nullptr;
    Effect& effect = Make<Effect>("Fx", cog, Vector3(5, 6, 7));
    effect.FontEffects.resize(2);
    for (int i = 0; i < 2; ++i)
    {
        effect.FontEffects[size_t(i)].FontIndex = 0;
        effect.FontEffects[size_t(i)].Scale = float(i + 1);
        effect.FontEffects[size_t(i)].Text = "Hi";
    }
    cog->Initialize();
    cog->Get<Positional>()->SetSeen(true);
    EffectView view;
    view.mEye = Vector3(100, 0, 0);
    view.mFonts = &fonts;
    MakeRotationY(view.mViewRotationInverse, 0.5f);
    mDevice.ClearLog();
    effect.Render(mDevice, view);
    ASSERT_EQ(mDevice.mDraws.size(), 2u);
    float width[2] = {};
    for (size_t d = 0; d < 2; ++d)
    {
        const auto& draw = mDevice.mDraws[d];
        Matrix4 expected = view.mViewRotationInverse;
        expected[12] = 5;
        expected[13] = 6;
        expected[14] = 7;
        EXPECT_EQ(draw.mWorld, expected);
        float lo = 1e9f, hi = -1e9f;
        for (size_t v = 0; v < draw.mVertices.size() / sizeof(GraphicsDevice::TexturedVertex); ++v)
        {
            const auto vertex = mDevice.VertexAt<GraphicsDevice::TexturedVertex>(draw, v);
            lo = std::min(lo, vertex.mX);
            hi = std::max(hi, vertex.mX);
            // No colour stream: white.
            EXPECT_EQ(vertex.mColor, 0xFFFFFFFFu);
        }
        width[d] = hi - lo;
    }
    EXPECT_GT(width[0], 0.0f);
    EXPECT_NEAR(width[1], 2.0f * width[0], 1e-3f);
}

// A text over an effect is a label on the world: drawn whatever stands before it, and as tall on
// screen as a reader needs near the camera and far from it, within bounds of the screen's height.
TEST_F(EffectTest, TextsStayReadableAndOverTheScene)
{
    FontList fonts;
    ASSERT_GT(fonts.Load("Config/GuiConfig.xml", &mDevice), 0u);
    struct Case
    {
        float distance;
        float pixels; // a cell's height on screen
    };
    // 600 pixels high, 300 pixels a unit one unit ahead: a 3-unit text at 60 units takes 15, at
    // 40 it would take 22.5 and at 100 only 9; the bounds are 600 / 48 and 600 / 28.
    const Case cases[] = {{40.0f, 600.0f / 28.0f}, {60.0f, 15.0f}, {100.0f, 12.5f}, {5000.0f, 12.5f}};
    for (const Case& c : cases)
    {
        Cog* cog = nullptr;
        Effect& effect = Make<Effect>("Fx", cog, Vector3(c.distance, 0, 0));
        effect.FontEffects.resize(1);
        effect.FontEffects[0].Scale = 3.0f;
        effect.FontEffects[0].Text = "I";
        cog->Initialize();
        cog->Get<Positional>()->SetSeen(true);
        EffectView view;
        view.mFonts = &fonts;
        view.mPixelsPerUnit = 300.0f;
        view.mScreenHeight = 600.0f;
        mDevice.ClearLog();
        effect.Render(mDevice, view);
        ASSERT_EQ(mDevice.mDraws.size(), 1u) << c.distance;
        const auto& draw = mDevice.mDraws[0];
        EXPECT_FALSE(draw.mStates.mDepthEnable) << c.distance;
        float lo = 1e9f, hi = -1e9f;
        for (size_t v = 0; v < draw.mVertices.size() / sizeof(GraphicsDevice::TexturedVertex); ++v)
        {
            const float y = mDevice.VertexAt<GraphicsDevice::TexturedVertex>(draw, v).mY;
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
        const float pixels = (hi - lo) * view.mPixelsPerUnit / c.distance;
        EXPECT_NEAR(pixels, c.pixels, 0.05f) << c.distance;
    }
}
