#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "graphics/model/files/LMLoader.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/ContentModels.h"

namespace {

std::set<std::string> LoadedClipNames(const std::string& file)
{
    Held<AnimationSet> set(new AnimationSet());
    std::set<std::string> names;
    const bool read = LMLoader::LoadAnimations(*set, RepoDataPath(file));
    if (!read)
        return names;
    for (const std::unique_ptr<Animation>& animation : set->Animations)
        names.insert(animation->mName);
    return names;
}

std::string FirstClipName(const std::string& file)
{
    Held<AnimationSet> set(new AnimationSet());
    const bool read = LMLoader::LoadAnimations(*set, RepoDataPath(file));
    return read && !set->Animations.empty() ? set->Animations.front()->mName : std::string();
}

struct ContentRow
{
    const char* file;
    bool skinned;
    bool hierarchy;
    uint32_t parts;
    std::vector<std::string> clips;
};

} // namespace

// Every content model is read back by the engine's own reader, with the parts, skinning and
// clips that the game's components play by name.
TEST(ContentModels, CommittedFilesLoadWithTheClipsTheGamePlays)
{
    const std::vector<std::string> body = {"Stand",   "Walk",     "Idle",     "Attack",
                                           "Special", "Special1", "Special2", "Struggle"};
    const std::vector<std::string> trap = {"Idle", "Activate", "Deactivate", "Inactive"};
    const std::vector<ContentRow> rows = {
        {"Models/Tower.lmf", false, true, 20, {"Idle", "Break1", "Break2", "Break3", "Break4", "Break5"}},
        {"Models/Cursor.lmf", true, false, 1, {"Idle", "Idle2", "Grab", "Hold", "Release", "Stun"}},
        {"Models/Invaders/Grunt.lmf", true, false, 1, body},
        {"Models/Invaders/Bomber.lmf", true, false, 1, body},
        {"Models/Invaders/Stacker.lmf", true, false, 1, body},
        {"Models/Invaders/Squad.lmf", true, false, 1, body},
        {"Models/Invaders/Kamikaze.lmf", true, false, 1, body},
        {"Models/Invaders/Jumper.lmf", true, false, 1, body},
        {"Models/Invaders/AntiGrabber.lmf", true, false, 1, body},
        {"Models/Invaders/Ninja.lmf", true, false, 1, body},
        {"Models/Invaders/Spiker.lmf", true, false, 1, body},
        {"Models/Invaders/Psychic.lmf", true, false, 1, body},
        {"Models/Invaders/Driller.lmf", true, false, 1, body},
        {"Models/Invaders/Plain.lmf", true, false, 1, body},
        {"Models/Traps/Spikes.lmf", false, true, 2, trap},
        {"Models/Traps/Hammer.lmf", false, true, 4, trap},
        {"Models/Traps/Spring.lmf", false, true, 3, trap},
        {"Models/Traps/Fan.lmf", false, true, 4, trap},
        {"Models/Traps/Poison.lmf", false, true, 4, trap},
        {"Models/Traps/Axe.lmf", false, true, 3, trap},
        {"Models/Traps/Pit.lmf", false, true, 3, trap},
        {"Models/Traps/Satellite.lmf", false, true, 3, trap},
        {"Models/Traps/SatelliteAim.lmf", false, true, 2, {"Idle", "Arrive", "Fire"}},
        {"Models/Traps/Missile.lmf", false, true, 4, trap},
        {"Models/Traps/Zapper.lmf", false, true, 3, trap},
        {"Models/Traps/LaserTurret.lmf", false, true, 10, trap},
        {"Models/Traps/LightBulb.lmf", false, true, 3, trap},
        {"Models/Traps/Flame.lmf", false, true, 8, trap},
        {"Models/Traps/Vortex.lmf", false, true, 2, trap},
        {"Models/Traps/Mist.lmf", false, true, 4, trap},
        {"Models/Wall.lmf", false, false, 1, {}},
        {"Models/SuperWall.lmf", false, false, 1, {}},
        {"Models/Spawner.lmf", false, false, 2, {}},
        {"Models/Bomb.lmf", false, false, 2, {}},
        {"Models/Parachute.lmf", false, false, 2, {}},
        {"Models/Missile.lmf", false, false, 2, {}},
        {"Models/Doodads/Tree.lmf", false, false, 2, {}},
        {"Models/Doodads/Rock.lmf", false, false, 1, {}},
    };
    for (const ContentRow& row : rows)
    {
        SCOPED_TRACE(row.file);
        Held<Mesh> mesh(new Mesh());
        ASSERT_TRUE(LMLoader::LoadMesh(*mesh, RepoDataPath(row.file)));
        EXPECT_EQ(mesh->mSkinned, row.skinned);
        EXPECT_EQ(mesh->mPartHierarchy, row.hierarchy);
        EXPECT_EQ(mesh->GetPartCount(), row.parts);
        EXPECT_GT(mesh->GetGeometry().faceCount, 10u);
        EXPECT_GT(mesh->mRadius, 0.5f);
        const std::set<std::string> clips = LoadedClipNames(row.file);
        EXPECT_EQ(clips, std::set<std::string>(row.clips.begin(), row.clips.end()));
        // A trap recharges while "Inactive" plays and restarts clip 0 when ready again.
        if (row.clips == trap)
        {
            EXPECT_EQ(FirstClipName(row.file), "Inactive");
        }
        if (row.skinned)
        {
            Held<Skeleton> skeleton(new Skeleton());
            ASSERT_TRUE(LMLoader::LoadSkeleton(*skeleton, RepoDataPath(row.file)));
            EXPECT_GE(skeleton->GetBoneCount(), 7u);
        }
    }
}

