-- The second level: the tower in the south-east corner behind two wall lines, the invaders
-- landing along the west edge. Harder than the first: more waves, mixed kinds, fewer points.
-- LevelUpdate runs from GUpdate every frame.

LevelTwo = {
    KillTarget = 14,
    StartPoints = 120,
    SpawnerPositions = { Vector3(8, 2, 200), Vector3(8, 2, 280), Vector3(8, 2, 360) },
    -- Game time at which each wave comes out, and what it brings.
    Waves = {
        { Time = 3, Kind = "grunt", Count = 2 },
        { Time = 12, Kind = "grunt", Count = 2 },
        { Time = 22, Kind = "stacker", Count = 2 },
        { Time = 32, Kind = "grunt", Count = 3 },
        { Time = 44, Kind = "bomber", Count = 2 },
        { Time = 56, Kind = "squad", Count = 3 },
    },
    Spawners = {},
    Wave = 0,
    Over = false,
}

G.Create("L2")
G.SetPoints(LevelTwo.StartPoints)
G.SetMaxKills(LevelTwo.KillTarget)
for i, position in ipairs(LevelTwo.SpawnerPositions) do
    LevelTwo.Spawners[i] = G.CreateAt("spawner", position)
end
G.SetGameState(InLevel)
-- With the menus around, the level gets its ground, camera, cursor and HUD and waits for the
-- player to read its goal.
if EnterLevel then
    EnterLevel("Level 2: The Corner", "kill " .. LevelTwo.KillTarget .. " invaders and clear the last wave before the tower falls.", "LevelCameraWest")
end

local function EndLevel(state)
    LevelTwo.Over = true
    if FinishLevel then
        FinishLevel(state)
    else
        G.SetGameState(state)
        G.UpdateGameOverStats()
    end
end

local function SendWave(index)
    local wave = LevelTwo.Waves[index]
    for n = 1, wave.Count do
        local spawner = LevelTwo.SpawnerPositions[math.mod(index + n - 2, table.getn(LevelTwo.SpawnerPositions)) + 1]
        G.CreateAt(wave.Kind, spawner)
    end
end

function LevelUpdate()
    if LevelTwo.Over or GameState ~= InLevel then
        return
    end
    local nextWave = LevelTwo.Waves[LevelTwo.Wave + 1]
    if nextWave and GameTime >= nextWave.Time then
        LevelTwo.Wave = LevelTwo.Wave + 1
        SendWave(LevelTwo.Wave)
    end
    if Tower == nil then
        EndLevel(Defeat)
    elseif LevelTwo.Wave == table.getn(LevelTwo.Waves) and Kills >= LevelTwo.KillTarget and NumInvaders == 0 then
        EndLevel(Victory)
    end
end
