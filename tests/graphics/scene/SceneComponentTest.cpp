#include <regex>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/factory/ComponentExport.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/font/FontList.h"
#include "graphics/model/Mesh.h"
#include "graphics/resource/Material.h"
#include "graphics/terrain/HeightMap.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/graphics/scene/SceneFixture.h"
#include "tests/input/LogProbe.h"

namespace {

// The names of a saved component's fields, in file order (the header's attributes aside).
std::vector<std::string> FieldNames(const std::string& text)
{
    std::vector<std::string> names;
    const std::regex field("\n\t\t<[a-z]+ name=\"([A-Za-z]+)\"");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), field); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

// Saves a component, loads the file into a fresh one and saves that: both files must match.
template <typename T>
std::string RoundTrip(T& original, const TempDir& dir)
{
    const std::string first = dir.Path("first.xml");
    const std::string second = dir.Path("second.xml");
    SaveComponentFile(original, first);
    T copy;
    XMLLoader loader;
    EXPECT_TRUE(loader.Open(first));
    if (loader.BeginField("comp", nullptr, false, TypeComp, &copy))
    {
        copy.Serialize(loader);
        loader.EndField("comp", false);
    }
    EXPECT_TRUE(loader.IsGood());
    loader.Close();
    SaveComponentFile(copy, second);
    std::string text = TempDir::Read(first);
    EXPECT_EQ(text, TempDir::Read(second));
    return text;
}

class SceneComponents : public SceneFixture
{
protected:
    // A red unit cube with a blob shadow, its model not loaded yet.
    Model& BlobShadowCube(const Vector3& at, Cog*& cog)
    {
        MakeType("SceneModel", {Model::kTypeId});
        cog = Make("SceneModel", at);
        Model& model = Get<Model>(cog);
        model.ModelFileName = "Models/UnitCube.lmf";
        model.FileShader = "Basic";
        model.Materials = {"Materials/Red.xml"};
        model.ShadowType = 2;
        return model;
    }

    TempDir mDir;
};

} // namespace