// The committed files are what the generator writes now.
TEST(ContentModels, CommittedFilesMatchTheGenerator)
{
    const std::vector<ContentFile> files = ContentModelFiles();
    ASSERT_GE(files.size(), 20u);
    for (const ContentFile& file : files)
    {
        SCOPED_TRACE(file.name);
        std::ifstream in(RepoDataPath(file.name), std::ios::binary);
        ASSERT_TRUE(in.good());
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(bytes == file.bytes);
    }
}

// The tower's storeys stack up to the heights at which the tower's box is cut after each
// break, and each break clip moves exactly the parts that its stage hides.
TEST(ContentModels, TowerStoreysMatchTheBreakStages)
{
    const LmfMesh tower = TowerMesh();
    ASSERT_EQ(tower.parts.size(), 20u);
    auto top = [&](int first, int last) {
        float y = -1e9f;
        for (int p = first; p <= last; ++p)
            for (const FileVertex& v : tower.parts[p].vertices)
                y = std::max(y, v.position.y);
        return y;
    };
    // Parts standing after stage 1, 2, 3 and 4 reach no higher than the box top of that stage.
    EXPECT_LE(top(0, 0), 6.5f);
    EXPECT_LE(top(0, 2), 10.5f);
    EXPECT_LE(top(0, 5), 18.5f);
    EXPECT_LE(top(0, 10), 25.0f);
    EXPECT_GT(top(11, 18), 25.0f);

    const std::vector<LmfClip> clips = TowerClips();
    const int first[5] = {0, 1, 3, 6, 11}, last[5] = {0, 2, 5, 10, 18};
    for (int n = 1; n <= 5; ++n)
    {
        SCOPED_TRACE(n);
        const LmfClip& clip = clips[size_t(n)];
        ASSERT_EQ(clip.name, "Break" + std::to_string(n));
        ASSERT_EQ(clip.tracks.size(), 20u);
        for (int part = 0; part < 19; ++part)
        {
            const bool falls = part >= first[n - 1] && part <= last[n - 1];
            EXPECT_EQ(clip.tracks[size_t(part)].size() > 1, falls) << part;
        }
    }
}
