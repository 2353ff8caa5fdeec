-- The second level: the tower in the south-east corner behind two wall lines, the invaders
-- landing along the west edge. Harder than the first: more waves, mixed kinds, fewer points.
-- The shared wave runner plays it.
dofile("Scripts/Levels/Waves.lua")

LevelTwo = {
    Map = "L2",
    Title = "Level 2: The Corner",
    Camera = "LevelCameraWest",
    KillTarget = 17,
    StartPoints = 120,
    SpawnerPositions = { Vector3(8, 2, 200), Vector3(8, 2, 280), Vector3(8, 2, 360) },
    -- Game time at which each wave comes out, and what it brings.
    Waves = {
        { Time = 3, Kind = "grunt", Count = 2 },
        { Time = 12, Kind = "grunt", Count = 2 },
        { Time = 22, Kind = "stacker", Count = 2 },
        { Time = 32, Kind = "squad", Count = 4 },
        { Time = 40, Kind = "grunt", Count = 4 },
        { Time = 52, Kind = "bomber", Count = 3 },
    },
}

RunLevel(LevelTwo)
