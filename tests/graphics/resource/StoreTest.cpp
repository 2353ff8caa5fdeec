#include <gtest/gtest.h>

#include "LOOM/base/AssertHandler.h"
#include "graphics/resource/Material.h"
#include "tests/graphics/resource/ResourceFixture.h"
#include "tests/input/LogProbe.h"

namespace {

std::string AnimTexFile(const std::vector<std::string>& frames)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n<AnimTex>\n"
                       "<uint name=\"FrameDelay\">8</uint>\n<list name=\"Textures\" size=\"" +
        std::to_string(frames.size()) + "\" type=\"file\">\n";
    for (const std::string& frame : frames)
        text += "<file>" + frame + "</file>\n";
    return text + "</list>\n</AnimTex>\n</Stream>\n";
}

} // namespace

class AnimTexTest : public ResourceFixture
{
protected:
    GpuTexture* Plain(const std::string& name)
    {
        Texture* texture = mStore->Get(name);
        GpuTexture* gpu = texture->GetDeviceTexture();
        texture->Release();
        return gpu;
    }
};

TEST_F(AnimTexTest, ThreeFramesShowEightThenNineLookupsEach)
{
    const std::string file =
        WriteScratch("three.xml", AnimTexFile({"Textures/White.bmp", "Textures/Checker.png", "Textures/Checker.dds"}));
    const int failures = AssertFailureCount();
    {
        TextureRef ref;
        ref.SetFile(file);
        std::vector<GpuTexture*> frames = {Plain("Textures/White.bmp"), Plain("Textures/Checker.png"),
                                           Plain("Textures/Checker.dds")};
        std::vector<int> counts(3, 0);
        std::vector<GpuTexture*> seen;
        for (int i = 0; i < 26; ++i)
            seen.push_back(ref.GetTexture());
        int run = 0;
        for (int i = 0; i < 26; ++i)
            counts[size_t(std::find(frames.begin(), frames.end(), seen[size_t(i)]) - frames.begin())] += 1;
        EXPECT_EQ(counts, (std::vector<int>{8, 9, 9}));
        EXPECT_EQ(seen[7], frames[0]);
        EXPECT_EQ(seen[8], frames[1]);
        EXPECT_EQ(seen[17], frames[2]);
        EXPECT_EQ(ref.GetTexture(), frames[0]);
        (void)run;
        // Two holders, then both gone: each frame keeps the store's and the list's reference.
        TextureRef second;
        second.SetFile(file);
        EXPECT_EQ(mStore->Find("Textures/White.bmp")->GetRefCount(), 4u);
        second.Reset();
    }
    EXPECT_EQ(mStore->Find("Textures/White.bmp")->GetRefCount(), 2u);
    mStore->ReleaseAll();
    EXPECT_EQ(AssertFailureCount(), failures);
}

TEST_F(AnimTexTest, NestedListsAdvanceTogether)
{
    const std::string inner = WriteScratch("inner.xml", AnimTexFile({"Textures/Checker.png", "Textures/Checker.dds"}));
    const std::string outer = WriteScratch("outer.xml", AnimTexFile({inner, "Textures/White.bmp"}));
    TextureRef ref;
    ref.SetFile(outer);
    GpuTexture* png = Plain("Textures/Checker.png");
    GpuTexture* white = Plain("Textures/White.bmp");
    GpuTexture* dds = Plain("Textures/Checker.dds");
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(ref.GetTexture(), png) << i;
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(ref.GetTexture(), white) << i;
    // The inner list advanced on all of its 8 earlier lookups and now moves on.
    EXPECT_EQ(ref.GetTexture(), dds);
    const int failures = AssertFailureCount();
    ref.Reset();
    mStore->ReleaseAll();
    EXPECT_EQ(AssertFailureCount(), failures);
}

TEST_F(AnimTexTest, CyclesAreRefusedWithOneLineEach)
{
    const std::string self = (mScratch->Path() / "self.xml").string();
    WriteScratch("self.xml", AnimTexFile({self, "Textures/White.bmp"}));
    const std::string a = (mScratch->Path() / "a.xml").string();
    const std::string b = (mScratch->Path() / "b.xml").string();
    WriteScratch("a.xml", AnimTexFile({b}));
    WriteScratch("b.xml", AnimTexFile({a}));
    LogProbe log;
    TextureRef selfRef, aRef;
    selfRef.SetFile(self);
    aRef.SetFile(a);
    EXPECT_EQ(log.Count("leads back to itself"), 2);
    ASSERT_NE(selfRef.Get()->GetAnimTex(), nullptr);
    EXPECT_EQ(selfRef.Get()->GetAnimTex()->mFrames.size(), 1u);
    for (int i = 0; i < 30; ++i)
    {
        EXPECT_EQ(selfRef.GetTexture(), Plain("Textures/White.bmp"));
        EXPECT_EQ(aRef.GetTexture(), nullptr);
    }
    const int failures = AssertFailureCount();
    selfRef.Reset();
    aRef.Reset();
    mStore->ReleaseAll();
    EXPECT_EQ(AssertFailureCount(), failures);
}

