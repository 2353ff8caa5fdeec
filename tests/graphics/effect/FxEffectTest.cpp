#include <gtest/gtest.h>

#include <cstdlib>

#include "LOOM/base/FileUtils.h"
#include "graphics/effect/FxEffect.h"
#include "graphics/effect/ShaderControl.h"
#include "tests/graphics/device/DeviceFixture.h"
#include "tests/graphics/resource/ResourceFixture.h"
#include "tests/input/LogProbe.h"

namespace {

struct ClipVertex
{
    float mX, mY, mZ;
    uint32_t mColor;
};

// Data path on a folder for the life of the object.
class DataPath
{
public:
    explicit DataPath(const std::string& path) : mOld(GetDataPath()) { SetDataPath(path); }
    ~DataPath() { SetDataPath(mOld); }

private:
    std::string mOld;
};

std::string TestData() { return std::string(LOOM_TEST_DATA) + "/"; }

} // namespace

class FxEffectTest : public DeviceFixture
{
protected:
    std::unique_ptr<FxEffect> Load(const std::string& name, EffectPool* pool)
    {
        std::string errors;
        auto effect = FxEffect::FromFile(*mDevice, name, pool, errors);
        EXPECT_NE(effect, nullptr) << errors;
        return effect;
    }

    // A quad over the clip-space square [x0, x1] x [y0, y1] (y up) with the effect.
    void DrawQuad(FxEffect& effect, float x0, float y0, float x1, float y1, uint32_t color = 0xFFFFFFFF)
    {
        const ClipVertex v[4] = {
            {x0, y1, 0.5f, color}, {x1, y1, 0.5f, color}, {x0, y0, 0.5f, color}, {x1, y0, 0.5f, color}};
        mDevice->SetVertexLayout(mColorLayout.get());
        const uint32_t passes = effect.Begin();
        for (uint32_t p = 0; p < passes; ++p)
        {
            effect.BeginPass(p);
            mDevice->DrawUser(PrimitiveType::TriangleStrip, 2, v, sizeof(ClipVertex));
            effect.EndPass();
        }
        effect.End();
    }
};

