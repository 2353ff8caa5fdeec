#include "graphics/scenery/SkyDome.h"

#include "LOOM/assets/AssetManager.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/effect/Shader.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/ModelStores.h"
#include "graphics/sky/Sun.h"

SkyDome::SkyDome()
{
    Console::Instance().RegisterCommand("LoadCubeMap",
                                        MakeDataPathCommand(MakeConsoleCommand(this, &SkyDome::LoadCubeMap)),
                                        "Loads and Activates a Cube Map File");
}

SkyDome::~SkyDome()
{
    Release();
    Console::Instance().RemoveCommand("LoadCubeMap");
}

void SkyDome::Init()
{
    if (!mDome && ModelStores::sMeshes)
    {
        mDome = ModelStores::sMeshes->GetRef("Models\\skydome.lmf");
        ++mDomeLoads;
    }
    mCloudTexture.SetFile("Textures/cloudsbump.dds");
    mCubeActive = false;
    mSkyActive = true;
    mCloudsActive = true;
}

void SkyDome::LoadCubeMap(std::string file)
{
    TextureRef cube;
    cube.SetFile(file);
    const GpuTexture* texture = cube.GetTexture();
    if (!texture || texture->GetDesc().mKind != TextureKind::Cube)
    {
        Console::Instance().Log("LoadCubeMap: \"" + file + "\" is not a cube map; the sky stays as it is", LogError);
        return;
    }
    mCubeActive = true;
    mCloudsActive = true;
    mSkyActive = false;
    mCubeMapFile = file;
    mCubeTexture.Reset();
    mCubeTexture.Assign(cube);
    mCubeTexture.File() = file;
    if (GraphicsLoom* loom = GraphicsLoom::Instance())
        loom->GetShaderControl().Frame().mEnvironment = mCubeTexture.GetTexture();
}

void SkyDome::DrawDome(GraphicsDevice& device, Shader& shader)
{
    shader.Begin();
    mDome->BindBuffers(device);
    shader.ForEachPass([&] { mDome->DrawPart(device, 0); });
    shader.End();
}

void SkyDome::Render(GraphicsLoom& loom, Sun* sun)
{
    mLayersDrawn = 0;
    GraphicsDevice* device = loom.GetDevice();
    if (!device || !mDome || mDome->GetPartCount() == 0)
        return;
    const Matrix4 skyProjection = Matrix4::PerspectiveFovLH(0.6283185f, 1.0f, 0.01f, 2.0f);
    Matrix4 view = device->Bound().Transform(TransformKind::View);
    const Matrix4 projection = device->Bound().Transform(TransformKind::Projection);
    Matrix4 centred = view;
    centred.m[12] = centred.m[13] = centred.m[14] = 0.0f;
    const Matrix4 skyBox = centred * skyProjection;
    device->SetTransform(TransformKind::World, Matrix4::Identity());
    ShaderControl& shaders = loom.GetShaderControl();
    auto prepare = [&](const char* name) -> Shader* {
        Shader* shader = shaders.GetShader(name);
        if (!shader || !shader->SetTechnique(Shader::Technique0))
            return nullptr;
        shader->SetMatrix(Shader::View, view);
        shader->SetMatrix(Shader::Projection, projection);
        shader->CommitChanges();
        if (sun)
            sun->SetSkyConstants(shader->GetEffect());
        return shader;
    };
    if (mCubeActive)
        if (Shader* shader = prepare("Cube"))
        {
            shader->SetEnvironmentTexture();
            DrawDome(*device, *shader);
            mLayersDrawn |= CubeLayer;
        }
    if (mSkyActive)
        if (Shader* shader = prepare("Sky"))
        {
            shader->SetMatrixByName("mSkyBox", skyBox);
            DrawDome(*device, *shader);
            mLayersDrawn |= SkyLayer;
        }
    if (mCloudsActive)
    {
        TextureRef stars;
        stars.SetFile("Textures/stars.bmp");
        if (Shader* shader = prepare("Clouds"))
        {
            shader->SetMatrixByName("mSkyBox", skyBox);
            FxEffect& effect = shader->GetEffect();
            effect.SetTexture(effect.GetParameterByName("tex0"), mCloudTexture.GetTexture());
            effect.SetTexture(effect.GetParameterByName("tex1"), stars.GetTexture());
            DrawDome(*device, *shader);
            mLayersDrawn |= CloudsLayer;
        }
    }
}

void SkyDome::OnLostDevice() {}

void SkyDome::Release()
{
    mDome.Reset();
    mCubeTexture.Reset();
    mCloudTexture.Reset();
}
