#include <gtest/gtest.h>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/serial/BinaryLoader.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/space/QTree.h"
#include "tests/LOOM/support/CogTestSupport.h"

namespace {
class PositionalTest : public CogFixture
{
protected:
    void SetUp() override
    {
        CogFixture::SetUp();
        ASSERT_EQ(QTree::Instance(), &mTree);
        ASSERT_TRUE(mTree.Allocate(4));
        ASSERT_TRUE(mTree.BuildTree(256.0f));
        RegisterPositional(mCogs);
        MakeType("Crate", {1, kHealthId});
    }

    Positional& Place(Cog& cog) { return *cog.Get<Positional>(); }
    // A crate of the given radius, placed to find what overlaps it.
    Positional& Probe(float radius, const Vector3& at)
    {
        Positional& probe = Place(*mCogs.Create("Crate"));
        probe.GetLocalSphere().radius = radius;
        probe.SetPosition(at);
        return probe;
    }

    QTree mTree;
};
} // namespace

TEST_F(PositionalTest, MessagesMoveTurnAndReport)
{
    Cog* cog = mCogs.Create("Crate");
    ASSERT_NE(cog, nullptr);
    Positional& place = Place(*cog);
    EXPECT_EQ(cog->GetComponent(kHealthId)->GetOwnerPositional(), &place);

    ParamBuffer params;
    params.PushVector(Vector3(10.0f, 2.0f, 30.0f));
    cog->CallFunction("SetPosition", params);
    EXPECT_EQ(place.GetPosition(), Vector3(10.0f, 2.0f, 30.0f));
    EXPECT_TRUE(place.IsInTree());

    ParamBuffer get;
    cog->CallFunction("GetPosition", get);
    get.Rewind();
    EXPECT_EQ(ParamTraits<Vector3>::Pop(get), Vector3(10.0f, 2.0f, 30.0f));

    ParamBuffer direction;
    direction.PushVector(Vector3(1.0f, 0.0f, 0.0f));
    cog->CallFunction("SetDirection", direction);
    const Vector3 forward = place.GetDirection();
    EXPECT_NEAR(forward.x, 1.0f, 1e-5f);
    EXPECT_NEAR(forward.y, 0.0f, 1e-5f);
    EXPECT_NEAR(forward.z, 0.0f, 1e-5f);

    cog->CallFunctionByName("ResetPosition");
    EXPECT_EQ(place.GetPosition(), Vector3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(place.GetOrientation().w, 1.0f);
}

TEST_F(PositionalTest, OrientationAndVelocityNeverRefile)
{
    Cog* cog = mCogs.Create("Crate");
    Positional& place = Place(*cog);
    place.SetPosition(Vector3(100.0f, 0.0f, 100.0f));
    const uint32_t level = place.GetLevel();
    const uint32_t cellX = place.GetCellX();
    const int32_t index = place.GetListIndex();
    place.SetOrientation(Quat::FromDirection(Vector3(0.0f, 0.0f, 1.0f)));
    place.SetVelocity(Vector3(5.0f, 0.0f, 0.0f));
    EXPECT_EQ(place.GetLevel(), level);
    EXPECT_EQ(place.GetCellX(), cellX);
    EXPECT_EQ(place.GetListIndex(), index);
}

TEST_F(PositionalTest, CreateAtFilesTheNewCogAtItsPlace)
{
    Positional& probe = Probe(2.0f, Vector3(200.0f, 0.0f, 180.0f));

    Cog* cog = CreateAt(mCogs, "Crate", Vector3(201.0f, 0.0f, 180.0f));
    ASSERT_NE(cog, nullptr);
    EXPECT_EQ(Place(*cog).GetPosition(), Vector3(201.0f, 0.0f, 180.0f));
    EXPECT_EQ(Trace().back(), "init Health") << "components are attached";

    std::vector<Spatial*> found;
    mTree.QueryOverlaps(&probe, found);
    EXPECT_NE(std::find(found.begin(), found.end(), static_cast<Spatial*>(&Place(*cog))), found.end());
}

TEST_F(PositionalTest, DestroyedCogLeavesTheTree)
{
    Positional& probe = Probe(5.0f, Vector3(50.0f, 0.0f, 50.0f));
    Cog* other = CreateAt(mCogs, "Crate", Vector3(51.0f, 0.0f, 50.0f));
    mCogs.Destroy(other);
    mCogs.ProcessDestroyList();
    std::vector<Spatial*> found;
    mTree.QueryOverlaps(&probe, found);
    EXPECT_EQ(found, std::vector<Spatial*>{&probe}) << "only the probe itself is left";
}

TEST_F(PositionalTest, StoredFormRoundTripsThroughBinary)
{
    Cog* cog = mCogs.Create("Crate");
    Positional& place = Place(*cog);
    place.SetPosition(Vector3(1.5f, -2.0f, 3.25f));
    place.SetVelocity(Vector3(0.0f, 9.0f, 0.0f));
    place.SetOrientation(Quat::FromDirection(Vector3(0.0f, 0.0f, 1.0f)));
    place.SetBoundingType(1);
    place.SetVisible(false);

    BinarySaver saver;
    saver.OpenMemory();
    place.Serialize(saver);
    saver.Close();

    Positional copy;
    BinaryLoader loader;
    ASSERT_TRUE(loader.OpenFromBuffer(saver.Bytes()));
    copy.Serialize(loader);
    EXPECT_EQ(copy.GetPosition(), place.GetPosition());
    EXPECT_EQ(copy.GetVelocity(), place.GetVelocity());
    EXPECT_FLOAT_EQ(copy.GetOrientation().w, place.GetOrientation().w);
    EXPECT_FLOAT_EQ(copy.GetOrientation().y, place.GetOrientation().y);
    EXPECT_EQ(copy.GetBoundingType(), 1u);
    EXPECT_FALSE(copy.IsVisible());
}

TEST_F(PositionalTest, CogLoadedFarFromTheOriginIsFiledWhereItStands)
{
    Positional& probe = Probe(2.0f, Vector3(200.0f, 0.0f, 180.0f));

    Cog* source = mCogs.Create("Crate");
    Place(*source).SetPosition(Vector3(201.0f, 0.0f, 180.0f));
    BinarySaver saver;
    saver.OpenMemory();
    source->Serialize(saver);
    saver.Close();
    mCogs.Destroy(source);
    mCogs.ProcessDestroyList();

    Cog* loaded = mCogs.Allocate("Crate");
    ASSERT_NE(loaded, nullptr);
    BinaryLoader loader;
    ASSERT_TRUE(loader.OpenFromBuffer(saver.Bytes()));
    loaded->Serialize(loader);
    EXPECT_EQ(Place(*loaded).GetPosition(), Vector3(201.0f, 0.0f, 180.0f));

    std::vector<Spatial*> found;
    mTree.QueryOverlaps(&probe, found);
    EXPECT_NE(std::find(found.begin(), found.end(), static_cast<Spatial*>(&Place(*loaded))), found.end());
}

TEST_F(PositionalTest, CreateAtOfAnUnknownNameLogsAndGivesNull)
{
    const uint32_t before = LogMark();
    EXPECT_EQ(CreateAt(mCogs, "NoSuchThing", Vector3(1.0f, 2.0f, 3.0f)), nullptr);
    EXPECT_EQ(CountLogSince(before, "Failed to Create: NoSuchThing"), 1);
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
}
