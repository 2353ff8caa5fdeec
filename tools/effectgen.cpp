// Writes the game's particle systems, emitters, colour streams and effect cogs under
// <data folder>/Data/Effects, the same bytes on every run.
// Usage: effectgen [data folder]   (default: data)
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/FileComposition.h"
#include "LOOM/serial/XMLSaver.h"
#include "graphics/particles/Effect.h"
#include "graphics/particles/ParticleFrame.h"

namespace {

std::string gFolder;
bool gOk = true;

template <typename T>
void Save(const std::string& name, const char* top, T& object)
{
    gOk &= XMLSaver::SaveElement((std::filesystem::path(gFolder) / "Data/Effects" / name).string(), top, object);
}

void Stream(const std::string& name, std::initializer_list<ColorKey> keys)
{
    ColorStream stream;
    stream.ColorKeys = keys;
    Save(name, "ColorStream", stream);
}

ParticleSystem& System(ParticleSystem& s, int32_t type, int32_t blend, float size, const Vector3& force, uint32_t max,
                       const std::string& stream)
{
    s.UpdateTypes = type;
    s.BlendModes = blend;
    s.texture.SetFile("Textures/particle.bmp");
    s.ParticleSize = size;
    s.Force = force;
    s.maxParticles = max;
    s.fileStream = stream.empty() ? std::string() : "Data/Effects/" + stream;
    return s;
}

// What every emitter sets: how many a second, the shape it emits in, and the particles' speed and life.
Emitter& Emits(Emitter& e, float rate, int32_t type, const MinMax& speed, const MinMax& life)
{
    e.EmitRate = rate;
    e.EmitType = type;
    e.PartSpeed = speed;
    e.PartLifeTime = life;
    return e;
}

void WriteParticles()
{
    Stream("Spark.Color.xml",
           {{0.0f, {1.0f, 0.9f, 0.5f, 1.0f}}, {0.3f, {1.0f, 0.5f, 0.1f, 0.8f}}, {0.8f, {0.6f, 0.1f, 0.0f, 0.0f}}});
    Stream("Fire.Color.xml",
           {{0.0f, {1.0f, 1.0f, 0.7f, 1.0f}}, {0.25f, {1.0f, 0.6f, 0.1f, 0.9f}}, {1.0f, {0.3f, 0.05f, 0.0f, 0.0f}}});
    Stream("Smoke.Color.xml",
           {{0.0f, {0.5f, 0.5f, 0.5f, 0.6f}}, {1.5f, {0.3f, 0.3f, 0.3f, 0.3f}}, {2.0f, {0.2f, 0.2f, 0.2f, 0.0f}}});
    Stream("Flash.Color.xml",
           {{0.0f, {1.0f, 1.0f, 1.0f, 0.0f}}, {0.1f, {0.8f, 0.9f, 1.0f, 1.0f}}, {1.0f, {0.2f, 0.4f, 1.0f, 0.0f}}});
    Stream("Bubble.Color.xml",
           {{0.0f, {1.0f, 1.0f, 1.0f, 1.0f}}, {2.5f, {1.0f, 1.0f, 1.0f, 1.0f}}, {3.0f, {1.0f, 1.0f, 1.0f, 0.0f}}});
    Stream("DeathBubble.Color.xml",
           {{0.0f, {1.0f, 0.4f, 0.3f, 1.0f}}, {4.0f, {1.0f, 0.4f, 0.3f, 1.0f}}, {5.0f, {1.0f, 0.4f, 0.3f, 0.0f}}});

    ParticleSystem sparks, exhaust, explosion, cloud;
    Save("Sparks.System.xml", "System", System(sparks, 2, 0, 0.6f, {0.0f, -0.4f, 0.0f}, 400, "Spark.Color.xml"));
    Save("Exhaust.System.xml", "System", System(exhaust, 3, 1, 1.2f, {0.0f, 0.05f, 0.0f}, 300, "Smoke.Color.xml"));
    Save("Explosion.System.xml", "System", System(explosion, 2, 0, 1.5f, {0.0f, -0.2f, 0.0f}, 300, "Fire.Color.xml"));
    Save("DeathCloud.System.xml", "System", System(cloud, 3, 1, 0.8f, {0.0f, 0.02f, 0.0f}, 600, "Smoke.Color.xml"));

    {
        Emitter e;
        e.EmitDirection = {0.0f, 1.0f, 0.0f};
        e.EmitPhi = 0.6f;
        Save("Sparks.Emitter.xml", "Emitter", Emits(e, 40.0f, 2, {8.0f, 14.0f, true}, {0.4f, 0.8f, true}));
    }
    {
        Emitter e;
        e.EmitPhi = 0.4f;
        e.InitColor = {0.5f, 0.5f, 0.5f, 0.6f};
        Save("Exhaust.Emitter.xml", "Emitter", Emits(e, 25.0f, 4, {1.0f, 2.0f, true}, {1.0f, 1.5f, true}));
    }
    // Sixty bursts in the first frame at 30 frames a second, then silence.
    {
        Emitter e;
        e.TotalToRelease = 60;
        e.EmitPhi = 0.5f;
        Save("Explosion.Emitter.xml", "Emitter", Emits(e, 1770.0f, 1, {10.0f, 20.0f, true}, {0.5f, 1.0f, true}));
    }
    // Random points of the dying body; invader code swaps in its own kind's map.
    {
        Emitter e;
        e.TotalToRelease = 90;
        e.EmitBehavior = 3;
        e.DMNumber = 1000;
        e.DisMapFile = "Models/InvaderDM.lmf";
        e.InitColor = {0.5f, 0.5f, 0.5f, 0.6f};
        Save("DeathCloud.Emitter.xml", "Emitter", Emits(e, 300.0f, 1, {0.5f, 1.5f, true}, {1.0f, 2.0f, true}));
    }
}

// Effect-only cogs: a Positional and an Effect, saved as archetypes.
void WriteEffects()
{
    CogFactory cogs;
    RegisterPositional(cogs);
    cogs.Types().RegisterComponent(Effect::kTypeId, ParticleFrame::Factory(Effect::kTypeId));
    auto save = [&](const char* name, auto fill) {
        auto composer = std::make_shared<Composer>(cogs, name, "");
        composer->AddComponent(1, cogs.Types().GetComponentFactory(1));
        composer->AddComponent(Effect::kTypeId, cogs.Types().GetComponentFactory(Effect::kTypeId));
        cogs.Types().RegisterType(name, composer);
        Cog* cog = cogs.Instantiate(name);
        fill(*cog->Get<Effect>());
        gOk &= SaveArchetypeXml(
            *cog, (std::filesystem::path(gFolder) / "Data/Effects" / (std::string(name) + ".xml")).string());
    };
    // The speech bubbles are the game's own cogs (follower, phrase, timed death), written by hand.
    save("FlashEffect", [](Effect& fx) {
        fx.TTL = 1.0f;
        fx.ModelFile = "Models/FlashEffect.lmf";
        fx.AnimationFile = "Models/FlashEffect.lmf";
        fx.EffectSprites.resize(1);
        fx.EffectSprites[0].EffectType = 1;
        fx.EffectSprites[0].texture.SetFile("Textures/BlueGlow.dds");
        fx.EffectSprites[0].fileStream = "Data/Effects/Flash.Color.xml";
        fx.SystemFiles = {"Data/Effects/Sparks.System.xml"};
        fx.EmitterFiles = {"Data/Effects/Sparks.Emitter.xml"};
    });
    cogs.DestroyAll();
}

} // namespace

int main(int argc, char** argv)
{
    gFolder = argc > 1 ? argv[1] : "data";
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(gFolder) / "Data/Effects", ec);
    WriteParticles();
    WriteEffects();
    if (!gOk)
    {
        std::fprintf(stderr, "effectgen: could not write the effects under %s\n", gFolder.c_str());
        return 1;
    }
    return 0;
}
