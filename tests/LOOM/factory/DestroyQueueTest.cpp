#include "tests/LOOM/support/CogTestSupport.h"

namespace {
class DestroyQueue : public CogFixture
{
protected:
    void SetUp() override
    {
        CogFixture::SetUp();
        MakeType("Marked", {kMarkerId}, "Marks");
        MakeType("Ticking", {kHealthId}, "Ticks");
    }

    Cog* Marked(const std::string& tag)
    {
        Cog* cog = mCogs.Create("Marked");
        static_cast<MarkerComp*>(cog->GetComponent(kMarkerId))->mTag = tag;
        return cog;
    }

    int Count(const std::string& line) { return static_cast<int>(std::count(Trace().begin(), Trace().end(), line)); }
};

TEST_F(DestroyQueue, CogQueuedTwiceDiesOnce)
{
    Cog* cog = Marked("a");
    const uint32_t id = cog->GetID();
    cog->Destroy();
    mCogs.DestroyById(id);
    mCogs.DestroyGroup("Marks");
    EXPECT_NE(mCogs.GetCog(id), nullptr);
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetCog(id), nullptr);
    EXPECT_EQ(Count("destroy Marker a"), 1);
    mCogs.ProcessDestroyList();
    EXPECT_EQ(Count("destroy Marker a"), 1);
}

TEST_F(DestroyQueue, CogsDieInQueueOrder)
{
    Cog* a = Marked("a");
    Cog* b = Marked("b");
    Cog* c = Marked("c");
    c->Destroy();
    a->Destroy();
    b->Destroy();
    a->Destroy();
    Trace().clear();
    mCogs.ProcessDestroyList();
    EXPECT_EQ(Trace(), (std::vector<std::string>{"destroy Marker c", "destroy Marker a", "destroy Marker b"}));
}

TEST_F(DestroyQueue, DestructorThatQueuesMoreCogsIsHandledInTheSamePass)
{
    Cog* a = Marked("a");
    Cog* b = Marked("b");
    Cog* c = Marked("c");
    const uint32_t bId = b->GetID();
    const uint32_t cId = c->GetID();
    // Each dying marker takes the next one with it; a queues b, b queues c, c queues a (gone).
    MarkerComp::OnDestroy() = [&](MarkerComp& marker) {
        const std::string next = marker.mTag == "a" ? "b" : marker.mTag == "b" ? "c" : "a";
        for (Cog* cog : mCogs.GetGroupCogs("Marks"))
        {
            if (static_cast<MarkerComp*>(cog->GetComponent(kMarkerId))->mTag == next)
                cog->Destroy();
        }
    };
    a->Destroy();
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetCog(bId), nullptr);
    EXPECT_EQ(mCogs.GetCog(cId), nullptr);
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
    EXPECT_EQ(Count("destroy Marker a"), 1);
    EXPECT_EQ(Count("destroy Marker b"), 1);
    EXPECT_EQ(Count("destroy Marker c"), 1);
}

TEST_F(DestroyQueue, DestructorThatLooksOtherCogsUpFindsOnlyLivingOnes)
{
    Cog* a = Marked("a");
    Cog* b = Marked("b");
    const uint32_t aId = a->GetID();
    const uint32_t bId = b->GetID();
    std::vector<std::string> seen;
    MarkerComp::OnDestroy() = [&](MarkerComp& marker) {
        const uint32_t other = marker.mTag == "a" ? bId : aId;
        Cog* cog = mCogs.GetCog(other);
        seen.push_back(marker.mTag + (cog ? " sees " + cog->GetComponent(kMarkerId)->GetTypeName() : " sees none"));
        // Looking itself up finds nothing either: it left the table first.
        Cog* self = mCogs.GetCog(marker.mTag == "a" ? aId : bId);
        EXPECT_EQ(self, nullptr);
    };
    a->Destroy();
    b->Destroy();
    mCogs.ProcessDestroyList();
    EXPECT_EQ(seen, (std::vector<std::string>{"a sees Marker", "b sees none"}));
}

TEST_F(DestroyQueue, DestructorQueuingItsOwnCogAgainIsIgnored)
{
    Cog* a = Marked("a");
    MarkerComp::OnDestroy() = [&](MarkerComp& marker) { marker.GetOwner()->Destroy(); };
    a->Destroy();
    mCogs.ProcessDestroyList();
    EXPECT_EQ(Count("destroy Marker a"), 1);
    EXPECT_FALSE(mCogs.IsQueued(a));
}

