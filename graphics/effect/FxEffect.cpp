#include "graphics/effect/FxEffect.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "LOOM/base/FileUtils.h"
#include "LOOM/serial/XMLReader.h"
#include "graphics/device/GlslPrelude.h"

namespace {

// Every set gets a new number, so a program compares one integer per uniform.
uint64_t gNextVersion = 2;

enum class ParamKind : uint8_t
{
    Float,
    Int,
    Texture2D,
    TextureCube
};

struct TypeInfo
{
    const char* mName;
    const char* mGlsl;
    ParamKind mKind;
    uint32_t mFloats;
};

const TypeInfo kTypes[] = {
    {"float", "float", ParamKind::Float, 1},
    {"float2", "vec2", ParamKind::Float, 2},
    {"float3", "vec3", ParamKind::Float, 3},
    {"float4", "vec4", ParamKind::Float, 4},
    {"float4x4", "mat4", ParamKind::Float, 16},
    {"int", "int", ParamKind::Int, 1},
    {"bool", "bool", ParamKind::Int, 1},
    {"texture", "sampler2D", ParamKind::Texture2D, 0},
    {"textureCube", "samplerCube", ParamKind::TextureCube, 0},
};

// Render-state names as effect files write them.
enum class StateId : uint8_t
{
    FillMode,
    CullMode,
    ZEnable,
    ZWriteEnable,
    ZFunc,
    AlphaBlendEnable,
    SrcBlend,
    DestBlend,
    BlendOp,
    ColorWriteEnable,
    AlphaTestEnable,
    AlphaFunc,
    AlphaRef,
    StencilEnable,
    TwoSidedStencilMode,
    StencilFunc,
    StencilFail,
    StencilZFail,
    StencilPass,
    CcwStencilFunc,
    CcwStencilFail,
    CcwStencilZFail,
    CcwStencilPass,
    StencilRef,
    StencilMask,
    StencilWriteMask,
    ClipPlaneEnable,
    DepthBias,
    SlopeScaleDepthBias,
    PointSize,
};

const char* const kStateNames[] = {
    "FillMode",
    "CullMode",
    "ZEnable",
    "ZWriteEnable",
    "ZFunc",
    "AlphaBlendEnable",
    "SrcBlend",
    "DestBlend",
    "BlendOp",
    "ColorWriteEnable",
    "AlphaTestEnable",
    "AlphaFunc",
    "AlphaRef",
    "StencilEnable",
    "TwoSidedStencilMode",
    "StencilFunc",
    "StencilFail",
    "StencilZFail",
    "StencilPass",
    "CcwStencilFunc",
    "CcwStencilFail",
    "CcwStencilZFail",
    "CcwStencilPass",
    "StencilRef",
    "StencilMask",
    "StencilWriteMask",
    "ClipPlaneEnable",
    "DepthBias",
    "SlopeScaleDepthBias",
    "PointSize",
};

const char* const kCompare[] = {"Never", "Less", "Equal", "LessEqual", "Greater", "NotEqual", "GreaterEqual", "Always"};
const char* const kBlend[] = {"Zero",        "One",       "SrcColor",     "InvSrcColor", "SrcAlpha",
                              "InvSrcAlpha", "DestAlpha", "InvDestAlpha", "DestColor",   "InvDestColor"};
const char* const kBlendOps[] = {"Add", "Subtract", "RevSubtract", "Min", "Max"};
const char* const kStencilOps[] = {"Keep", "Zero", "Replace", "IncrSat", "DecrSat", "Invert", "Incr", "Decr"};
const char* const kCull[] = {"None", "CW", "CCW"};
const char* const kFill[] = {"Solid", "Wireframe", "Point"};
const char* const kFilters[] = {"Point", "Linear"};
const char* const kAddress[] = {"Wrap", "Mirror", "Clamp", "Border"};

template <size_t N>
bool Lookup(const char* const (&names)[N], const std::string& text, uint32_t& out)
{
    for (size_t i = 0; i < N; ++i)
        if (text == names[i])
        {
            out = uint32_t(i);
            return true;
        }
    return false;
}

bool ParseNumber(const std::string& text, float& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtof(text.c_str(), &end);
    return end && *end == '\0';
}

// A state value: a name of its table, true/false, or a number.
bool ParseStateValue(StateId id, const std::string& text, float& out)
{
    uint32_t index = 0;
    bool found = false;
    switch (id)
    {
    case StateId::FillMode:
        found = Lookup(kFill, text, index);
        break;
    case StateId::CullMode:
        found = Lookup(kCull, text, index);
        break;
    case StateId::ZFunc:
    case StateId::AlphaFunc:
    case StateId::StencilFunc:
    case StateId::CcwStencilFunc:
        found = Lookup(kCompare, text, index);
        break;
    case StateId::SrcBlend:
    case StateId::DestBlend:
        found = Lookup(kBlend, text, index);
        break;
    case StateId::BlendOp:
        found = Lookup(kBlendOps, text, index);
        break;
    case StateId::StencilFail:
    case StateId::StencilZFail:
    case StateId::StencilPass:
    case StateId::CcwStencilFail:
    case StateId::CcwStencilZFail:
    case StateId::CcwStencilPass:
        found = Lookup(kStencilOps, text, index);
        break;
    default:
        if (text == "true" || text == "false")
        {
            out = text == "true" ? 1.0f : 0.0f;
            return true;
        }
        return ParseNumber(text, out);
    }
    out = float(index);
    return found;
}

void ApplyState(RenderStates& s, StateId id, float v)
{
    const uint32_t u = uint32_t(v);
    switch (id)
    {
    case StateId::FillMode:
        s.mFill = FillMode(u);
        break;
    case StateId::CullMode:
        s.mCull = CullMode(u);
        break;
    case StateId::ZEnable:
        s.mDepthEnable = u != 0;
        break;
    case StateId::ZWriteEnable:
        s.mDepthWrite = u != 0;
        break;
    case StateId::ZFunc:
        s.mDepthFunc = CompareFunc(u);
        break;
    case StateId::AlphaBlendEnable:
        s.mBlendEnable = u != 0;
        break;
    case StateId::SrcBlend:
        s.mSrcBlend = BlendFactor(u);
        break;
    case StateId::DestBlend:
        s.mDestBlend = BlendFactor(u);
        break;
    case StateId::BlendOp:
        s.mBlendOp = BlendOp(u);
        break;
    case StateId::ColorWriteEnable:
        s.mColorMask = uint8_t(u & 0xF);
        break;
    case StateId::AlphaTestEnable:
        s.mAlphaTest = u != 0;
        break;
    case StateId::AlphaFunc:
        s.mAlphaFunc = CompareFunc(u);
        break;
    case StateId::AlphaRef:
        s.mAlphaRef = u;
        break;
    case StateId::StencilEnable:
        s.mStencilEnable = u != 0;
        break;
    case StateId::TwoSidedStencilMode:
        s.mTwoSidedStencil = u != 0;
        break;
    case StateId::StencilFunc:
        s.mStencil.mFunc = CompareFunc(u);
        break;
    case StateId::StencilFail:
        s.mStencil.mFail = StencilOp(u);
        break;
    case StateId::StencilZFail:
        s.mStencil.mZFail = StencilOp(u);
        break;
    case StateId::StencilPass:
        s.mStencil.mPass = StencilOp(u);
        break;
    case StateId::CcwStencilFunc:
        s.mStencilCcw.mFunc = CompareFunc(u);
        break;
    case StateId::CcwStencilFail:
        s.mStencilCcw.mFail = StencilOp(u);
        break;
    case StateId::CcwStencilZFail:
        s.mStencilCcw.mZFail = StencilOp(u);
        break;
    case StateId::CcwStencilPass:
        s.mStencilCcw.mPass = StencilOp(u);
        break;
    case StateId::StencilRef:
        s.mStencilRef = u;
        break;
    case StateId::StencilMask:
        s.mStencilMask = u;
        break;
    case StateId::StencilWriteMask:
        s.mStencilWriteMask = u;
        break;
    case StateId::ClipPlaneEnable:
        s.mClipPlaneMask = u;
        break;
    case StateId::DepthBias:
        s.mDepthBias = v;
        break;
    case StateId::SlopeScaleDepthBias:
        s.mSlopeScaleDepthBias = v;
        break;
    case StateId::PointSize:
        s.mPointSize = v;
        break;
    }
}

} // namespace

