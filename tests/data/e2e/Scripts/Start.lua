-- Drives the engine through its console commands, one step per frame. The stage survives
-- restarts (which make a new script state) in a file of the working directory.
local function ReadStage()
    local f = io.open("stage.txt", "r")
    if not f then return 0 end
    local stage = tonumber(f:read("*l")) or 0
    f:close()
    return stage
end

local function WriteStage(stage)
    local f = io.open("stage.txt", "w")
    f:write(tostring(stage))
    f:close()
end

local stage = ReadStage()
local frames = 0
G.Mes("Start script stage " .. stage)

function GUpdate()
    frames = frames + 1
    if stage == 0 then
        if frames == 2 then
            G.pause()
        elseif frames == 3 then
            G.pause()
        elseif frames == 4 then
            G.SetPause(true)
        elseif frames == 5 then
            G.SetPause(false)
        elseif frames == 6 then
            WriteStage(1)
            G.SoftRestart()
        end
    elseif stage == 1 then
        if frames == 2 then
            WriteStage(2)
            G.restart()
        end
    elseif frames == 2 then
        G.Mes("Leaving after " .. GameTime .. " seconds of game time")
        G.exit()
    end
end