TEST_F(DestroyQueue, DestroyAllDeletesEveryCogAndIdsRestartAtOne)
{
    Marked("a");
    Cog* b = Marked("b");
    Marked("c");
    b->Destroy();
    std::vector<uint32_t> alive;
    // Every destructor sees only cogs that are still whole.
    MarkerComp::OnDestroy() = [&](MarkerComp&) {
        for (uint32_t id = 1; id <= 3; ++id)
        {
            if (Cog* cog = mCogs.GetCog(id))
                alive.push_back(cog->GetComponent(kMarkerId)->GetOwner()->GetID());
        }
    };
    mCogs.DestroyAll();
    EXPECT_EQ(alive, (std::vector<uint32_t>{2, 3, 3}));
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
    MarkerComp::OnDestroy() = nullptr;
    EXPECT_EQ(mCogs.Create("Marked")->GetID(), 1u);
    EXPECT_EQ(mCogs.GetGroupCogs("Marks").size(), 1u);
}

TEST_F(DestroyQueue, DestructorQueuingOthersDuringDestroyAllIsSafe)
{
    Marked("a");
    Marked("b");
    MarkerComp::OnDestroy() = [&](MarkerComp&) {
        for (Cog* cog : mCogs.GetGroupCogs("Marks"))
            cog->Destroy();
    };
    mCogs.DestroyAll();
    MarkerComp::OnDestroy() = nullptr;
    mCogs.ProcessDestroyList();
    EXPECT_EQ(Count("destroy Marker a"), 1);
    EXPECT_EQ(Count("destroy Marker b"), 1);
}

TEST_F(DestroyQueue, DestroyGroupQueuesTheLivingAndEmptiesTheGroup)
{
    Cog* a = Marked("a");
    Marked("b");
    Marked("c");
    Cog* other = mCogs.Create("Ticking");
    a->Destroy();
    mCogs.ProcessDestroyList();
    mCogs.DestroyGroup("Marks");
    EXPECT_TRUE(mCogs.GetGroupCogs("Marks").empty());
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetCogCount(), 1u);
    EXPECT_EQ(mCogs.GetCog(other->GetID()), other);
    EXPECT_EQ(Count("destroy Marker b"), 1);
}

TEST_F(DestroyQueue, GroupQueryDropsDeadIds)
{
    Cog* a = Marked("a");
    Cog* b = Marked("b");
    a->Destroy();
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetGroupCogs("Marks"), (std::vector<Cog*>{b}));
    EXPECT_TRUE(mCogs.GetGroupCogs("NeverUsed").empty());
}

TEST_F(DestroyQueue, DestroyedActiveCogIsReplacedByTheLast)
{
    Cog* a = mCogs.Create("Ticking");
    Cog* b = mCogs.Create("Ticking");
    Cog* c = mCogs.Create("Ticking");
    Cog* d = mCogs.Create("Ticking");
    b->Destroy();
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetActiveCogs(), (std::vector<Cog*>{a, d, c}));
}

TEST_F(DestroyQueue, QueuedCogIsStillUpdatedUntilTheEndOfTheFrame)
{
    Cog* a = mCogs.Create("Ticking");
    a->Destroy();
    mCogs.UpdateAll();
    EXPECT_EQ(static_cast<HealthComp*>(a->GetComponent(kHealthId))->mTicks, 1);
    mCogs.ProcessDestroyList();
    EXPECT_TRUE(mCogs.GetActiveCogs().empty());
}

struct RecordingEditor : EditorListener
{
    void CogDestroyed(Cog& cog) override { mIds.push_back(cog.GetID()); }
    std::vector<uint32_t> mIds;
};

TEST_F(DestroyQueue, EditorHearsOfQueuedDestructionOnly)
{
    RecordingEditor editor;
    mCogs.SetEditorListener(&editor);
    Cog* a = Marked("a");
    Marked("b");
    a->Destroy();
    mCogs.ProcessDestroyList();
    mCogs.DestroyAll();
    mCogs.SetEditorListener(nullptr);
    EXPECT_EQ(editor.mIds, (std::vector<uint32_t>{1}));
}
} // namespace
