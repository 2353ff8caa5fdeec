#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/math/Matrix4.h"
#include "graphics/effect/Shader.h"

class GraphicsDevice;
class GpuTexture;

// The camera matrices of the current frame and the environment cube, filled by the loom and
// read by the shaders' composite setters.
struct FrameMatrices
{
    Matrix4 mView;
    Matrix4 mProjection;
    Matrix4 mViewProjection;
    // Used by caller-given world matrices (the model widget); the identity unless set.
    Matrix4 mViewProjectionAlt;
    GpuTexture* mEnvironment = nullptr;
};

// The shader library: every effect of "Methods.xml" compiled once into a shared pool, by
// name and by index.
class ShaderControl
{
public:
    // Called when an effect fails to compile, with its log; the default shows "Fx Compile
    // Error", shuts the looms down and ends the process with 1.
    using FailureHandler = void (*)(const std::string& log);
    static void SetFailureHandler(FailureHandler handler);
    static FailureHandler GetFailureHandler();

    ShaderControl();
    ~ShaderControl();

    // Reads the configuration folder's "Methods.xml" and compiles every effect.
    void Load(GraphicsDevice& device, bool pixelShader20 = true);
    // Same, from a given list file (tests).
    void LoadFrom(GraphicsDevice& device, const std::string& methodsFile, bool pixelShader20 = true);
    Shader* GetShader(const std::string& name) const;
    Shader* GetShaderByIndex(size_t index) const { return index < mTable.size() ? mTable[index] : nullptr; }
    size_t GetTableSize() const { return mTable.size(); }
    const std::vector<ShaderRecord>& GetRecords() const { return mRecords; }
    void OnLostDevice();
    void OnResetDevice();
    void Clear();
    void Reload(GraphicsDevice& device);

    FrameMatrices& Frame() { return mFrame; }
    EffectPool& Pool() { return *mPool; }

private:
    std::vector<ShaderRecord> mRecords;
    std::vector<std::unique_ptr<Shader>> mShaders;
    std::map<std::string, Shader*> mByName;
    std::vector<Shader*> mTable;
    std::unique_ptr<EffectPool> mPool;
    FrameMatrices mFrame;
};
