#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/physics/PhysicsFixture.h"

using Regions = PhysicsFixture;

TEST_F(Regions, ContactsMatchBruteForceOverMovingObjects)
{
    Ground::ClearCurrent(&mGround);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> place(30.0f, 226.0f);
    std::uniform_real_distribution<float> speed(-15.0f, 15.0f);
    std::uniform_real_distribution<float> size(0.2f, 3.0f);
    std::vector<Cog*> movers;
    for (int i = 0; i < 200; ++i)
    {
        Cog* cog = i % 5 == 0 ? SpawnBox("Mover", Vector3(place(random), place(random) * 0.1f, place(random)),
                                         Vector3(size(random), size(random), size(random)))
                              : Spawn("Mover", Vector3(place(random), place(random) * 0.1f, place(random)),
                                      size(random), Vector3(speed(random), 0.0f, speed(random)));
        Phys(cog)->mUseGravity = false;
        movers.push_back(cog);
    }
    // Regions on still and on moving cogs, spheres and boxes; some overlap one another.
    MakeType("MovingRegion", {1, 50, 55});
    std::vector<Cog*> regions;
    for (int i = 0; i < 12; ++i)
    {
        Cog* cog = Spawn(i % 2 ? "Region" : "MovingRegion", Vector3(place(random), 10.0f, place(random)), 0.5f,
                         Vector3(speed(random), 0.0f, speed(random)));
        if (Phys(cog))
            Phys(cog)->mUseGravity = false;
        regions.push_back(cog);
    }
    for (size_t i = 0; i < regions.size(); ++i)
    {
        RegionComp* region = Region(regions[i]);
        if (i % 3 == 0)
        {
            region->mRegionType = 1;
            region->GetVolume().SetBoundingType(Spatial::kBoundingBox);
            region->GetLocalBox() = BoundingBox{Vector3(-12.0f, -10.0f, -8.0f), Vector3(9.0f, 10.0f, 14.0f)};
        }
        else
        {
            region->GetLocalSphere().radius = 6.0f + float(i);
        }
    }

    size_t seen = 0;
    for (int frame = 0; frame < 100; ++frame)
    {
        mLoom->Step(1.0f / 60.0f);
        for (Cog* regionCog : regions)
        {
            RegionComp* region = Region(regionCog);
            std::vector<uint32_t> expected;
            for (Cog* other : movers)
                if (region->GetVolume().Intersects(*Pos(other)))
                    expected.push_back(other->GetID());
            for (Cog* other : regions)
                if (other != regionCog && region->GetVolume().Intersects(*Pos(other)))
                    expected.push_back(other->GetID());
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(region->GetContacts(), expected) << "frame " << frame;
            seen += expected.size();
        }
    }
    EXPECT_GT(seen, 500u) << "the scene should give the regions plenty to see";
}

TEST_F(Regions, DestroyedCogLeavesTheContactsAtOnce)
{
    Cog* region = Spawn("Region", Vector3(100.0f, 10.0f, 100.0f), 0.0f);
    Region(region)->GetLocalSphere().radius = 5.0f;
    Cog* first = Spawn("Marker", Vector3(101.0f, 10.0f, 100.0f), 0.5f);
    Cog* second = Spawn("Marker", Vector3(99.0f, 10.0f, 100.0f), 0.5f);
    mLoom->Step(1.0f / 60.0f);
    EXPECT_EQ(Region(region)->GetContacts(), (std::vector<uint32_t>{first->GetID(), second->GetID()}));
    const uint32_t firstId = first->GetID();
    mCogs.Destroy(first);
    mCogs.ProcessDestroyList();
    EXPECT_EQ(Region(region)->GetContacts(), (std::vector<uint32_t>{second->GetID()}));
    EXPECT_FALSE(Region(region)->Contains(firstId));
    mLoom->Step(1.0f / 60.0f);
    EXPECT_EQ(Region(region)->GetContacts(), (std::vector<uint32_t>{second->GetID()}));
}

TEST_F(Regions, ShapeComesFromTheFieldsAndTheVolumeFollowsTheCog)
{
    Cog* region = Spawn("Region", Vector3(50.0f, 10.0f, 50.0f), 0.0f);
    RegionComp* comp = Region(region);
    EXPECT_EQ(comp->GetVolume().GetBoundingType(), 0u);
    EXPECT_EQ(comp->GetVolume().GetRadius(), 1.0f);
    EXPECT_EQ(comp->GetVolume().GetOwner(), nullptr) << "no query may take the volume for a cog";
    Cog* marker = Spawn("Marker", Vector3(70.0f, 10.0f, 50.0f), 0.5f);
    mLoom->Step(1.0f / 60.0f);
    EXPECT_TRUE(comp->GetContacts().empty());
    Pos(region)->SetPosition(Vector3(69.0f, 10.0f, 50.0f));
    mLoom->Step(1.0f / 60.0f);
    EXPECT_EQ(comp->GetVolume().GetPosition(), Vector3(69.0f, 10.0f, 50.0f));
    EXPECT_TRUE(comp->Contains(marker->GetID()));
}
