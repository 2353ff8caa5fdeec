#include <gtest/gtest.h>

#include "LOOM/factory/FileComposition.h"
#include "physics/PhysicsExplosion.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/physics/PhysicsFixture.h"

namespace {
const char* kComposition = R"(<?xml version="1.0" encoding="UTF-8"?>
<Stream version="2.0">
	<FileComposition>
		<string name="CogName">Crate</string>
		<string name="GroupName">Crates</string>
		<list name="Components" size="5" type="CompID">
			<CompID>1</CompID>
			<CompID>50</CompID>
			<CompID>51</CompID>
			<CompID>55</CompID>
			<CompID>56</CompID>
		</list>
		<list name="Functions" size="0" type="Funcmapping">
		</list>
		<list name="UpdateList" size="0" type="func">
		</list>
		<list name="Archetypes" size="1" type="Archetype">
			<Archetype>
				<string name="Name">HeavyCrate</string>
				<file name="File">heavy_crate.xml</file>
			</Archetype>
		</list>
	</FileComposition>
</Stream>)";
} // namespace

using PhysicsFiles = PhysicsFixture;

TEST_F(PhysicsFiles, ComponentFieldsTravelThroughArchetypeFiles)
{
    TempDir dir;
    dir.Write("crate.xml", kComposition);
    ScopedCwd cwd(dir.Path());
    mCogs.Files().LoadCogFile("crate.xml");

    Cog* original = mCogs.Create("Crate");
    ASSERT_NE(original, nullptr);
    // The defaults every new body starts with.
    EXPECT_EQ(Phys(original)->GetMass(), 1.0f);
    EXPECT_TRUE(Phys(original)->mUseGravity);
    EXPECT_FALSE(Phys(original)->mDisableRotation);
    EXPECT_FALSE(Phys(original)->mUseDrag);
    EXPECT_TRUE(Coll(original)->IsActive());
    EXPECT_EQ(Region(original)->mRegionType, 0);

    Phys(original)->SetMass(2.5f);
    Phys(original)->mUseGravity = false;
    Phys(original)->mDisableRotation = true;
    Phys(original)->mUseDrag = true;
    Phys(original)->mDragCoefficient = 250.0f;
    Coll(original)->SetActive(false);
    auto* explosion = original->Get<PhysicsExplosion>();
    explosion->mStrength = 75.0f;
    explosion->mRadius = 12.0f;
    ASSERT_TRUE(SaveArchetypeXml(*original, "heavy_crate.xml"));
    // A box region: the fields are edited in the file, as a designer would.
    std::string text = TempDir::Read(dir.Path("heavy_crate.xml"));
    for (const char* field :
         {"<real name=\"Mass\">2.5</real>", "<bool name=\"UseGravity\">false</bool>",
          "<bool name=\"DisableRotation\">true</bool>", "<bool name=\"UseDrag\">true</bool>",
          "<real name=\"DragCoefficient\">250</real>", "<bool name=\"Active\">false</bool>",
          "<int name=\"RegionType\">0</int>", "<real name=\"Radius\">1</real>", "<vector name=\"BoxMin\">",
          "<vector name=\"BoxMax\">", "<real name=\"Strength\">75</real>", "<real name=\"Radius\">12</real>"})
        EXPECT_NE(text.find(field), std::string::npos) << field;
    text.replace(text.find("<int name=\"RegionType\">0</int>"), 30, "<int name=\"RegionType\">1</int>");
    dir.Write("heavy_crate.xml", text);

    // Once from the XML, once from its binary cache.
    for (int pass = 0; pass < 2; ++pass)
    {
        SCOPED_TRACE(pass);
        Cog* cog = mCogs.Create("HeavyCrate");
        ASSERT_NE(cog, nullptr);
        EXPECT_EQ(Phys(cog)->GetMass(), 2.5f);
        EXPECT_FALSE(Phys(cog)->mUseGravity);
        EXPECT_TRUE(Phys(cog)->mDisableRotation);
        EXPECT_TRUE(Phys(cog)->mUseDrag);
        EXPECT_EQ(Phys(cog)->mDragCoefficient, 250.0f);
        EXPECT_FALSE(Coll(cog)->IsActive());
        EXPECT_EQ(Region(cog)->GetVolume().GetBoundingType(), Spatial::kBoundingBox);
        EXPECT_EQ(Region(cog)->GetLocalBox().max, Vector3(1.0f, 1.0f, 1.0f));
        EXPECT_EQ(cog->Get<PhysicsExplosion>()->mRadius, 12.0f);
    }
}
