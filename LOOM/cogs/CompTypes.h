#pragma once
#include <cstdint>

// Component type ids. Composition files name component types by these numbers, and each
// component's GetTypeName answers the matching name below: both are data vocabulary.
enum CompTypeId : uint32_t
{
    CompPositional = 1,
    CompPathController = 2,
    CompParticle = 3,
    CompModel = 4,
    CompCamera = 5,
    CompSkinModel = 6,
    CompHeightMap = 7,
    CompTerrain = 8,
    CompSprite = 9,
    CompLight = 10,
    CompWidget = 11,
    CompEffect = 12,
    CompHudDisplay = 14,
    CompSoundPlayer2D = 20,
    CompSoundPlayer3D = 21,
    CompListener = 22,
    CompControlMap = 30,
    CompTextStream = 31,
    CompPhysics = 50,
    CompCollision = 51,
    CompRegion = 55,
    CompPhysicsExplosion = 56,
    CompSpringCape = 57,
    CompInertiaBall = 58,
    CompUdpSocket = 70,
    CompTcpSocket = 71,
    CompNetUpdate = 72,
    CompKestrane = 100,
    CompTrapData = 101,
    CompTileMap = 102,
    CompTile = 103,
    CompWall = 104,
    CompCursor = 115,
    CompMenu = 120,
    CompHud = 121,
    CompRegionExplosionDamage = 123,
    CompTimedDeath = 125,
    CompFollower = 126,
    CompPhrase = 127,
    CompStatusRegion = 128,
    CompBomb = 129,
    CompSpawner = 130,
    CompDamagable = 131,
    CompBaseTower = 405,
    CompGameCamera = 501,
};

// The type name of a known id ("wall", "UDP Socket", ...); null for ids that name no type.
const char* CompTypeName(uint32_t id);
