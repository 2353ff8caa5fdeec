#include "graphics/commands/GraphicsCommands.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/math/Plane.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/QuadBatcher.h"
#include "graphics/Renderable.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/font/FontList.h"
#include "graphics/model/files/XMeshReader.h"
#include "graphics/model/files/XMeshWriter.h"
#include "graphics/render/DeferredRenderer.h"
#include "graphics/scene/ModelIK.h"
#include "graphics/scenery/Terrain.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/TerraTex.h"

namespace {

// For commands whose text arguments name files: only files inside the data folder.
constexpr bool kDataPaths = true;

template <typename Method>
void Register(std::vector<std::string>& names, GraphicsCommands* target, const char* name, Method method,
              const char* description, bool dataPaths = false)
{
    std::unique_ptr<ConsoleCommand> command = MakeConsoleCommand(target, method);
    if (dataPaths)
        command = MakeDataPathCommand(std::move(command));
    Console::Instance().RegisterCommand(name, std::move(command), description);
    names.emplace_back(name);
}

} // namespace

GraphicsCommands::GraphicsCommands(GraphicsLoom& loom) : mLoom(loom), mFonts(std::make_unique<FontList>())
{
    using G = GraphicsCommands;
    Register(mNames, this, "Wire", &G::Wire, "Toggles Wireframe");
    Register(mNames, this, "Simple", &G::Simple, "Toggles Overall Simple Graphics");
    Register(mNames, this, "Shadow", &G::Shadow, "Toggles Shadows");
    Register(mNames, this, "FPS", &G::FPS, "Toggles FPS");
    Register(mNames, this, "HUD", &G::HUD, "Toggles HUD");
    Register(mNames, this, "Particles", &G::Particles, "Toggles Particles");
    Register(mNames, this, "Bounding", &G::Bounding, "Show Bounding Volumes");
    Register(mNames, this, "Objs", &G::Objs, "Show Model Objects");
    Register(mNames, this, "Tera", &G::Tera, "Show Model Terrain");
    Register(mNames, this, "Anim", &G::Anim, "Process Animations");
    Register(mNames, this, "RenderLoading", &G::RenderLoading, "Render Loading Screen");
    Register(mNames, this, "DoneLoading", &G::DoneLoading, "End Loading Process");
    Register(mNames, this, "ScreenPick", &G::ScreenPick, "Pick an Object On Screen");
    Register(mNames, this, "GenIK", &G::GenIK, "IK");
    Register(mNames, this, "DoDeferred", &G::DoDeferred, "Actives Deferred Shading (DO NOT USE)");
    Register(mNames, this, "ScreenCap", &G::ScreenCap, "Screen Capture");
    Register(mNames, this, "AddLine", &G::AddLine, "Add Line");
    Register(mNames, this, "SetLOD", &G::SetLOD, "Set LOD Limit");
    Register(mNames, this, "SaveInfo", &G::SaveInfo, "Save Current Terrain Info Map");
    Register(mNames, this, "SetShadows", &G::SetShadows, "Set Shadows");
    Register(mNames, this, "GetTerrainHeight", &G::GetTerrainHeight, "Gets the height of the terrain");
    Register(mNames, this, "GetTerrainIntersection", &G::GetTerrainIntersection, "GetTerrainIntersection");
    Register(mNames, this, "ConsoleTrans", &G::ConsoleTrans, "Sets the Console Transparency");
    Register(mNames, this, "TextColor", &G::TextColor, "Sets the Console Text Color");
    Register(mNames, this, "ConsoleBack", &G::ConsoleBack, "Sets the Console Background", kDataPaths);
    Register(mNames, this, "ConvertFile", &G::ConvertFile, "Converts a File", kDataPaths);
    Register(mNames, this, "TerraInfo", &G::TerraInfo, "Generates Terra Info", kDataPaths);
}

GraphicsCommands::~GraphicsCommands()
{
    for (const std::string& name : mNames)
        Console::Instance().RemoveCommand(name);
    Shutdown();
}

void GraphicsCommands::Init(GraphicsDevice* device, const std::string& guiConfig)
{
    mDevice = device;
    mOverlay.SetDevice(device);
    mFonts->Clear();
    mQuads.reset();
    if (device)
    {
        mFonts->Load(guiConfig, device);
        mQuads = std::make_unique<QuadBatcher>(*device);
    }
}

void GraphicsCommands::Shutdown()
{
    mFonts->Clear();
    mQuads.reset();
    mOverlay.SetDevice(nullptr);
    mDevice = nullptr;
}

void GraphicsCommands::RenderStats(float dt, bool loading, const FrameStats& stats)
{
    GraphicsScene* scene = mLoom.GetScene();
    if (!scene)
        return;
    mOverlay.Render(
        mFonts->Get(0), dt, loading, mLoom.GetToggles().mShowStats, stats,
        {scene->mConsolePosition, scene->mConsoleTransparency, scene->mConsoleBackground.GetTexture(), mQuads.get()});
}

void GraphicsCommands::Wire() { mLoom.GetToggles().mWireframe = !mLoom.GetToggles().mWireframe; }

void GraphicsCommands::Shadow() { mLoom.GetToggles().mShadows = !mLoom.GetToggles().mShadows; }

void GraphicsCommands::FPS() { mLoom.GetToggles().mShowStats = !mLoom.GetToggles().mShowStats; }

void GraphicsCommands::HUD()
{
    if (GuiSeam* gui = mLoom.GetGui())
        gui->ToggleVisible();
}

void GraphicsCommands::Particles() { mLoom.GetToggles().mParticles = !mLoom.GetToggles().mParticles; }