TEST_F(FxEffectTest, SharedParameterSetOnceReachesBothEffects)
{
    DataPath data(TestData());
    EffectPool pool;
    auto a = Load("Effects/TintA.fx", &pool);
    auto b = Load("Effects/TintB.fx", &pool);
    ASSERT_TRUE(a && b);
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    a->SetVector(a->GetParameterByName("Tint"), red);
    EXPECT_EQ(a->GetValue(a->GetParameterByName("Tint")), b->GetValue(b->GetParameterByName("Tint")));
    EXPECT_EQ(b->GetParameterByName("OwnA"), FxEffect::kNull);
    mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
    DrawQuad(*a, -1, 0, 0, 1); // top-left quarter
    DrawQuad(*b, 0, -1, 1, 0); // bottom-right quarter
    EXPECT_EQ(PixelAt(8, 8), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(56, 56), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(56, 8), kGrey);
    // A second set reaches a program that already uploaded the first.
    const float green[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    b->SetVector(b->GetParameterByName("Tint"), green);
    DrawQuad(*a, -1, 0, 0, 1);
    EXPECT_EQ(PixelAt(8, 8), 0xFF00FF00u);
}

TEST_F(FxEffectTest, EndRestoresStatesProgramAndUndeclaredNamesDoNothing)
{
    DataPath data(TestData());
    auto effect = Load("Effects/TintA.fx", nullptr);
    ASSERT_TRUE(effect);
    mDevice->UseBuiltin(GraphicsDevice::Builtin::Lines);
    GpuProgram* before = mDevice->Bound().mProgram;
    const RenderStates states = mDevice->States();
    effect->Begin();
    effect->BeginPass(0);
    EXPECT_EQ(mDevice->States().mCull, CullMode::None);
    EXPECT_TRUE(mDevice->States().mBlendEnable);
    EXPECT_EQ(mDevice->States().mDepthFunc, CompareFunc::Always);
    effect->EndPass();
    effect->End();
    EXPECT_TRUE(mDevice->States() == states);
    EXPECT_EQ(mDevice->Bound().mProgram, before);

    const FxEffect::Handle missing = effect->GetParameterByName("NotThere");
    EXPECT_EQ(missing, FxEffect::kNull);
    const float values[4] = {1, 2, 3, 4};
    effect->SetFloatArray(missing, values, 4);
    effect->SetTexture(missing, nullptr);
    EXPECT_EQ(effect->GetValue(missing), nullptr);
    EXPECT_FALSE(effect->SetTechnique(effect->GetTechniqueByName("Nope")));
    // Lenient: two floats into a four-component parameter change only the first two.
    const FxEffect::Handle own = effect->GetParameterByName("OwnA");
    effect->SetFloatArray(own, values, 2);
    EXPECT_EQ(effect->GetValue(own)->mFloats, (std::vector<float>{1, 2, 0, 0}));
    effect->SetFloatArray(own, values, 9);
    EXPECT_EQ(effect->GetValue(own)->mFloats, (std::vector<float>{1, 2, 3, 4}));
}

TEST_F(FxEffectTest, BrokenFilesReportTheirReason)
{
    DataPath data(TestData());
    struct Case
    {
        const char* mFile;
        const char* mPiece;
    };
    const Case cases[] = {{"Effects/Broken.fx", "NotDeclaredAnywhere"}, {"Effects/Missing.fx", "cannot be read"}};
    for (const Case& c : cases)
    {
        std::string errors;
        EXPECT_EQ(FxEffect::FromFile(*mDevice, c.mFile, nullptr, errors), nullptr);
        EXPECT_NE(errors.find(c.mPiece), std::string::npos) << errors;
    }
    ScratchFolder scratch("effects");
    const std::pair<const char*, const char*> texts[] = {
        {"<Effect><Parameter type=\"float5\" name=\"X\"/></Effect>", "unknown type"},
        {"<Effect><Parameter type=\"float\" name=\"X\"/><Parameter type=\"float\" name=\"X\"/></Effect>", "twice"},
        {"<Effect><Technique name=\"T\"><Pass vertex=\"a\"/></Technique></Effect>", "no vertex or no fragment"},
        {"<Effect><Technique name=\"T\"><Pass vertex=\"a\" fragment=\"b\"><State name=\"Foo\" "
         "value=\"1\"/></Pass></Technique></Effect>",
         "unknown state"},
        {"<Effect><Parameter type=\"float\" name=\"X\"/></Effect>", "no technique"},
        {"<Effect><Technique name=\"T\"><Pass vertex=\"a\" fragment=\"b\"><Sampler "
         "texture=\"Q\"/></Pass></Technique></Effect>",
         "undeclared texture"},
        {"<Effect><Parameter type=\"float\" name=\"X\" count=\"99999\"/></Effect>", "bad count"},
        {"<Effect><Technique name=\"T\"><Pass vertex=\"a\" fragment=\"b\"></Pass></Technique></Effect>",
         "cannot read a"},
        // Cut short: what was read would build and draw.
        {"<Effect><Parameter type=\"float4\" name=\"Tint\"/><Technique name=\"T\"><Pass "
         "vertex=\"Effects/Clip.vert\" fragment=\"Effects/Tint.frag\"><State name=\"CullMode\" value=\"None\"/>",
         "bad.fx (byte 165): the file ends inside <Pass>"},
        {"<Effect><Parameter type=\"float4\" name=\"Tint\"/><Technique name=\"T\"><Pass "
         "vertex=\"Effects/Clip.vert\" fragment=\"Effects/Tint.frag\"/></Technique>",
         "the file ends inside <Effect>"},
    };
    for (const auto& [text, piece] : texts)
    {
        const std::string path = (scratch.Path() / "bad.fx").string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fputs(text, file);
        std::fclose(file);
        std::string errors;
        EXPECT_EQ(FxEffect::FromFile(*mDevice, path, nullptr, errors), nullptr) << text;
        EXPECT_NE(errors.find(piece), std::string::npos) << errors;
    }
}

TEST_F(FxEffectTest, ThirtyOneRecordsDuplicatesAndNoShadow)
{
    DataPath data(TestData());
    ShaderControl control;
    control.LoadFrom(*mDevice, "Effects/Methods31.xml", false);
    EXPECT_EQ(control.GetRecords().size(), 31u);
    EXPECT_EQ(control.GetTableSize(), 31u);
    ASSERT_NE(control.GetShaderByIndex(30), nullptr);
    EXPECT_EQ(control.GetShaderByIndex(30)->GetIndex(), 30u);
    // The later of two equal names wins the lookup; both keep their slots.
    EXPECT_EQ(control.GetShader("Dup"), control.GetShaderByIndex(7));
    EXPECT_NE(control.GetShaderByIndex(3), nullptr);
    EXPECT_FALSE(control.GetShaderByIndex(0)->CastsShadow());
    EXPECT_TRUE(control.GetShaderByIndex(1)->CastsShadow());
    EXPECT_TRUE(control.GetShaderByIndex(2)->CastsShadow());
    EXPECT_TRUE(control.GetShaderByIndex(3)->CastsShadow());
    EXPECT_EQ(control.GetShader("Nothing"), nullptr);
    control.OnLostDevice();
    control.OnResetDevice();
    control.Clear();
    EXPECT_EQ(control.GetShader("S1"), nullptr);
}

TEST_F(FxEffectTest, BrokenEffectEndsTheProgramWithItsLog)
{
    DataPath data(TestData());
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The process ends on purpose with objects alive: no leak report in the child.
    const char* old = std::getenv("ASAN_OPTIONS");
    const std::string saved = old ? old : "";
    setenv("ASAN_OPTIONS", (saved + (saved.empty() ? "" : ":") + "detect_leaks=0").c_str(), 1);
    EXPECT_EXIT(
        {
            ShaderControl control;
            control.LoadFrom(*mDevice, "Effects/MethodsBroken.xml");
        },
        ::testing::ExitedWithCode(1), "NotDeclaredAnywhere");
    if (old)
        setenv("ASAN_OPTIONS", saved.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
}

class BasicShaderTest : public ResourceFixture
{
};

TEST_F(BasicShaderTest, BoneTwentyNineMovesASkinnedVertex)
{
    ShaderControl control;
    control.LoadFrom(*mDevice, "Config/Methods.xml");
    Shader* basic = control.GetShader("Basic");
    ASSERT_NE(basic, nullptr);
    ASSERT_TRUE(basic->SetTechnique(Shader::Skin));
    struct SkinVertex
    {
        float mPos[3], mNormal[3], mUv[2], mWeights[4];
        uint8_t mIndices[4];
    };
    static const VertexElement skin[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                         {12, VertexType::Float3, VertexSemantic::Normal, 0},
                                         {24, VertexType::Float2, VertexSemantic::TexCoord, 0},
                                         {32, VertexType::Float4, VertexSemantic::BlendWeight, 0},
                                         {48, VertexType::UByte4, VertexSemantic::BlendIndices, 0}};
    auto layout = mDevice->CreateVertexLayout(skin);
    // A small quad around the centre, every vertex on bone 29 alone.
    SkinVertex v[4] = {};
    const float corners[4][2] = {{-0.2f, 0.2f}, {0.2f, 0.2f}, {-0.2f, -0.2f}, {0.2f, -0.2f}};
    for (int i = 0; i < 4; ++i)
    {
        v[i] = SkinVertex{{corners[i][0], corners[i][1], 0.5f}, {0, 0, -1}, {0, 0}, {1, 0, 0, 0}, {29, 0, 0, 0}};
    }
    Matrix4 bones[30];
    bones[29] = Matrix4::Translation(Vector3(0.6f, 0.6f, 0.0f));
    basic->SetBones(30, bones);
    basic->SetWorldMatrices(Matrix4::Identity());
    basic->GetEffect().SetInt(basic->GetEffect().GetParameterByName("UseTexture"), 0);
    mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
    mDevice->SetVertexLayout(layout.get());
    basic->Begin();
    basic->BeginPass(0);
    mDevice->DrawUser(PrimitiveType::TriangleStrip, 2, v, sizeof(SkinVertex));
    basic->EndPass();
    basic->End();
    // Moved from the centre to the upper right.
    EXPECT_EQ(PixelAt(32, 32), kGrey);
    EXPECT_NE(PixelAt(51, 12), kGrey);
}
