#include "graphics/effect/ShaderControl.h"

#include <cstdlib>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/serial/XMLLoader.h"
#include "platform/Dialogs.h"

namespace {

constexpr size_t kTableSlots = 30;

void FailAndExit(const std::string& log)
{
    ShowMessageBox("Fx Compile Error", log);
    if (gCoreEngine)
        gCoreEngine->ShutdownLooms();
    std::exit(1);
}

ShaderControl::FailureHandler gFailureHandler = &FailAndExit;

void SerializeRecord(Serializer& s, ShaderRecord& record)
{
    s.SerializeString("Name", record.mName);
    s.SerializeString("FileName", record.mFileName);
    s.SerializeInt("Stages", record.mStages);
    s.SerializeBoolField("Advanced", record.mAdvanced);
    s.SerializeString("SpecialFX", record.mSpecialFX);
}

} // namespace

void ShaderControl::SetFailureHandler(FailureHandler handler) { gFailureHandler = handler ? handler : &FailAndExit; }

ShaderControl::FailureHandler ShaderControl::GetFailureHandler() { return gFailureHandler; }

ShaderControl::ShaderControl() : mPool(std::make_unique<EffectPool>()) {}

ShaderControl::~ShaderControl() = default;

void ShaderControl::Load(GraphicsDevice& device, bool pixelShader20)
{
    LoadFrom(device, Console::Instance().GetConfigFolder() + "Methods.xml", pixelShader20);
}

void ShaderControl::LoadFrom(GraphicsDevice& device, const std::string& methodsFile, bool pixelShader20)
{
    XMLLoader loader;
    if (loader.Open(methodsFile) && loader.BeginField("ShaderControl", nullptr, false, TypeElement, this))
    {
        if (loader.BeginField("list", "Methods", false, TypeElement, &mRecords))
        {
            loader.SerializeListHead(mRecords, "Shader");
            for (ShaderRecord& record : mRecords)
                if (loader.BeginField("Shader", nullptr, false, TypeElement, &record))
                {
                    SerializeRecord(loader, record);
                    loader.EndField("Shader", false);
                }
            loader.EndField("list", false);
        }
        loader.EndField("ShaderControl", false);
    }
    loader.Close();

    mPool = std::make_unique<EffectPool>();
    // Thirty slots as the renderers expect, more when the list is longer.
    mTable.assign(std::max(kTableSlots, mRecords.size()), nullptr);
    for (size_t i = 0; i < mRecords.size(); ++i)
    {
        ShaderRecord& record = mRecords[i];
        record.mIndex = uint16_t(i);
        // An effect file outside the data folder is refused (logged there) and fails as a missing one.
        std::string inside, errors;
        std::unique_ptr<FxEffect> effect;
        if (DataPathInside(record.mFileName, inside))
            effect = FxEffect::FromFile(device, record.mFileName, mPool.get(), errors);
        else
            errors = record.mFileName + ": the file cannot be read";
        if (!effect)
        {
            Console::Instance().Log("Fx Compile Error: " + errors, LogError);
            gFailureHandler(errors);
            continue;
        }
        mShaders.push_back(std::make_unique<Shader>(record, std::move(effect), &mFrame, pixelShader20));
        Shader* shader = mShaders.back().get();
        shader->SetIndex(uint16_t(i));
        mByName[record.mName] = shader;
        mTable[i] = shader;
    }
}

Shader* ShaderControl::GetShader(const std::string& name) const
{
    auto it = mByName.find(name);
    return it == mByName.end() ? nullptr : it->second;
}

void ShaderControl::OnLostDevice()
{
    for (auto& entry : mByName)
        entry.second->GetEffect().OnLostDevice();
}

void ShaderControl::OnResetDevice()
{
    for (auto& entry : mByName)
        entry.second->GetEffect().OnResetDevice();
}

void ShaderControl::Clear()
{
    mByName.clear();
    mTable.clear();
    mRecords.clear();
    mShaders.clear();
    mPool = std::make_unique<EffectPool>();
}

void ShaderControl::Reload(GraphicsDevice& device)
{
    Clear();
    Load(device);
}
