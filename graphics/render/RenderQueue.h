#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class GpuTexture;
class GraphicsDevice;
class Material;
class Renderable;
class Shader;

// One draw filed by a model for this frame.
struct RenderQueueEntry
{
    uint16_t mMeshSerial = 0;
    uint16_t mShaderIndex = 0;
    uint16_t mSubKey = 0;
    uint16_t mMaterialSerial = 0;
    uint8_t mShaderFlag = 0;
    uint8_t mDetailFlag = 0;
    uint16_t mSpare = 0;
    Renderable* mRenderable = nullptr;
    Material* mMaterial = nullptr;
    // Filing order, so that equal keys keep it when sorted.
    uint32_t mSequence = 0;
};

// What the queue needs of the shader library; the loom gives it the real one, tests a recorder.
class QueueShaders
{
public:
    virtual ~QueueShaders() = default;
    // Null when the library has no shader at that index.
    virtual Shader* ShaderAt(uint16_t index) = 0;
    virtual Shader* DeferredShader() = 0;
    virtual void SetTechnique(Shader& shader, uint32_t technique) = 0;
    // True when the shader's technique blends what it draws over what is there.
    virtual bool Blends(Shader& shader, uint32_t technique)
    {
        (void)shader;
        (void)technique;
        return false;
    }
    // A null material applies white with no maps.
    virtual void ApplyMaterial(Shader& shader, Material* material) = 0;
    virtual void Begin(Shader& shader) = 0;
    virtual void End(Shader& shader) = 0;
    // The blob-shadow texture on stage 0 of the shader.
    virtual void SetShadowTexture(Shader& shader, GpuTexture* texture) = 0;
    // Held for one shadow pass, given back by ReleaseShadowTexture.
    virtual GpuTexture* AcquireShadowTexture() = 0;
    virtual void ReleaseShadowTexture() = 0;
};

// What one flush bound, for the statistics and the benchmark.
struct QueueCounters
{
    uint32_t mShaderSwitches = 0;
    uint32_t mMaterialApplies = 0;
    uint32_t mGeometryBinds = 0;
    uint32_t mDraws = 0;
};

// Models file draw entries here each frame; the loom sorts them so that draws sharing a
// shader, a mesh and a material follow each other, and binds each only when it changes.
class RenderQueue
{
public:
    static constexpr uint32_t kBlockSize = 1024;

    RenderQueue();
    ~RenderQueue();

    void Init(GraphicsDevice* device, QueueShaders* shaders);
    // Empties the lists for a new frame; their storage stays.
    void Reset();
    // Entries stay put for the frame; past each 1024 the pool grows by another block.
    RenderQueueEntry* NextEntry();
    void Add(RenderQueueEntry* entry) { mMain.push_back(entry); }
    void AddShadow(RenderQueueEntry* entry) { mShadows.push_back(entry); }

    // Which entries a flush draws: the opaque ones may go before the ground, so the ground they
    // hide fails the depth test unshaded; the blended ones must go over it.
    enum class Part : uint8_t
    {
        All,
        Opaque,
        Blended
    };
    void Flush(float frameTime, uint32_t technique, Part part = Part::All);
    // The same walk over the entries as filed, unsorted: what sorting is measured against.
    void FlushInFilingOrder(float frameTime, uint32_t technique);
    void RenderShadows();
    void RenderDeferredGeometry(float frameTime);

    const std::vector<RenderQueueEntry*>& GetMainList() const { return mMain; }
    const std::vector<RenderQueueEntry*>& GetShadowList() const { return mShadows; }
    const QueueCounters& GetCounters() const { return mCounters; }
    size_t GetPoolBlocks() const { return mBlocks.size(); }

    static bool Less(const RenderQueueEntry* a, const RenderQueueEntry* b);
    static void Sort(std::vector<RenderQueueEntry*>& list);

private:
    using Block = std::array<RenderQueueEntry, kBlockSize>;
    // Shader for the entry's index, logging a missing one once.
    Shader* Lookup(uint16_t index);
    void DrawList(float frameTime, uint32_t technique, Shader* only, bool sort, Part part = Part::All);

    GraphicsDevice* mDevice = nullptr;
    QueueShaders* mShaders = nullptr;
    std::vector<std::unique_ptr<Block>> mBlocks;
    uint32_t mNextFree = 0;
    std::vector<RenderQueueEntry*> mMain;
    std::vector<RenderQueueEntry*> mShadows;
    // The entries of one part of the main list, in its order.
    std::vector<RenderQueueEntry*> mPart;
    std::vector<bool> mMissingLogged;
    QueueCounters mCounters;
};