struct FxEffect::Parameter
{
    std::string mName;
    const TypeInfo* mType = nullptr;
    uint32_t mCount = 1;
    EffectValue* mValue = nullptr;
};

struct FxEffect::Pass
{
    struct UniformBinding
    {
        int32_t mUniform;
        EffectValue* mValue;
        uint64_t mSent;
        uint32_t mFloats;
        bool mInteger;
    };
    struct SamplerBinding
    {
        std::string mParameter;
        int32_t mUniform = -1;
        EffectValue* mValue = nullptr;
        uint32_t mUnit = 0;
        SamplerState mState;
    };

    std::string mVertexFile;
    std::string mFragmentFile;
    std::vector<std::pair<StateId, float>> mStates;
    std::vector<SamplerBinding> mSamplers;
    std::unique_ptr<GpuProgram> mProgram;
    std::vector<UniformBinding> mUniforms;
    bool mUnitsSet = false;
};

struct FxEffect::Technique
{
    std::string mName;
    std::vector<Pass> mPasses;
};

EffectValue* EffectPool::Get(const std::string& name, size_t floats)
{
    std::unique_ptr<EffectValue>& value = mValues[name];
    if (!value)
    {
        value = std::make_unique<EffectValue>();
        value->mFloats.assign(floats, 0.0f);
    }
    else if (value->mFloats.size() < floats)
        value->mFloats.resize(floats, 0.0f);
    return value.get();
}