TEST_F(ResourceFixture, StoreSharesByExactNameAndPurgesWhatNobodyHolds)
{
    Texture* one = mStore->Get("Textures/White.bmp");
    Texture* two = mStore->Get("Textures/White.bmp");
    EXPECT_EQ(one, two);
    EXPECT_EQ(one->GetRefCount(), 3u);
    Texture* other = mStore->Get("Textures\\White.bmp");
    EXPECT_NE(other, one);
    EXPECT_NE(other->GetDeviceTexture(), nullptr); // the case and slash fallback happens on open
    EXPECT_EQ(mStore->Count(), 2u);
    two->Release();
    other->Release();
    mStore->PurgeUnused();
    EXPECT_EQ(mStore->Count(), 1u);
    EXPECT_EQ(mStore->Find("Textures\\White.bmp"), nullptr);
    EXPECT_EQ(one->GetRefCount(), 2u);

    // Held at shutdown: one report naming it, then forgotten.
    LogProbe log;
    const int failures = AssertFailureCount();
    mStore->ReleaseAll();
    EXPECT_EQ(AssertFailureCount() - failures, 1);
    EXPECT_EQ(log.Count("Resource leak not all references released."), 1);
    EXPECT_EQ(mStore->Count(), 0u);
    EXPECT_EQ(one->Release(), 0u);
}

TEST_F(ResourceFixture, SerialsStayUniqueAcrossTheWrap)
{
    Texture* held = mStore->Get("Textures/White.bmp");
    EXPECT_EQ(held->GetSerial(), 1u);
    while (mStore->NextSerial() != 0xFFFF)
    {
    }
    Texture* next = mStore->Get("Textures/Checker.png");
    // 0 is skipped, and 1 is still stamped on the held texture.
    EXPECT_EQ(next->GetSerial(), 2u);
    EXPECT_EQ(next->GetManagerId(), mStore->GetManagerId());
    held->Release();
    next->Release();
}

TEST_F(ResourceFixture, EmptyTextureRefIsOneByOneAndAssignKeepsItsName)
{
    TextureRef empty;
    EXPECT_EQ(empty.GetWidth(), 1u);
    EXPECT_EQ(empty.GetHeight(), 1u);
    EXPECT_EQ(empty.GetTexture(), nullptr);
    empty.SetFile("");
    EXPECT_EQ(mStore->Count(), 0u);

    TextureRef a, b;
    a.SetFile("Textures/Checker.png");
    b.SetFile("Textures/White.bmp");
    b.Assign(a);
    EXPECT_EQ(b.GetFile(), "Textures/White.bmp");
    EXPECT_EQ(b.GetWidth(), 64u);
    b.Reload();
    EXPECT_EQ(b.GetWidth(), 8u);
    b.Bind(0, *mDevice);
    EXPECT_EQ(mDevice->Bound().mTextures[0], b.GetTexture());
    mDevice->SetTexture(0, nullptr);
}

TEST_F(ResourceFixture, MaterialReadsItsFieldsAndFetchesItsTextures)
{
    AssetManager<Material> materials;
    Material* checker = materials.Get("Materials/Checker.xml");
    EXPECT_EQ(checker->mDiffuse.GetWidth(), 64u);
    EXPECT_EQ(checker->mNormal.Get(), nullptr);
    EXPECT_FLOAT_EQ(checker->mAmbientColor.r, 0.5f);
    EXPECT_FLOAT_EQ(checker->mPower, 16.0f);
    EXPECT_FLOAT_EQ(checker->mParams.z, 3.0f);
    checker->Release();

    const std::string onlyDiffuse =
        WriteScratch("only.xml",
                     "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n<material>\n"
                     "<texture name=\"Diffuse\">Textures/White.bmp</texture>\n</material>\n</Stream>\n");
    Material* only = materials.Get(onlyDiffuse);
    EXPECT_EQ(only->mDiffuse.GetWidth(), 8u);
    EXPECT_EQ(only->mNormal.Get(), nullptr);
    EXPECT_EQ(only->mEffect.Get(), nullptr);
    EXPECT_FLOAT_EQ(only->mSpecularColor.g, 1.0f);
    EXPECT_FLOAT_EQ(only->mPower, 0.0f);
    // A second load fetches again by the names in the fields.
    only->mDiffuse.File() = "Textures/Checker.png";
    only->Load(onlyDiffuse);
    EXPECT_EQ(only->mDiffuse.GetWidth(), 8u);
    only->Release();

    LogProbe log;
    Material* missing = materials.Get("Materials/None.xml");
    EXPECT_EQ(log.Count("Error Opening XML File"), 1);
    EXPECT_EQ(missing->mDiffuse.Get(), nullptr);
    missing->Release();
    materials.ReleaseAll();
}
