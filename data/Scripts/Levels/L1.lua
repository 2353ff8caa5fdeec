-- The first level: the field with its tower and wall line, the starting points, the
-- kill target and the waves of invaders. The shared wave runner plays it.
dofile("Scripts/Levels/Waves.lua")

LevelOne = {
    Map = "L1",
    Title = "Level 1: The Gap",
    Camera = "LevelCamera",
    KillTarget = 14,
    StartPoints = 150,
    -- In front of the gap in the wall line, so every wave comes through it.
    SpawnerPositions = { Vector3(252, 2, 8), Vector3(258, 2, 8), Vector3(262, 2, 8) },
    -- Game time at which each wave comes out, and what it brings: plain walkers first, then
    -- one new kind at a time with room to watch it, the kamikaze last.
    Waves = {
        { Time = 3, Kind = "plain", Count = 1 },
        { Time = 11, Kind = "grunt", Count = 1 },
        { Time = 20, Kind = "plain", Count = 2 },
        { Time = 29, Kind = "grunt", Count = 2 },
        { Time = 38, Kind = "jumper", Count = 1 },
        { Time = 47, Kind = "antigrabber", Count = 1 },
        { Time = 57, Kind = "grunt", Count = 2 },
        { Time = 67, Kind = "spiker", Count = 1 },
        { Time = 78, Kind = "grunt", Count = 3 },
        { Time = 90, Kind = "kamikaze", Count = 1 },
        { Time = 102, Kind = "grunt", Count = 3 },
    },
}

RunLevel(LevelOne)
