-- The first level: the field with its tower and wall line, the starting points, the kill
-- target and the invaders' ways in. LevelUpdate runs from GUpdate every frame.

LevelOne = {
    SurvivalTime = 120, -- seconds of game time the tower must stand
    KillTarget = 40,
    StartPoints = 150,
    SpawnerPositions = { Vector3(40, 0, 8), Vector3(256, 0, 8), Vector3(472, 0, 8) },
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

local function EndLevel(state)
    LevelOne.Over = true
    G.SetGameState(state)
    G.UpdateGameOverStats()
end

function LevelUpdate()
    if LevelOne.Over or GameState ~= InLevel then
        return
    end
    -- One wave every 20 seconds; the spawners fill them once invaders march.
    local wave = math.floor(GameTime / 20) + 1
    if wave > LevelOne.Wave then
        LevelOne.Wave = wave
    end
    -- "Tower" names the tower cog while it stands and is nil once it is gone.
    if Tower == nil then
        EndLevel(Defeat)
    elseif GameTime >= LevelOne.SurvivalTime then
        EndLevel(Victory)
    end
end