TEST(SceneComponentSave, EveryComponentKeepsItsFieldsInOrder)
{
    TempDir dir;
    Model model;
    model.ModelFileName = "Models/Turret.lmf";
    model.ShadowFileName = "Models/Plane.lmf";
    model.ShadowType = 2;
    model.Scale = 1.5f;
    model.ModelColor = Color(0.25f, 0.5f, 0.75f, 1.0f);
    model.FileShader = "Basic";
    model.Materials = {"Materials/Red.xml", "Materials/Blue.xml"};
    model.GetAnimation().AnimationActive = false;
    model.GetAnimation().CurAnimation = 2;
    model.GetAnimation().CurTime = 0.5f;
    model.GetAnimation().AnimationRate = 2.0f;
    model.GetAnimation().LoopAnimation = true;
    model.GetAnimation().FileAnimations = {"Models/Turret.lmf"};
    std::string text = RoundTrip(model, dir);
    EXPECT_EQ(FieldNames(text),
              (std::vector<std::string>{"ModelFileName", "ShadowFileName", "ShadowType", "Scale", "ModelColor",
                                        "FileShader", "Materials", "AnimationActive", "CurAnimation", "CurTime",
                                        "AnimationRate", "LoopAnimation", "FileAnimations"}));
    EXPECT_NE(text.find("<int name=\"ShadowType\">2</int>"), std::string::npos);
    EXPECT_NE(text.find("<real name=\"Scale\" min=\"0.1\" max=\"5\" inc=\"0.1\">1.5</real>"), std::string::npos);
    EXPECT_NE(text.find("<string name=\"FileShader\" type=\"shader\">Basic</string>"), std::string::npos);
    EXPECT_NE(text.find("<uint name=\"CurAnimation\">2</uint>"), std::string::npos);

    SkinModel skin;
    skin.MeshFileName = "Models/Invader.lmf";
    skin.SkelFileName = "Models/Invader.lmf";
    skin.ShadowType = 1;
    skin.SkinType = 3;
    skin.LODLimit = 75;
    skin.Scale = 2.5f;
    skin.FileShader = "BasicSkin";
    skin.FileMaterial = "Materials/Green.xml";
    skin.GetAnimation().FileAnimations = {"Models/Invader.lmf"};
    text = RoundTrip(skin, dir);
    EXPECT_EQ(
        FieldNames(text),
        (std::vector<std::string>{"MeshFileName", "SkelFileName", "ShadowType", "ModelColor", "SkinType", "LODLimit",
                                  "Scale", "FileShader", "FileMaterial", "AnimationActive", "CurAnimation", "CurTime",
                                  "AnimationRate", "LoopAnimation", "FileAnimations"}));
    EXPECT_NE(text.find("<int name=\"ShadowType\" type=\"ShadowType\">1</int>"), std::string::npos);
    EXPECT_NE(text.find("<real name=\"Scale\" min=\"0.1\" max=\"10\" inc=\"0.1\">2.5</real>"), std::string::npos);
    EXPECT_NE(text.find("<file name=\"FileMaterial\" func=\"SetMaterial\">Materials/Green.xml</file>"),
              std::string::npos);

    HudDisplay hud;
    hud.Size = Vector3(3, 1, 1);
    hud.Offset = Vector3(0, 4, 0);
    hud.Style = 2;
    text = RoundTrip(hud, dir);
    EXPECT_EQ(FieldNames(text), (std::vector<std::string>{"Size", "Offset", "Style"}));

    Sprite sprite;
    sprite.Scale = 2.0f;
    sprite.CellWidth = 16;
    sprite.CellHeight = 8;
    sprite.CurrentFrame = 3;
    sprite.FrameRate = 12.0f;
    sprite.AnimationMode = 1;
    sprite.mTexture.File() = "Textures/Checker.png";
    sprite.mColor = Color(1, 0, 0, 0.5f);
    sprite.Text = "hello";
    text = RoundTrip(sprite, dir);
    EXPECT_EQ(FieldNames(text),
              (std::vector<std::string>{"Scale", "CellWidth", "CellHeight", "CurrentFrame", "FrameRate",
                                        "AnimationMode", "texture", "color", "Text"}));

    PathController controller;
    controller.MaxVelocity = 4.0f;
    controller.FacingDir = Vector3(0, 0, -1);
    controller.PathFile = "Paths/route.pth";
    controller.RelativePath = true;
    text = RoundTrip(controller, dir);
    EXPECT_EQ(FieldNames(text), (std::vector<std::string>{"MaxVelocity", "FacingDir", "PathFile", "RelativePath"}));
}