void GraphicsCommands::Bounding() { mLoom.GetToggles().mBounding = !mLoom.GetToggles().mBounding; }

void GraphicsCommands::Objs() { mLoom.GetToggles().mObjects = !mLoom.GetToggles().mObjects; }

void GraphicsCommands::Tera() { mLoom.GetToggles().mTerrain = !mLoom.GetToggles().mTerrain; }

void GraphicsCommands::Anim() { mLoom.GetToggles().mAnimations = !mLoom.GetToggles().mAnimations; }

void GraphicsCommands::SetLOD(float limit) { mLoom.GetToggles().mLodLimit = limit; }

void GraphicsCommands::SetShadows(bool on) { mLoom.GetToggles().mShadows = on; }

void GraphicsCommands::ConsoleTrans(float transparency)
{
    if (GraphicsScene* scene = mLoom.GetScene())
        scene->mConsoleTransparency = transparency;
}

void GraphicsCommands::ConsoleBack(std::string file)
{
    if (GraphicsScene* scene = mLoom.GetScene())
        scene->mConsoleBackground.SetFile(file);
}

void GraphicsCommands::RenderLoading() { mLoom.RenderLoading(); }

void GraphicsCommands::DoneLoading() { mLoom.Loading().Done(); }

Cog* GraphicsCommands::ScreenPick()
{
    // The scene's renderables are asked in list order; the first hit names the cog.
    GraphicsScene* scene = mLoom.GetScene();
    if (!scene)
        return nullptr;
    float x = float(mLoom.GetScreenWidth()) * 0.5f;
    float y = float(mLoom.GetScreenHeight()) * 0.5f;
    if (const GuiSeam* gui = mLoom.GetGui(); gui && gui->HasMouse())
    {
        x = gui->GetMouseX();
        y = gui->GetMouseY();
    }
    const Ray ray = mLoom.ScreenToWorldRay(x, y);
    for (Renderable* model : scene->mModels)
        if (model && model->Intersect(ray.origin, ray.direction))
            return model->GetOwner();
    return nullptr;
}

void GraphicsCommands::GenIK(Cog* cog, Vector3 target)
{
    GenerateIKAnimation(cog, "Data/Constraints.xml", target, kGenIKTurnRate);
}

bool GraphicsCommands::ScreenCap()
{
    while (mScreenshotCounter < kMaxScreenshots)
    {
        const std::string name = "screenshot" + std::to_string(mScreenshotCounter) + ".bmp";
        if (FileExists(DataFilePath(name)))
        {
            ++mScreenshotCounter;
            continue;
        }
        Image image;
        std::string why = "the screen cannot be read";
        if (mDevice && mDevice->ReadBack(nullptr, image) && image.SaveBmp(DataFilePath(name), &why))
            return true;
        std::string message = "ScreenCap: could not save ";
        message.append(name).append(": ").append(why);
        Console::Instance().Log(message, LogError);
        return false;
    }
    Console::Instance().Log("ScreenCap: screenshot0.bmp to screenshot99.bmp all exist, nothing saved", LogError);
    return false;
}

void GraphicsCommands::DoDeferred(bool on)
{
    DeferredRenderer* deferred = mLoom.GetDeferred();
    if (!deferred)
        return;
    deferred->Enable(mLoom.GetDevice(), on);
    mLoom.GetToggles().mDeferred = on && deferred->IsEnabled();
}

void GraphicsCommands::AddLine(Vector3 from, Vector3 to) { mLoom.Lines().Add(from, to); }

bool GraphicsCommands::SaveInfo(std::string file)
{
    const GraphicsScene* scene = mLoom.GetScene();
    Terrain* terrain = scene ? scene->mTerrain : nullptr;
    if (!terrain)
    {
        Console::Instance().Log("SaveInfo: no terrain to save the info map of", LogError);
        return false;
    }
    std::string inside;
    return DataPathInside(file, inside) && terrain->SaveInfoTexture(inside);
}

Vector3 GraphicsCommands::GetTerrainHeight(Vector3 position)
{
    // Without a height map the answer is the origin.
    const HeightMap* map = HeightMap::Current();
    return map ? Vector3(position.x, map->GetHeight(position.x, position.z), position.z) : Vector3();
}

Vector3 GraphicsCommands::GetTerrainIntersection()
{
    float x = float(mLoom.GetScreenWidth()) * 0.5f;
    float y = float(mLoom.GetScreenHeight()) * 0.5f;
    if (const GuiSeam* gui = mLoom.GetGui())
    {
        x = gui->GetMouseX();
        y = gui->GetMouseY();
    }
    const Ray ray = mLoom.ScreenToWorldRay(x, y);
    Vector3 point;
    if (!Plane(0.0f, 1.0f, 0.0f, 0.0f).IntersectRay(ray, &point))
        return Vector3();
    if (const HeightMap* map = HeightMap::Current())
        point.y = map->GetHeight(point.x, point.z);
    return point;
}

void GraphicsCommands::ConvertFile(std::string in, std::string out)
{
    // The reader logs what is wrong with a file it refuses.
    XMesh mesh;
    if (!XMeshReader::ReadFile(DataFilePath(in), mesh))
        return;
    if (!XMeshWriter::SaveBinary(mesh, DataFilePath(out)))
        Console::Instance().Log("ConvertFile: " + out + " cannot be written", LogError);
}

void GraphicsCommands::TerraInfo(std::string file)
{
    TerraTex generator;
    if (generator.Load(file))
        generator.GenerateMap();
}
