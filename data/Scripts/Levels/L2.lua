-- The second level: the tower in the south-east corner behind two wall lines, the invaders
-- landing along the west edge. Harder than the first: more waves, and kinds that blow up the
-- traps or get past them, so the player rebuilds with the points earned.
-- The shared wave runner plays it.
dofile("Scripts/Levels/Waves.lua")

LevelTwo = {
    Map = "L2",
    Title = "Level 2: The Corner",
    Camera = "LevelCameraWest",
    KillTarget = 22,
    StartPoints = 150,
    SpawnerPositions = { Vector3(8, 2, 200), Vector3(8, 2, 280), Vector3(8, 2, 360) },
    -- Game time at which each wave comes out, and what it brings: the kinds of the first level
    -- and those that climb, leap, dig, blow up or move the player's traps. The waves take the
    -- spawners in turn, so the jumper, the ninja and the stackers come first, each to a stretch
    -- of the ledge that no one has broken yet and where no stacker stands in the way of a leap.
    Waves = {
        { Time = 3, Kind = "jumper", Count = 1 },
        { Time = 9, Kind = "ninja", Count = 1 },
        { Time = 15, Kind = "stacker", Count = 2 },
        { Time = 24, Kind = "grunt", Count = 2 },
        { Time = 38, Kind = "squad", Count = 3 },
        { Time = 50, Kind = "psychic", Count = 1 },
        { Time = 62, Kind = "grunt", Count = 3 },
        { Time = 74, Kind = "driller", Count = 1 },
        { Time = 86, Kind = "bomber", Count = 2 },
        { Time = 98, Kind = "kamikaze", Count = 2 },
        { Time = 110, Kind = "ninja", Count = 2 },
        { Time = 124, Kind = "stacker", Count = 2 },
        { Time = 138, Kind = "squad", Count = 4 },
    },
}

RunLevel(LevelTwo)