TEST_F(SceneComponents, MessagesChangeTheModelAsGameCodeExpects)
{
    MakeType("SceneModel", {Model::kTypeId});
    MakeType("SceneHud", {HudDisplay::kTypeId});
    Cog* cog = Make("SceneModel", {256, 0, 256});
    Model& model = Get<Model>(cog);
    model.ModelFileName = "Models/Turret.lmf";
    model.FileShader = "Basic";
    cog->Initialize();

    ParamBuffer scale;
    scale.PushFloat(2.0f);
    cog->CallFunction("SetScale", scale);
    const Mesh* mesh = model.GetMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_FLOAT_EQ(Place(cog).GetLocalSphere().radius, mesh->mRadius * 2.0f);
    EXPECT_FLOAT_EQ(Place(cog).GetLocalBox().max.y, mesh->mBoxCorner2.y * 2.0f);
    EXPECT_FLOAT_EQ(model.mScaledRadius, mesh->mRadius * 2.0f);
    model.SetScale(0.5f);
    EXPECT_FLOAT_EQ(Place(cog).GetLocalSphere().radius, mesh->mRadius * 0.5f);

    // No materials: the message is ignored and the model is not queued, said once.
    ParamBuffer material;
    material.PushStdString("Materials/Red.xml");
    cog->CallFunction("SetMaterial", material);
    EXPECT_TRUE(model.Materials.empty());
    EXPECT_TRUE(model.GetMaterials().empty());
    MakeEye({256, 2, 266}, {256, 1, 256});
    LogProbe log;
    Frame();
    Frame();
    EXPECT_EQ(log.Count("Turret.lmf): no shader or no material, not drawn"), 1);
    EXPECT_FALSE(Place(cog).mDrawnThisFrame);

    model.Materials = {"Materials/Blue.xml"};
    model.Load();
    ParamBuffer red;
    red.PushStdString("Materials/Red.xml");
    cog->CallFunction("SetMaterial", red);
    ASSERT_EQ(model.GetMaterials().size(), 1u);
    EXPECT_EQ(model.Materials[0], "Materials/Red.xml");
    EXPECT_FLOAT_EQ(model.GetMaterials()[0]->mDiffuseColor.r, 1.0f);
    Frame();
    EXPECT_TRUE(Place(cog).mDrawnThisFrame);

    AnimationObj& animation = model.GetAnimation();
    ASSERT_EQ(animation.GetAnimationName(), "Idle");
    animation.Update(0.5f);
    ParamBuffer unknown;
    unknown.PushStdString("Dance");
    cog->CallFunction("SetAnimation", unknown);
    EXPECT_EQ(animation.GetAnimationName(), "Idle");
    EXPECT_FLOAT_EQ(animation.CurTime, 0.5f);
    ParamBuffer known;
    known.PushStdString("Activate");
    cog->CallFunction("SetAnimation", known);
    EXPECT_EQ(animation.GetAnimationName(), "Activate");
    EXPECT_FALSE(animation.LoopAnimation);

    ParamBuffer rate;
    rate.PushFloat(3.0f);
    cog->CallFunction("SetAnimationRate", rate);
    EXPECT_FLOAT_EQ(animation.AnimationRate, 3.0f);
    animation.Update(0.1f);
    EXPECT_NEAR(animation.CurTime, 0.3f, 1e-6f);

    ParamBuffer color;
    color.PushColor(Color(0.5f, 0.25f, 1.0f, 0.75f));
    cog->CallFunction("SetModelColor", color);
    EXPECT_EQ(model.ModelColor.g, 0.25f);
    model.SetModelColor(1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(model.ModelColor.g, 0.0f);

    ParamBuffer shader;
    shader.PushStdString("Trans");
    cog->CallFunction("SetShader", shader);
    EXPECT_EQ(model.GetShaderPtr(), mLoom->GetShaderControl().GetShader("Trans"));
    EXPECT_EQ(model.FileShader, "Basic");

    ParamBuffer other;
    other.PushStdString("Models/FiveCubes.lmf");
    cog->CallFunction("SetModel", other);
    EXPECT_EQ(model.GetMesh()->GetPartCount(), 5u);
    EXPECT_EQ(model.GetShaderPtr(), mLoom->GetShaderControl().GetShader("Basic"));

    // The HUD display's messages.
    Cog* bar = Make("SceneHud", {256, 0, 256});
    bar->Initialize();
    HudDisplay& hud = Get<HudDisplay>(bar);
    ParamBuffer number;
    number.PushInt(-5);
    bar->CallFunction("SetNumber", number);
    EXPECT_EQ(hud.Text, "-5");
    ParamBuffer text;
    text.PushStdString("Ready");
    bar->CallFunction("SetText", text);
    EXPECT_EQ(hud.Text, "Ready");
    ParamBuffer flag;
    flag.PushBool(true);
    bar->CallFunction("ShowNumber", flag);
    EXPECT_TRUE(hud.mShowNumber);
    ParamBuffer tint;
    tint.PushColor(Color(1, 0, 0, 0.5f));
    bar->CallFunction("SetHUDColor", tint);
    EXPECT_EQ(hud.mColor.a, 0.5f);
    // Text is drawn with the GUI's first font when there is one.
    Frame();
}

TEST_F(SceneComponents, HundredCogsWithEveryComponentLeaveNothingBehind)
{
    MakeType("Everything",
             {Model::kTypeId, SkinModel::kTypeId, PathController::kTypeId, Sprite::kTypeId, HudDisplay::kTypeId});
    MakeEye({256, 20, 300}, {256, 0, 256});
    const size_t hud = HudDisplay::Live().size(), sprites = Sprite::Live().size(),
                 paths = PathController::Live().size();
    const int asserts = AssertFailureCount();
    for (int i = 0; i < 100; ++i)
    {
        Cog* cog = Make("Everything", {236.0f + float(i % 10) * 4.0f, 0.0f, 236.0f + float(i / 10) * 4.0f});
        Model& model = Get<Model>(cog);
        model.ModelFileName = i % 2 ? "Models/Turret.lmf" : "Models/FiveCubes.lmf";
        model.FileShader = "Basic";
        model.Materials = {"Materials/Red.xml", "Materials/Green.xml"};
        model.ShadowType = i % 3;
        SkinModel& skin = Get<SkinModel>(cog);
        skin.MeshFileName = skin.SkelFileName = "Models/Invader.lmf";
        skin.FileShader = "BasicSkin";
        skin.FileMaterial = "Materials/Green.xml";
        skin.ShadowType = (i + 1) % 3;
        skin.GetAnimation().FileAnimations = {"Models/Invader.lmf"};
        Get<Sprite>(cog).mTexture.File() = "Textures/Checker.png";
        Get<HudDisplay>(cog).mShowBar = i % 2 == 0;
        Get<HudDisplay>(cog).mShowNumber = true;
        Get<HudDisplay>(cog).Text = std::to_string(i);
        cog->Initialize();
        Get<PathController>(cog).AddPathPoint(0, 0, 0);
        Get<PathController>(cog).AddPathPoint(float(i), 0, 1);
    }
    EXPECT_EQ(HudDisplay::Live().size(), hud + 100);
    EXPECT_EQ(Sprite::Live().size(), sprites + 100);
    EXPECT_EQ(PathController::Live().size(), paths + 100);
    EXPECT_EQ(mLoom->GetScene()->mModels.size(), 200u);
    mLoom->GetToggles().mBounding = true;
    const Image image = Frame();
    EXPECT_GT(mLoom->GetCounters().mTriangles, 1000u);
    EXPECT_GT(mLoom->GetCounters().mShadowTriangles, 0u);

    mCogs->DestroyAll();
    EXPECT_EQ(HudDisplay::Live().size(), hud);
    EXPECT_EQ(Sprite::Live().size(), sprites);
    EXPECT_EQ(PathController::Live().size(), paths);
    EXPECT_TRUE(mLoom->GetScene()->mModels.empty());
    Frame();
    LogProbe log;
    mLoom->Shutdown();
    EXPECT_EQ(log.Count("Resource leak"), 0);
    EXPECT_EQ(AssertFailureCount(), asserts);
}

TEST_F(SceneComponents, SpriteCellsAreFractionsOfTheTexture)
{
    MakeType("SceneSprite", {Sprite::kTypeId});
    Image image;
    image.Allocate(256, 128, Image::Format::BGR8);
    const std::string file = mDir.Path("sheet.bmp");
    ASSERT_TRUE(image.SaveBmp(file));
    struct Case
    {
        std::string texture;
        int32_t width, height;
        float u, v;
        int32_t outWidth, outHeight;
    };
    const Case cases[] = {
        {file, 64, 32, 0.25f, 0.25f, 64, 32},
        {file, -1, 16, 1.0f, 1.0f, 256, 128},
        {"", 8, 4, 8.0f, 4.0f, 8, 4},
    };
    for (const Case& c : cases)
    {
        Cog* cog = Make("SceneSprite", {256, 0, 256});
        Sprite& sprite = Get<Sprite>(cog);
        sprite.mTexture.File() = c.texture;
        sprite.CellWidth = c.width;
        sprite.CellHeight = c.height;
        sprite.CurrentFrame = 5;
        cog->Initialize();
        EXPECT_FLOAT_EQ(sprite.CellU, c.u) << c.width;
        EXPECT_FLOAT_EQ(sprite.CellV, c.v) << c.width;
        EXPECT_EQ(sprite.CellWidth, c.outWidth);
        EXPECT_EQ(sprite.CellHeight, c.outHeight);
        EXPECT_EQ(sprite.CurrentFrame, c.width == -1 ? 0 : 5);
        EXPECT_EQ(Sprite::Live().back(), &sprite);
    }
}

TEST(HudBar, QuadsFollowTheSizeAndTheClampedPercent)
{
    HudDisplay hud;
    hud.Size = Vector3(10.0f, 2.0f, 1.0f);
    struct Case
    {
        float percent, fillRight;
    };
    // Background from -4.5 to 4.5 (9 wide), 1.3 high; the edge spans the whole size.
    for (const Case& c : {Case{0.0f, -4.5f}, Case{0.5f, 0.0f}, Case{1.0f, 4.5f}, Case{-1.0f, -4.5f}, Case{3.0f, 4.5f}})
    {
        hud.SetPercent(c.percent);
        float v[60];
        hud.WriteBar(v);
        auto vertex = [&](int i) { return &v[i * 5]; };
        EXPECT_FLOAT_EQ(vertex(0)[0], -4.5f);
        EXPECT_FLOAT_EQ(vertex(0)[1], -0.65f);
        EXPECT_FLOAT_EQ(vertex(3)[0], 4.5f);
        EXPECT_FLOAT_EQ(vertex(3)[1], 0.65f);
        EXPECT_FLOAT_EQ(vertex(4)[0], -4.5f);
        EXPECT_FLOAT_EQ(vertex(7)[0], c.fillRight) << c.percent;
        EXPECT_FLOAT_EQ(vertex(8)[0], -5.0f);
        EXPECT_FLOAT_EQ(vertex(11)[1], 1.0f);
        // Strip corners (-,-), (-,+), (+,-), (+,+) with their texture coordinates.
        EXPECT_FLOAT_EQ(vertex(1)[4], 0.0f);
        EXPECT_FLOAT_EQ(vertex(2)[3], 1.0f);
        EXPECT_FLOAT_EQ(vertex(2)[4], 1.0f);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(vertex(i)[2], 0.0f);
    }
}

TEST_F(SceneComponents, BlobShadowLiesOnTheGroundWithoutAHeightMap)
{
    Cog* cog = nullptr;
    BlobShadowCube({256, 3, 256}, cog);
    cog->Initialize();
    MakeEye({256, 8, 266}, {256, 0, 256});
    const Image image = Frame();
    const Vector3 ground = ToScreen({256, 0.2f, 256});
    const Vector3 below = ToScreen({256, -0.5f, 256});
    const uint32_t blob = image.GetARGB(uint32_t(ground.x), uint32_t(ground.y));
    EXPECT_LT(Brightness(blob), Brightness(kClear));
    EXPECT_EQ(Channel(blob), -1);
    // Nothing of the model lies there, and nothing below the ground.
    EXPECT_EQ(image.GetARGB(uint32_t(below.x), uint32_t(below.y) + 20), kClear);
    const Vector3 cube = ToScreen({256, 3, 256});
    EXPECT_EQ(Channel(image.GetARGB(uint32_t(cube.x), uint32_t(cube.y))), 0);

    mLoom->GetToggles().mShadows = false;
    const Image none = Frame();
    EXPECT_EQ(none.GetARGB(uint32_t(ground.x), uint32_t(ground.y)), kClear);
}

// The blob is the round shadow dot blended onto the ground (y = 0 without a height map, else the
// map's height): darkest in the middle, lighter half-way out, and nothing in its square's corners.
TEST_F(SceneComponents, BlobShadowIsARoundSoftDotOnTheGround)
{
    Cog* cog = nullptr;
    Model& model = BlobShadowCube({256, 12, 256}, cog);
    model.Scale = 3.0f;
    cog->Initialize();
    MakeEye({256, 20, 268}, {256, 0, 256});
    const float r = model.mScaledRadius;
    ASSERT_GT(r, 0.5f);
    for (const float height : {0.0f, 4.0f})
    {
        std::unique_ptr<HeightMap> map;
        if (height > 0.0f)
        {
            map = std::make_unique<HeightMap>();
            map->mMapWidthSize = map->mMapDepthSize = 257;
            map->mTileScale = 2.0f;
            map->mAutoBuildTerrain = false;
            map->Initialize();
            for (int32_t z = 0; z < 257; ++z)
                for (int32_t x = 0; x < 257; ++x)
                    map->Tile(x, z).y = height;
            map->RefreshHeightRange();
        }
        const Image image = Frame();
        auto at = [&](float dx, float y, float dz) {
            const Vector3 p = ToScreen({256 + dx, y, 256 + dz});
            return image.GetARGB(uint32_t(p.x), uint32_t(p.y));
        };
        const float y = height + 0.2f;
        const int clear = Brightness(kClear);
        const int centre = Brightness(at(0, y, 0));
        const int half = Brightness(at(0.5f * r, y, 0));
        EXPECT_LT(centre, clear - 200) << height;
        EXPECT_LT(centre, half) << height;
        EXPECT_LT(half, clear) << height;
        for (const float sx : {-1.0f, 1.0f})
        {
            for (const float sz : {-1.0f, 1.0f})
                EXPECT_EQ(at(sx * 0.85f * r, y, sz * 0.85f * r), kClear) << height << ": " << sx << " " << sz;
        }
        if (height > 0.0f)
        {
            EXPECT_GT(Brightness(at(0, 0.2f, 0)), centre + 200) << "the blob left y = 0";
        }
    }
}

TEST_F(SceneComponents, HudBarsTakeTheirTexturesAgainAfterARestart)
{
    MakeType("SceneHud", {HudDisplay::kTypeId});
    for (int run = 0; run < 2; ++run)
    {
        if (run == 1)
        {
            // Cogs go before the loom, as at an engine restart.
            mCogs->DestroyAll();
            mLoom->Shutdown();
            mLoom->Init();
        }
        Cog* cog = Make("SceneHud", {256, 1, 256});
        HudDisplay& hud = Get<HudDisplay>(cog);
        hud.Offset = Vector3();
        hud.mShowBar = true;
        hud.SetPercent(1.0f);
        cog->Initialize();
        MakeEye({256, 1, 266}, {256, 1, 256});
        const Image image = Frame();
        EXPECT_EQ(image.GetARGB(400, 300), 0xFF00FF00u) << "run " << run;
    }
}

TEST_F(SceneComponents, HudNumbersAreDrawnInTheGuisFirstFont)
{
    MakeType("SceneHud", {HudDisplay::kTypeId});
    Cog* cog = Make("SceneHud", {256, 0, 256});
    HudDisplay& hud = Get<HudDisplay>(cog);
    hud.Offset = Vector3(0, 1, 0);
    cog->Initialize();
    hud.SetNumber(88);
    hud.ShowNumber(true);
    MakeEye({256, 1, 276}, {256, 1, 256});
    auto drawn = [](const Image& image) {
        int count = 0;
        for (uint32_t y = 0; y < image.mHeight; ++y)
            for (uint32_t x = 0; x < image.mWidth; ++x)
                count += image.GetARGB(x, y) != kClear;
        return count;
    };
    const int withText = drawn(Frame());
    ASSERT_TRUE(mLoom->GetCommands() && mLoom->GetCommands()->Fonts().Get(0));
    EXPECT_GT(withText, 50);
    hud.ShowNumber(false);
    EXPECT_EQ(drawn(Frame()), 0);
}
