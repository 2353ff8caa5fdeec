-- The first level: the field with its tower and wall line, the starting points, the
-- kill target and the waves of invaders. The shared wave runner plays it.
dofile("Scripts/Levels/Waves.lua")

LevelOne = {
    Map = "L1",
    Title = "Level 1: The Gap",
    Camera = "LevelCamera",
    KillTarget = 6,
    StartPoints = 150,
    -- In front of the gap in the wall line, so every wave comes through it.
    SpawnerPositions = { Vector3(252, 2, 8), Vector3(258, 2, 8), Vector3(262, 2, 8) },
    -- Game time at which each wave comes out, and what it brings.
    Waves = {
        { Time = 2, Kind = "grunt", Count = 1 },
        { Time = 8, Kind = "grunt", Count = 1 },
        { Time = 14, Kind = "grunt", Count = 1 },
        { Time = 20, Kind = "grunt", Count = 1 },
        { Time = 26, Kind = "grunt", Count = 1 },
        { Time = 32, Kind = "grunt", Count = 1 },
    },
}

RunLevel(LevelOne)
