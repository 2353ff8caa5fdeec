-- The first level: the field with its tower, wall line and spikes, the starting points, the
-- kill target and the waves of invaders. LevelUpdate runs from GUpdate every frame.

LevelOne = {
    KillTarget = 6,
    StartPoints = 150,
    -- In front of the gap in the wall line, so every wave meets the spikes behind it.
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
    Spawners = {},
    Wave = 0,
    Over = false,
}

G.Create("L1")
G.SetPoints(LevelOne.StartPoints)
G.SetMaxKills(LevelOne.KillTarget)
for i, position in ipairs(LevelOne.SpawnerPositions) do
    LevelOne.Spawners[i] = G.CreateAt("spawner", position)
end
G.SetGameState(InLevel)
-- With the menus around, the level gets its ground, camera, cursor and HUD and waits for the
-- player to read its goal.
if EnterLevel then
    EnterLevel("Level 1: The Gap", "kill " .. LevelOne.KillTarget .. " invaders and clear the last wave before the tower falls.", "LevelCamera")
end

local function EndLevel(state)
    LevelOne.Over = true
    if FinishLevel then
        FinishLevel(state)
    else
        G.SetGameState(state)
        G.UpdateGameOverStats()
    end
end

-- Each wave comes out of the spawners in turn.
local function SendWave(index)
    local wave = LevelOne.Waves[index]
    for n = 1, wave.Count do
        local spawner = LevelOne.SpawnerPositions[math.mod(index + n - 2, table.getn(LevelOne.SpawnerPositions)) + 1]
        G.CreateAt(wave.Kind, spawner)
    end
end

function LevelUpdate()
    if LevelOne.Over or GameState ~= InLevel then
        return
    end
    local nextWave = LevelOne.Waves[LevelOne.Wave + 1]
    if nextWave and GameTime >= nextWave.Time then
        LevelOne.Wave = LevelOne.Wave + 1
        SendWave(LevelOne.Wave)
    end
    -- "Tower" names the tower cog while it stands and is nil once it is gone.
    if Tower == nil then
        EndLevel(Defeat)
    elseif LevelOne.Wave == table.getn(LevelOne.Waves) and Kills >= LevelOne.KillTarget and NumInvaders == 0 then
        EndLevel(Victory)
    end
end