FxEffect::~FxEffect() = default;

std::unique_ptr<FxEffect> FxEffect::FromFile(GraphicsDevice& device, const std::string& fileName, EffectPool* pool,
                                             std::string& errors)
{
    std::unique_ptr<FxEffect> effect(new FxEffect());
    effect->mDevice = &device;
    effect->mFileName = fileName;
    if (!effect->Parse(fileName, pool, errors))
        return nullptr;
    for (Technique& technique : effect->mTechniques)
        for (Pass& pass : technique.mPasses)
            if (!effect->BuildPass(pass, errors))
                return nullptr;
    if (!effect->mTechniques.empty())
        effect->mTechnique = 0;
    return effect;
}

std::string FxEffect::ReadParameter(XMLReader& reader, EffectPool* pool)
{
    auto parameter = std::make_unique<Parameter>();
    parameter->mName = reader.GetAttribute("name");
    const std::string type = reader.GetAttribute("type");
    for (const TypeInfo& info : kTypes)
        if (type == info.mName)
            parameter->mType = &info;
    if (!parameter->mType || parameter->mName.empty())
        return "parameter \"" + parameter->mName + "\" has no name or an unknown type \"" + type + "\"";
    if (GetParameterByName(parameter->mName) != kNull)
        return "parameter \"" + parameter->mName + "\" is declared twice";
    const std::string count = reader.GetAttribute("count");
    if (!count.empty())
    {
        float n = 0;
        if (!ParseNumber(count, n) || n < 1 || n > 256 || parameter->mType->mFloats == 0)
            return "parameter \"" + parameter->mName + "\" has a bad count";
        parameter->mCount = uint32_t(n);
    }
    const size_t floats = size_t(parameter->mType->mFloats) * parameter->mCount;
    if (pool && reader.GetAttribute("shared") == "true")
        parameter->mValue = pool->Get(parameter->mName, floats);
    else
    {
        mOwnValues.push_back(std::make_unique<EffectValue>());
        parameter->mValue = mOwnValues.back().get();
        parameter->mValue->mFloats.assign(floats, 0.0f);
    }
    std::istringstream defaults(reader.GetAttribute("default"));
    float v = 0;
    for (size_t i = 0; i < floats && defaults >> v; ++i)
        parameter->mValue->mFloats[i] = v;
    mParameters.push_back(std::move(parameter));
    return {};
}

