-- Stands in for the player in scripted runs of the real program: steps queued on sixtieths of a
-- second of game time, the clock moved Play.Ticks sixtieths per frame, and screen points of world
-- positions as the level camera sees them.
-- A run may set Play.W and Play.H (the window's size) and Play.Ticks before it starts: fewer,
-- longer frames where a run is about game time, not about single frames.
Play = Play or {}
Play.W, Play.H, Play.Ticks = Play.W or 800, Play.H or 600, Play.Ticks or 1
Play.Frame, Play.Steps, Play.Every = 0, {}, {}

function Play.At(frame, step)
    local before = Play.Steps[frame]
    Play.Steps[frame] = before and function() before() step() end or step
end

-- A step run every frame until it returns true.
function Play.Each(step)
    table.insert(Play.Every, step)
end

-- The first level's camera ("LevelCamera") as it starts: at (258, 55, 490), facing -z, pitched
-- 37 degrees down, a vertical field of view of 0.785. A run that moves it (SetCameraPosition
-- keeps the turn) sets Play.Eye to the new place.
Play.Eye = Play.Eye or { 258, 55, 490 }
function Play.Screen(x, y, z)
    local dx, dy, dz = x - Play.Eye[1], y - Play.Eye[2], z - Play.Eye[3]
    local s, c = 0.6018, 0.7986
    local upY, upZ = c, -s
    local fwdY, fwdZ = -s, -c
    local vx = dx
    local vy = dy * upY + dz * upZ
    local vz = dy * fwdY + dz * fwdZ
    local t = 0.41421
    local hw, hh = Play.W / 2, Play.H / 2
    -- World +x runs to the left of the screen for a camera facing -z.
    return math.floor(hw - vx / vz / t * hh + 0.5), math.floor(hh - vy / vz / t * hh + 0.5)
end

function Play.Mouse(x, y)
    G.PushMouseMove(x, y)
end

function Play.Button(button, down, x, y)
    G.PushMouseButton(button, down, x, y)
end

-- One claw throw, stepped by the frame's phase in a cycle: the claw dives at the screen point,
-- grabs, swings aside and lets go. True on the frame it lets go.
function Play.ClawThrow(phase, x, y)
    if phase == 0 then
        Play.Mouse(x, y)
    elseif phase == 4 then
        Play.Button(0, true, x, y)
    elseif phase == 60 then
        Play.Mouse(x + 80, y + 30)
    elseif phase == 66 then
        Play.Button(0, false, x + 80, y + 30)
        return true
    end
    return false
end

-- The pointer starts in the middle of the window: on an edge the camera would scroll.
Play.Steps[1] = function() Play.Mouse(Play.W / 2, Play.H / 2) end

local GameUpdate = GUpdate
function GUpdate()
    local from = Play.Frame
    Play.Frame = Play.Frame + Play.Ticks
    if GameUpdate then
        GameUpdate()
    end
    for frame = from + 1, Play.Frame do
        local step = Play.Steps[frame]
        if step then
            step()
        end
    end
    local i = 1
    while i <= table.getn(Play.Every) do
        if Play.Every[i]() then
            table.remove(Play.Every, i)
        else
            i = i + 1
        end
    end
    for tick = 1, Play.Ticks do
        G.TestTick()
    end
end

-- Ends the run: the game-over texts saved by the GUI's saver, the facts logged, the program
-- closed by the exit button's own function.
function Play.Finish(outcome)
    G.GuiSave()
    G.Mes("PLAY over: state=" .. outcome .. " kills=" .. Kills .. " alive=" .. NumInvaders .. " points=" .. Points ..
          " tower=" .. (Tower and 1 or 0))
    ExitGame()
end

-- Watches for the end of the level, or gives up after the given number of frames.
function Play.WaitForEnd(limit)
    local started, ended, shot = false, nil, false
    Play.Each(function()
        started = started or GameState == InLevel
        if started and ended == nil and GameState ~= InLevel then
            ended = Play.Frame
        end
        if ended and not shot and Play.Frame >= ended + 30 then
            shot = true
            G.ScreenCap()
        elseif ended and shot and Play.Frame >= ended + 32 then
            Play.Finish(GameState)
            return true
        elseif Play.Frame > limit then
            Play.Finish("timeout")
            return true
        end
        return false
    end)
end
