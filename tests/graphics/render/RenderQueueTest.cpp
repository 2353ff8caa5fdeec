#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "graphics/device/GraphicsDevice.h"
#include "tests/graphics/render/RecordingShaders.h"
#include "tests/input/LogProbe.h"

namespace {

class RenderQueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mDevice = GraphicsDevice::CreateNull(DeviceDesc());
        mQueue.Init(mDevice.get(), &mShaders);
    }

    RenderQueueEntry* File(uint16_t shader, uint16_t mesh, uint16_t materialSerial, RecordingRenderable& owner,
                           Material* material = nullptr, bool shadow = false)
    {
        RenderQueueEntry* e = mQueue.NextEntry();
        e->mShaderIndex = shader;
        e->mMeshSerial = mesh;
        e->mMaterialSerial = materialSerial;
        e->mMaterial = material;
        e->mRenderable = &owner;
        if (shadow)
            mQueue.AddShadow(e);
        else
            mQueue.Add(e);
        return e;
    }

    static Material* Mat(uintptr_t n) { return reinterpret_cast<Material*>(n); }

    std::unique_ptr<GraphicsDevice> mDevice;
    RecordingShaders mShaders{8};
    RenderQueue mQueue;
};

} // namespace

TEST_F(RenderQueueTest, EmptyListsBeginNothing)
{
    mQueue.Flush(0.0f, 0);
    mQueue.RenderShadows();
    mQueue.RenderDeferredGeometry(0.0f);
    EXPECT_TRUE(mShaders.mLog.empty());
}

TEST_F(RenderQueueTest, SharedShaderMeshAndMaterialBindOnceDrawTwice)
{
    RecordingRenderable a, b;
    File(2, 7, 3, a, Mat(0x30));
    File(2, 7, 3, b, Mat(0x30));
    mQueue.Flush(0.5f, 1);
    const std::vector<std::string> expected = {"tech 2 1", "mat 2 48", "begin 2", "end 2"};
    EXPECT_EQ(mShaders.mLog, expected);
    EXPECT_EQ(a.mBinds + b.mBinds, 1);
    EXPECT_EQ(a.mDraws, 1);
    EXPECT_EQ(b.mDraws, 1);
}

TEST_F(RenderQueueTest, SortsByShaderMeshMaterialAndKeepsFilingOrder)
{
    RecordingRenderable r;
    RenderQueueEntry* e0 = File(3, 1, 1, r);
    RenderQueueEntry* e1 = File(1, 9, 1, r);
    RenderQueueEntry* e2 = File(1, 2, 5, r);
    RenderQueueEntry* e3 = File(1, 2, 4, r);
    RenderQueueEntry* e4 = File(1, 2, 4, r);
    e4->mShaderFlag = 1;
    RenderQueueEntry* e5 = File(1, 2, 4, r);
    e5->mDetailFlag = 1;
    RenderQueueEntry* e6 = File(1, 2, 4, r);
    mQueue.Flush(0.0f, 0);
    const std::vector<RenderQueueEntry*> expected = {e3, e6, e4, e5, e2, e1, e0};
    EXPECT_EQ(r.mDrawn, expected);
    // Shader 1 binds mesh 2 then 9 with materials 4, 5, 1; shader 3 binds mesh 1 with material 1.
    EXPECT_EQ(mQueue.GetCounters().mShaderSwitches, 2u);
    EXPECT_EQ(mQueue.GetCounters().mGeometryBinds, 3u);
    EXPECT_EQ(mQueue.GetCounters().mMaterialApplies, 4u);
    // The opaque part before the ground, the blended one after it: each entry once, in the same
    // order, and the counters of the two add up to the whole flush's.
    mShaders.mBlending = {3};
    r.mDrawn.clear();
    mQueue.Flush(0.0f, 0, RenderQueue::Part::Opaque);
    EXPECT_EQ(r.mDrawn, std::vector<RenderQueueEntry*>(expected.begin(), expected.end() - 1));
    mQueue.Flush(0.0f, 0, RenderQueue::Part::Blended);
    EXPECT_EQ(r.mDrawn, expected);
    EXPECT_EQ(mQueue.GetCounters().mShaderSwitches, 2u);
    EXPECT_EQ(mQueue.GetCounters().mGeometryBinds, 3u);
    EXPECT_EQ(mQueue.GetCounters().mMaterialApplies, 4u);
}

