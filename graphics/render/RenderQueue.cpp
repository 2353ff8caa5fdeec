#include "graphics/render/RenderQueue.h"

#include <algorithm>
#include <string>

#include "LOOM/console/Console.h"
#include "graphics/Renderable.h"
#include "graphics/device/GraphicsDevice.h"

namespace {

uint32_t Key0(const RenderQueueEntry& e) { return (uint32_t(e.mShaderIndex) << 16) | e.mMeshSerial; }
uint32_t Key1(const RenderQueueEntry& e) { return (uint32_t(e.mMaterialSerial) << 16) | e.mSubKey; }
uint32_t Key2(const RenderQueueEntry& e)
{
    return (uint32_t(e.mSpare) << 16) | (uint32_t(e.mDetailFlag) << 8) | e.mShaderFlag;
}

bool MaterialChanged(const RenderQueueEntry& a, const RenderQueueEntry& b)
{
    // Two materials may share a serial across stores; the pointer tells them apart.
    return a.mMaterialSerial != b.mMaterialSerial || a.mMaterial != b.mMaterial;
}

} // namespace

RenderQueue::RenderQueue() = default;
RenderQueue::~RenderQueue() = default;

void RenderQueue::Init(GraphicsDevice* device, QueueShaders* shaders)
{
    mDevice = device;
    mShaders = shaders;
    if (mBlocks.empty())
        mBlocks.push_back(std::make_unique<Block>());
    mNextFree = 0;
    mMain.reserve(kBlockSize);
    mShadows.reserve(kBlockSize);
    mMissingLogged.assign(65536, false);
}

void RenderQueue::Reset()
{
    mNextFree = 0;
    mMain.clear();
    mShadows.clear();
}

RenderQueueEntry* RenderQueue::NextEntry()
{
    const uint32_t block = mNextFree / kBlockSize;
    if (block >= mBlocks.size())
        mBlocks.push_back(std::make_unique<Block>());
    RenderQueueEntry* entry = &(*mBlocks[block])[mNextFree % kBlockSize];
    *entry = RenderQueueEntry();
    entry->mSequence = mNextFree++;
    return entry;
}

bool RenderQueue::Less(const RenderQueueEntry* a, const RenderQueueEntry* b)
{
    if (Key0(*a) != Key0(*b))
        return Key0(*a) < Key0(*b);
    if (Key1(*a) != Key1(*b))
        return Key1(*a) < Key1(*b);
    if (Key2(*a) != Key2(*b))
        return Key2(*a) < Key2(*b);
    return a->mSequence < b->mSequence;
}

void RenderQueue::Sort(std::vector<RenderQueueEntry*>& list)
{
    // The sequence makes the order total, so this sort is stable without a scratch buffer.
    std::sort(list.begin(), list.end(), &RenderQueue::Less);
}

Shader* RenderQueue::Lookup(uint16_t index)
{
    Shader* shader = mShaders->ShaderAt(index);
    if (!shader && index < mMissingLogged.size() && !mMissingLogged[index])
    {
        mMissingLogged[index] = true;
        Console::Instance().Log("RenderQueue: no shader at index " + std::to_string(index) + ", its draws are skipped",
                                LogError);
    }
    return shader;
}

void RenderQueue::Flush(float frameTime, uint32_t technique, Part part)
{
    DrawList(frameTime, technique, nullptr, true, part);
}

void RenderQueue::FlushInFilingOrder(float frameTime, uint32_t technique)
{
    DrawList(frameTime, technique, nullptr, false);
}

void RenderQueue::RenderDeferredGeometry(float frameTime)
{
    if (!mShaders)
        return;
    if (Shader* deferred = mShaders->DeferredShader())
        DrawList(frameTime, 0, deferred, true);
}

void RenderQueue::DrawList(float frameTime, uint32_t technique, Shader* only, bool sort, Part part)
{
    // The blended part follows the opaque one in the same frame: the counters add up.
    if (part != Part::Blended)
        mCounters = QueueCounters();
    if (mMain.empty() || !mDevice || !mShaders)
        return;
    if (sort)
        Sort(mMain);
    const std::vector<RenderQueueEntry*>* list = &mMain;
    if (part != Part::All)
    {
        mPart.clear();
        // Sorted by shader first: one question per shader.
        const RenderQueueEntry* asked = nullptr;
        bool blends = false;
        for (RenderQueueEntry* entry : mMain)
        {
            if (!asked || entry->mShaderIndex != asked->mShaderIndex)
            {
                Shader* s = mShaders->ShaderAt(entry->mShaderIndex);
                blends = s && mShaders->Blends(*s, technique);
                asked = entry;
            }
            if (blends == (part == Part::Blended))
                mPart.push_back(entry);
        }
        list = &mPart;
    }
    Shader* shader = nullptr;
    const RenderQueueEntry* previous = nullptr;
    for (RenderQueueEntry* entry : *list)
    {
        const bool first = previous == nullptr;
        const bool shaderChanged = first || (!only && entry->mShaderIndex != previous->mShaderIndex);
        if (shaderChanged)
        {
            if (shader)
                mShaders->End(*shader);
            shader = only ? only : Lookup(entry->mShaderIndex);
            if (shader)
            {
                ++mCounters.mShaderSwitches;
                mShaders->SetTechnique(*shader, technique);
                mShaders->ApplyMaterial(*shader, entry->mMaterial);
                ++mCounters.mMaterialApplies;
            }
        }
        else if (shader && MaterialChanged(*entry, *previous))
        {
            mShaders->ApplyMaterial(*shader, entry->mMaterial);
            ++mCounters.mMaterialApplies;
        }
        if (shader && entry->mRenderable && (shaderChanged || entry->mMeshSerial != previous->mMeshSerial))
        {
            entry->mRenderable->BindGeometry(*mDevice, 0, 0, false);
            ++mCounters.mGeometryBinds;
        }
        if (shaderChanged && shader)
            mShaders->Begin(*shader);
        previous = entry;
        if (!shader || !entry->mRenderable)
            continue;
        entry->mRenderable->Draw(*mDevice, frameTime, shader, entry);
        ++mCounters.mDraws;
    }
    if (shader)
        mShaders->End(*shader);
}

void RenderQueue::RenderShadows()
{
    if (mShadows.empty() || !mDevice || !mShaders)
        return;
    Sort(mShadows);
    GpuTexture* dot = mShaders->AcquireShadowTexture();
    Shader* shader = nullptr;
    const RenderQueueEntry* previous = nullptr;
    const RenderQueueEntry* bound = nullptr;
    for (RenderQueueEntry* entry : mShadows)
    {
        const bool first = previous == nullptr;
        if (first || entry->mShaderIndex != previous->mShaderIndex)
        {
            if (shader)
                mShaders->End(*shader);
            shader = Lookup(entry->mShaderIndex);
            if (shader)
            {
                mShaders->SetTechnique(*shader, 0);
                // Every shader the pass switches to gets the dot, not just the first.
                mShaders->SetShadowTexture(*shader, dot);
                mShaders->Begin(*shader);
            }
        }
        if (shader && entry->mRenderable && (!bound || entry->mMeshSerial != bound->mMeshSerial))
        {
            entry->mRenderable->BindGeometry(*mDevice, entry->mMeshSerial, entry->mSubKey, true);
            bound = entry;
        }
        previous = entry;
        if (shader && entry->mRenderable)
            entry->mRenderable->DrawShadow(*mDevice, shader, entry);
    }
    if (shader)
        mShaders->End(*shader);
    mShaders->ReleaseShadowTexture();
}
