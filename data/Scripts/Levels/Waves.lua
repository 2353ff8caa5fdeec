-- The wave runner every level script shares. A level script describes its field, goal and waves
-- in one table and hands it to RunLevel, which builds the level and sets LevelUpdate (run from
-- GUpdate every frame) to send the waves and end the level.

local function EndLevel(level, state)
    level.Over = true
    if FinishLevel then
        FinishLevel(state)
    else
        G.SetGameState(state)
        G.UpdateGameOverStats()
    end
end

-- Each wave comes out of the spawners in turn.
local function SendWave(level, index)
    local wave = level.Waves[index]
    for n = 1, wave.Count do
        local spawner = level.SpawnerPositions[math.mod(index + n - 2, table.getn(level.SpawnerPositions)) + 1]
        G.CreateAt(wave.Kind, spawner)
    end
end

function RunLevel(level)
    level.Spawners = {}
    level.Wave = 0
    level.Over = false
    G.Create(level.Map)
    G.SetPoints(level.StartPoints)
    G.SetMaxKills(level.KillTarget)
    for i, position in ipairs(level.SpawnerPositions) do
        level.Spawners[i] = G.CreateAt("spawner", position)
    end
    G.SetGameState(InLevel)
    -- With the menus around, the level gets its ground, camera, cursor and HUD and waits for the
    -- player to read its goal.
    if EnterLevel then
        EnterLevel(level.Title, "kill " .. level.KillTarget .. " invaders and clear the last wave before the tower falls.", level.Camera)
    end

    function LevelUpdate()
        if level.Over or GameState ~= InLevel then
            return
        end
        local nextWave = level.Waves[level.Wave + 1]
        if nextWave and GameTime >= nextWave.Time then
            level.Wave = level.Wave + 1
            SendWave(level, level.Wave)
            -- The invaders just sent are counted from the next frame on: no verdict before then.
            return
        end
        -- "Tower" names the tower cog while it stands and is nil once it is gone.
        if Tower == nil then
            EndLevel(level, Defeat)
        elseif level.Wave == table.getn(level.Waves) and NumInvaders == 0 then
            -- With every wave out and none left alive nothing more can happen: the level ends,
            -- won only when the kills reached the goal.
            if Kills >= level.KillTarget then
                EndLevel(level, Victory)
            else
                EndLevel(level, Defeat)
            end
        end
    end
end