TEST_F(RenderQueueTest, MaterialsCompareByPointerTooAndNullIsWhite)
{
    RecordingRenderable r;
    File(0, 1, 6, r, Mat(0x10));
    File(0, 1, 6, r, Mat(0x20));
    File(0, 1, 6, r, Mat(0x20));
    File(1, 1, 0, r, nullptr);
    mQueue.Flush(0.0f, 0);
    EXPECT_EQ(mShaders.Count("mat 0"), 2);
    EXPECT_EQ(mShaders.Count("mat 1 white"), 1);
    EXPECT_EQ(r.mDraws, 4);
}

TEST_F(RenderQueueTest, ThousandsOfEntriesEachDrawnOnceAndStayPut)
{
    std::vector<RecordingRenderable> owners(1500);
    std::set<RenderQueueEntry*> seen;
    for (int i = 0; i < 1500; ++i)
        seen.insert(File(uint16_t(i % 3), uint16_t(i % 11), uint16_t(i % 5), owners[i]));
    EXPECT_EQ(seen.size(), 1500u);
    EXPECT_EQ(mQueue.GetPoolBlocks(), 2u);
    mQueue.Flush(0.0f, 0);
    for (const RecordingRenderable& r : owners)
        EXPECT_EQ(r.mDraws, 1);

    // The next frame reuses the pool and the lists.
    mQueue.Reset();
    EXPECT_TRUE(mQueue.GetMainList().empty());
    EXPECT_GE(mQueue.GetMainList().capacity(), 1500u);
    File(0, 0, 0, owners[0]);
    EXPECT_EQ(mQueue.GetPoolBlocks(), 2u);
}

TEST_F(RenderQueueTest, MissingShaderIsSkippedAndLoggedOnce)
{
    mShaders.mMissing = 4;
    RecordingRenderable a, b;
    File(4, 1, 1, a);
    File(5, 1, 1, b);
    LogProbe log;
    mQueue.Flush(0.0f, 0);
    mQueue.Reset();
    File(4, 1, 1, a);
    mQueue.Flush(0.0f, 0);
    EXPECT_EQ(log.Count("no shader at index 4"), 1);
    EXPECT_EQ(a.mDraws, 0);
    EXPECT_EQ(b.mDraws, 1);
    EXPECT_EQ(mShaders.Count("begin"), mShaders.Count("end"));
}

TEST_F(RenderQueueTest, ShadowPassSetsTheDotOnEveryShader)
{
    RecordingRenderable a, b, c;
    File(1, 3, 0, a, nullptr, true);
    File(1, 3, 0, b, nullptr, true);
    File(2, 3, 0, c, nullptr, true);
    File(2, 8, 0, c, nullptr, true);
    mQueue.RenderShadows();
    EXPECT_EQ(mShaders.Count("dot"), 2);
    EXPECT_EQ(mShaders.Count("tech 1 0"), 1);
    EXPECT_EQ(mShaders.Count("tech 2 0"), 1);
    EXPECT_EQ(a.mShadowDraws + b.mShadowDraws + c.mShadowDraws, 4);
    // Geometry binds when the mesh changes only, with the shadow arguments.
    EXPECT_EQ(a.mBinds + b.mBinds + c.mBinds, 2);
    EXPECT_EQ(c.mLastBind, (std::vector<uint16_t>{8, 0, 1}));
    EXPECT_EQ(mShaders.mDotHeld, 0);
}

TEST_F(RenderQueueTest, DeferredGeometryUsesOneShader)
{
    RecordingRenderable r;
    File(1, 1, 1, r, Mat(0x1));
    File(2, 1, 2, r, Mat(0x2));
    File(3, 2, 2, r, Mat(0x2));
    mQueue.RenderDeferredGeometry(0.25f);
    EXPECT_EQ(mShaders.Count("begin D"), 1);
    EXPECT_EQ(mShaders.Count("end D"), 1);
    EXPECT_EQ(mShaders.Count("mat D"), 2);
    EXPECT_EQ(r.mBinds, 2);
    EXPECT_EQ(r.mDraws, 3);
}