std::string FxEffect::ReadSampler(XMLReader& reader, Pass& pass)
{
    Pass::SamplerBinding sampler;
    sampler.mParameter = reader.GetAttribute("texture");
    const Handle handle = GetParameterByName(sampler.mParameter);
    if (handle == kNull || mParameters[size_t(handle)]->mType->mFloats != 0)
        return "sampler of an undeclared texture \"" + sampler.mParameter + "\"";
    sampler.mValue = mParameters[size_t(handle)]->mValue;
    uint32_t v = 0;
    auto field = [&](const char* attribute, const auto& table, auto& member) {
        const std::string text = reader.GetAttribute(attribute);
        if (text.empty())
            return true;
        if (!Lookup(table, text, v))
            return false;
        member = std::remove_reference_t<decltype(member)>(v);
        return true;
    };
    if (!field("min", kFilters, sampler.mState.mMin) || !field("mag", kFilters, sampler.mState.mMag) ||
        !field("u", kAddress, sampler.mState.mU) || !field("v", kAddress, sampler.mState.mV) ||
        !field("w", kAddress, sampler.mState.mW))
        return "bad sampler state for \"" + sampler.mParameter + "\"";
    const std::string mip = reader.GetAttribute("mip");
    if (mip == "None")
        sampler.mState.mMipEnable = false;
    else if (!field("mip", kFilters, sampler.mState.mMip))
        return "bad mip filter for \"" + sampler.mParameter + "\"";
    pass.mSamplers.push_back(std::move(sampler));
    return {};
}

std::string FxEffect::ReadElement(XMLReader& reader, EffectPool* pool, Technique*& technique, Pass*& pass)
{
    const std::string& name = reader.ElementName();
    if (name == "Effect" || name == "Stream")
        return {};
    if (name == "Parameter" && !technique)
        return ReadParameter(reader, pool);
    if (name == "Technique" && !technique)
    {
        mTechniques.emplace_back();
        technique = &mTechniques.back();
        technique->mName = reader.GetAttribute("name");
        return {};
    }
    if (name == "Pass" && technique && !pass)
    {
        technique->mPasses.emplace_back();
        pass = &technique->mPasses.back();
        pass->mVertexFile = reader.GetAttribute("vertex");
        pass->mFragmentFile = reader.GetAttribute("fragment");
        if (pass->mVertexFile.empty() || pass->mFragmentFile.empty())
            return "a pass names no vertex or no fragment file";
        return {};
    }
    if (name == "State" && pass)
    {
        uint32_t id = 0;
        float value = 0;
        const std::string stateName = reader.GetAttribute("name");
        if (!Lookup(kStateNames, stateName, id) || !ParseStateValue(StateId(id), reader.GetAttribute("value"), value))
            return "unknown state \"" + stateName + "\" or value \"" + reader.GetAttribute("value") + "\"";
        pass->mStates.emplace_back(StateId(id), value);
        return {};
    }
    if (name == "Sampler" && pass)
        return ReadSampler(reader, *pass);
    return "unexpected element \"" + name + "\"";
}

bool FxEffect::Parse(const std::string& fileName, EffectPool* pool, std::string& errors)
{
    XMLReader reader;
    if (!reader.Open(fileName))
    {
        errors = fileName + ": the file cannot be read";
        return false;
    }
    auto fail = [&](const std::string& what) {
        errors = fileName + " (byte " + std::to_string(reader.TokenPosition()) + "): " + what;
        return false;
    };
    Technique* technique = nullptr;
    Pass* pass = nullptr;
    // A file cut inside a pass would load with the states and samplers read so far.
    std::vector<std::string> open;
    while (reader.ParseElement())
    {
        const int32_t kind = reader.Kind();
        const std::string& name = reader.ElementName();
        const bool opens = kind == XMLReader::KindStart || reader.IsSelfClosing();
        const bool closes = (kind == XMLReader::KindEnd) || (kind == XMLReader::KindStart && reader.IsEmpty());
        if (kind == XMLReader::KindText || name.empty() || name[0] == '?' || name[0] == '!')
            continue;
        if (kind == XMLReader::KindStart && !reader.IsEmpty())
            open.push_back(name);
        else if (kind == XMLReader::KindEnd && !reader.IsSelfClosing() && !open.empty())
            open.pop_back();
        if (opens)
        {
            const std::string error = ReadElement(reader, pool, technique, pass);
            if (!error.empty())
                return fail(error);
        }
        if (closes)
        {
            if (name == "Pass")
                pass = nullptr;
            else if (name == "Technique")
                technique = nullptr;
        }
    }
    if (reader.HasFailed())
        return fail("the XML is broken");
    if (!open.empty())
        return fail("the file ends inside <" + open.back() + ">");
    if (mTechniques.empty())
        return fail("no technique");
    return true;
}

