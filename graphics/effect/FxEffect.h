#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/math/Matrix4.h"
#include "graphics/device/GraphicsDevice.h"

class XMLReader;

// The CPU copy of one parameter's value; effects that declare a shared parameter point at the
// pool's one copy. The version changes on every set, so each program uploads only news.
struct EffectValue
{
    std::vector<float> mFloats;
    GpuTexture* mTexture = nullptr;
    uint64_t mVersion = 1;
};

// Shared parameters by name, for every effect made with the pool.
class EffectPool
{
public:
    // The pool's value of that name, made with the given float count on first request.
    EffectValue* Get(const std::string& name, size_t floats);

private:
    std::map<std::string, std::unique_ptr<EffectValue>> mValues;
};

// An effect file of ours: a header of parameters, then techniques of passes, each pass with
// its GLSL files, render states and samplers. Handles are indices, -1 for a name the effect
// does not declare; every setter ignores -1.
class FxEffect
{
public:
    using Handle = int32_t;
    static constexpr Handle kNull = -1;

    // Null with the reason (parse error, or the compile and link log) in errors.
    static std::unique_ptr<FxEffect> FromFile(GraphicsDevice& device, const std::string& fileName, EffectPool* pool,
                                              std::string& errors);
    ~FxEffect();

    Handle GetParameterByName(const std::string& name) const;
    Handle GetTechniqueByName(const std::string& name) const;
    bool SetTechnique(Handle technique);
    Handle GetTechnique() const { return mTechnique; }

    // Values stay on the CPU until a pass uploads them. Float setters take as many floats as
    // given, up to what the parameter holds.
    void SetFloatArray(Handle parameter, const float* values, uint32_t count);
    void SetFloat(Handle parameter, float value) { SetFloatArray(parameter, &value, 1); }
    void SetVector(Handle parameter, const float value[4]) { SetFloatArray(parameter, value, 4); }
    void SetMatrix(Handle parameter, const Matrix4& m) { SetFloatArray(parameter, m.m, 16); }
    void SetMatrixArray(Handle parameter, const Matrix4* matrices, uint32_t count);
    void SetInt(Handle parameter, int32_t value) { SetFloat(parameter, float(value)); }
    void SetTexture(Handle parameter, GpuTexture* texture);
    // The value as kept (tests, debugging); null for a null handle.
    const EffectValue* GetValue(Handle parameter) const;

    // Saves the device's states, samplers, textures and program; End restores them.
    uint32_t Begin();
    void BeginPass(uint32_t pass);
    // Uploads what changed since the pass began or last committed.
    void CommitChanges();
    void EndPass();
    void End();
    uint32_t GetPassCount() const;
    // True when a pass of the current technique turns alpha blending on.
    bool Blends() const;

    // Nothing of an effect lives in memory a reset loses.
    void OnLostDevice() {}
    void OnResetDevice() {}

    struct Parameter;
    struct Pass;
    struct Technique;

private:
    FxEffect() = default;
    bool Parse(const std::string& fileName, EffectPool* pool, std::string& errors);
    // Element readers for Parse: each answers what is wrong, or nothing.
    std::string ReadElement(XMLReader& reader, EffectPool* pool, Technique*& technique, Pass*& pass);
    std::string ReadParameter(XMLReader& reader, EffectPool* pool);
    std::string ReadSampler(XMLReader& reader, Pass& pass);
    bool BuildPass(Pass& pass, std::string& errors);
    void Upload(Pass& pass, bool all);

    GraphicsDevice* mDevice = nullptr;
    std::string mFileName;
    std::vector<std::unique_ptr<Parameter>> mParameters;
    std::vector<std::unique_ptr<EffectValue>> mOwnValues;
    std::vector<Technique> mTechniques;
    Handle mTechnique = kNull;
    int32_t mActivePass = -1;
    bool mBegun = false;
    RenderStates mSavedStates;
    GpuProgram* mSavedProgram = nullptr;
    SamplerState mSavedSamplers[8];
    GpuTexture* mSavedTextures[8] = {};
};
