#include "LOOM/cogs/CompTypes.h"

const char* CompTypeName(uint32_t id)
{
    switch (id)
    {
    case CompPositional: return "Positional";
    case CompPathController: return "PathController";
    case CompParticle: return "ParticleComp";
    case CompModel: return "Model";
    case CompCamera: return "Camera";
    case CompSkinModel: return "SkinModel";
    case CompHeightMap: return "HeightMap";
    case CompTerrain: return "Terrain";
    case CompSprite: return "Sprite";
    case CompLight: return "Light";
    case CompWidget: return "WidgetComp";
    case CompEffect: return "Effect";
    case CompHudDisplay: return "HudDisplay";
    case CompSoundPlayer2D: return "SoundPlayer2D";
    case CompSoundPlayer3D: return "SoundPlayer3D";
    case CompListener: return "Listener";
    case CompControlMap: return "ControlMap";
    case CompTextStream: return "TextStream";
    case CompPhysics: return "PhysicsComp";
    case CompCollision: return "CollisionComp";
    case CompRegion: return "RegionComp";
    case CompPhysicsExplosion: return "PhysicsExplosion";
    case CompSpringCape: return "SpringCape";
    case CompInertiaBall: return "InertiaBall";
    case CompUdpSocket: return "UDP Socket";
    case CompTcpSocket: return "TCP Socket";
    case CompNetUpdate: return "NetUpdateComp";
    case CompKestrane: return "Kestrane";
    case CompTrapData: return "TrapData";
    case CompTileMap: return "TileMap";
    case CompTile: return "TileComp";
    case CompWall: return "wall";
    case CompCursor: return "CursorComp";
    case CompMenu: return "MenuComp";
    case CompHud: return "HUDComp";
    case CompRegionExplosionDamage: return "RegionExplosionDamage";
    case CompTimedDeath: return "TimedDeathComp";
    case CompFollower: return "FollowerComp";
    case CompPhrase: return "PhraseComp";
    case CompStatusRegion: return "StatusRegion";
    case CompBomb: return "BombComp";
    case CompSpawner: return "Spawner";
    case CompDamagable: return "Damagable";
    case CompBaseTower: return "BaseTower";
    case CompGameCamera: return "GameCamera";
    default: return nullptr;
    }
}