bool FxEffect::BuildPass(Pass& pass, std::string& errors)
{
    // Shader files outside the data folder are refused (logged there) and fail as missing ones.
    std::string inside, vertexText, fragmentText;
    if (!DataPathInside(pass.mVertexFile, inside) || !ReadWholeFile(inside, vertexText))
    {
        errors = mFileName + ": cannot read " + pass.mVertexFile;
        return false;
    }
    if (!DataPathInside(pass.mFragmentFile, inside) || !ReadWholeFile(inside, fragmentText))
    {
        errors = mFileName + ": cannot read " + pass.mFragmentFile;
        return false;
    }
    std::string declarations;
    for (const auto& parameter : mParameters)
    {
        declarations.append("uniform ").append(parameter->mType->mGlsl).append(" ").append(parameter->mName);
        if (parameter->mCount > 1)
            declarations.append("[").append(std::to_string(parameter->mCount)).append("]");
        declarations.append(";\n");
    }
    std::string log;
    pass.mProgram = mDevice->CreateProgram(VertexPrelude() + declarations + "#line 1\n" + vertexText,
                                           FragmentPrelude() + declarations + "#line 1\n" + fragmentText, log);
    if (!pass.mProgram)
    {
        errors = mFileName + " (" + pass.mVertexFile + ", " + pass.mFragmentFile + "):\n" + log;
        return false;
    }
    uint32_t unit = 0;
    for (Pass::SamplerBinding& sampler : pass.mSamplers)
    {
        sampler.mUniform = pass.mProgram->FindUniform(sampler.mParameter);
        sampler.mUnit = unit++;
    }
    // Textures the program samples without a Sampler element still get a unit of their own.
    for (const auto& parameter : mParameters)
        if (parameter->mType->mFloats == 0 &&
            std::none_of(pass.mSamplers.begin(), pass.mSamplers.end(),
                         [&](const Pass::SamplerBinding& s) { return s.mParameter == parameter->mName; }))
        {
            Pass::SamplerBinding sampler;
            sampler.mParameter = parameter->mName;
            sampler.mValue = parameter->mValue;
            sampler.mUniform = pass.mProgram->FindUniform(parameter->mName);
            if (sampler.mUniform < 0)
                continue;
            sampler.mUnit = unit++;
            pass.mSamplers.push_back(std::move(sampler));
        }
    if (unit > 8)
    {
        errors = mFileName + ": more than 8 textures in a pass";
        return false;
    }
    for (const auto& parameter : mParameters)
    {
        if (parameter->mType->mFloats == 0)
            continue;
        const int32_t uniform = pass.mProgram->FindUniform(parameter->mName);
        if (uniform < 0)
            continue; // declared but unused: the compiler dropped it
        pass.mUniforms.push_back({uniform, parameter->mValue, 0, parameter->mType->mFloats * parameter->mCount,
                                  parameter->mType->mKind == ParamKind::Int});
    }
    return true;
}

FxEffect::Handle FxEffect::GetParameterByName(const std::string& name) const
{
    for (size_t i = 0; i < mParameters.size(); ++i)
        if (mParameters[i]->mName == name)
            return Handle(i);
    return kNull;
}

FxEffect::Handle FxEffect::GetTechniqueByName(const std::string& name) const
{
    for (size_t i = 0; i < mTechniques.size(); ++i)
        if (mTechniques[i].mName == name)
            return Handle(i);
    return kNull;
}

bool FxEffect::SetTechnique(Handle technique)
{
    if (technique < 0 || size_t(technique) >= mTechniques.size())
        return false;
    mTechnique = technique;
    return true;
}

void FxEffect::SetFloatArray(Handle parameter, const float* values, uint32_t count)
{
    if (parameter < 0 || size_t(parameter) >= mParameters.size() || !values)
        return;
    EffectValue* value = mParameters[size_t(parameter)]->mValue;
    const size_t n = std::min<size_t>(count, value->mFloats.size());
    std::copy(values, values + n, value->mFloats.begin());
    value->mVersion = gNextVersion++;
}

void FxEffect::SetMatrixArray(Handle parameter, const Matrix4* matrices, uint32_t count)
{
    if (matrices)
        SetFloatArray(parameter, matrices[0].m, count * 16);
}

void FxEffect::SetTexture(Handle parameter, GpuTexture* texture)
{
    if (parameter < 0 || size_t(parameter) >= mParameters.size())
        return;
    EffectValue* value = mParameters[size_t(parameter)]->mValue;
    value->mTexture = texture;
    value->mVersion = gNextVersion++;
}

const EffectValue* FxEffect::GetValue(Handle parameter) const
{
    if (parameter < 0 || size_t(parameter) >= mParameters.size())
        return nullptr;
    return mParameters[size_t(parameter)]->mValue;
}

uint32_t FxEffect::GetPassCount() const
{
    return mTechnique == kNull ? 0 : uint32_t(mTechniques[size_t(mTechnique)].mPasses.size());
}

uint32_t FxEffect::Begin()
{
    mSavedStates = mDevice->States();
    mSavedProgram = mDevice->Bound().mProgram;
    for (uint32_t stage = 0; stage < 8; ++stage)
    {
        mSavedSamplers[stage] = mDevice->Bound().mSamplers[stage];
        mSavedTextures[stage] = mDevice->Bound().mTextures[stage];
    }
    mBegun = true;
    return GetPassCount();
}

void FxEffect::BeginPass(uint32_t index)
{
    if (!mBegun || index >= GetPassCount())
        return;
    Pass& pass = mTechniques[size_t(mTechnique)].mPasses[index];
    mActivePass = int32_t(index);
    RenderStates states = mSavedStates;
    for (const auto& [id, value] : pass.mStates)
        ApplyState(states, id, value);
    mDevice->States() = states;
    mDevice->SetProgram(pass.mProgram.get());
    if (!pass.mUnitsSet)
    {
        for (const Pass::SamplerBinding& sampler : pass.mSamplers)
            mDevice->SetUniformInt(sampler.mUniform, int32_t(sampler.mUnit));
        pass.mUnitsSet = true;
    }
    for (const Pass::SamplerBinding& sampler : pass.mSamplers)
        mDevice->SetSamplerState(sampler.mUnit, sampler.mState);
    Upload(pass, false);
}

void FxEffect::CommitChanges()
{
    if (mActivePass < 0)
        return;
    Upload(mTechniques[size_t(mTechnique)].mPasses[size_t(mActivePass)], false);
}

void FxEffect::Upload(Pass& pass, bool)
{
    for (const Pass::SamplerBinding& sampler : pass.mSamplers)
        mDevice->SetTexture(sampler.mUnit, sampler.mValue->mTexture);
    for (Pass::UniformBinding& binding : pass.mUniforms)
    {
        if (binding.mSent == binding.mValue->mVersion)
            continue;
        binding.mSent = binding.mValue->mVersion;
        if (binding.mInteger)
            mDevice->SetUniformInt(binding.mUniform, int32_t(binding.mValue->mFloats[0]));
        else
        {
            const UniformInfo& info = pass.mProgram->GetUniforms()[size_t(binding.mUniform)];
            const uint32_t perElement = std::max(info.mComponents, 1u);
            mDevice->SetUniformFloats(binding.mUniform, binding.mValue->mFloats.data(),
                                      uint32_t(binding.mValue->mFloats.size()) / perElement);
        }
    }
}

void FxEffect::EndPass() { mActivePass = -1; }

void FxEffect::End()
{
    if (!mBegun)
        return;
    mBegun = false;
    mActivePass = -1;
    mDevice->States() = mSavedStates;
    mDevice->SetProgram(mSavedProgram);
    for (uint32_t stage = 0; stage < 8; ++stage)
    {
        mDevice->SetSamplerState(stage, mSavedSamplers[stage]);
        mDevice->SetTexture(stage, mSavedTextures[stage]);
    }
}
