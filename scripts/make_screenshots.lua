-- The README's pictures, taken by scripts/make_screenshots.sh: the start window, the invader
-- viewer, the first level with traps bought from the bar and dropped by mouse while the waves
-- come through the gap (a hint on screen), a trap's tip on the bar, and the game-over window.
-- Every shot logs "SHOT <number> <name>"; the shell script converts them by those names.
dofile("Scripts/Game.lua")
dofile("Scripts/PlayDriver.lua")

local shots = 0
local function Shot(name)
    G.Mes("SHOT " .. shots .. " " .. name)
    shots = shots + 1
    G.ScreenCap()
end

-- Over the gap and the ground before it, the tower behind: the invaders are large enough to see.
local function LookAtTheGap()
    Play.Eye = { 258, 32, 405 }
    G.SetCameraPosition(Play.Eye[1], Play.Eye[2], Play.Eye[3])
end

local function Ground(x, z)
    return Play.Screen(x, 0, z)
end

-- A click at the pointer's place: a press elsewhere would drag the camera round with the
-- right button, or drop where the pointer is not.
local function Click(frame, button, x, z)
    Play.At(frame, function()
        local sx, sy = Ground(x, z)
        Play.Mouse(sx, sy)
    end)
    Play.At(frame + 4, function()
        local sx, sy = Ground(x, z)
        Play.Button(button, true, sx, sy)
    end)
    Play.At(frame + 8, function()
        local sx, sy = Ground(x, z)
        Play.Button(button, false, sx, sy)
    end)
end

-- The trap's button sends "TrapSelect"; then a left click on the ground drops it.
local function Drop(frame, kind, x, z)
    Play.At(frame, function() HUD.TrapSelect(kind) end)
    Click(frame + 2, 0, x, z)
end

Play.At(2, function() Play.Mouse(470, 166) end)
Play.At(4, function() Shot("menu") end)
Play.At(6, function() OpenInvaderViewer() end)
-- The viewer opens on the first kind by name; two on is the driller.
Play.At(8, function() MainMenu.NextInvader() end)
Play.At(9, function() MainMenu.NextInvader() end)
Play.At(10, function() Play.Mouse(312, 446) end)
Play.At(60, function() Shot("viewer") end)
Play.At(62, function() OpenLevelChoice() end)
Play.At(64, function() StartLevelOne() end)
-- The goal window's button starts the clock.
local start = 76
Play.At(start, function() HUD.HideLevelVictoryWindow() end)
Play.At(start + 2, LookAtTheGap)

-- The starting credits: spikes, zapper, poison, axe and light bulb along the march, 15 left.
local traps = {
    { "spikes", 256, 350 }, { "spikes", 256, 372 }, { "zapper", 246, 360 }, { "poison", 266, 338 },
    { "axe", 247, 378 }, { "lightbulb", 266, 362 },
}
for i, trap in ipairs(traps) do
    Drop(start + 6 + (i - 1) * 14, trap[1], trap[2], trap[3])
end
Click(start + 6 + table.getn(traps) * 14, 1, 266, 362)

-- 84 seconds in, grunts come through the gap: first the tip of the vortex's button on the bar,
-- then a fan goes down beside the march, and between its two clicks the hint asks for the way
-- it should blow.
local fan = start + 5040
Play.At(fan - 8, function() Play.Mouse(548, 572) end)
Play.At(fan - 4, function() Shot("trapbar") end)
Drop(fan, "fan", 276, 352)
Play.At(fan + 20, function() Play.Mouse(Ground(262, 352)) end)
Play.At(fan + 30, function() Shot("level") end)
Click(fan + 34, 0, 262, 352)
Click(fan + 46, 1, 262, 352)

-- Then back to the start view, spikes with what the kills earn across the march and the
-- tower's front, and the claw throws invaders out of the gap.
Play.At(fan + 66, function()
    Play.Eye = { 258, 55, 490 }
    G.SetCameraPosition(Play.Eye[1], Play.Eye[2], Play.Eye[3])
    Play.Mouse(400, 300)
end)
local spots = { { 260, 453 }, { 252, 453 }, { 260, 430 }, { 260, 400 }, { 244, 453 }, { 268, 453 } }
local bought = 0
Play.Each(function()
    local f = Play.Frame
    if f < fan + 80 or GameState ~= InLevel then
        return false
    end
    local phase = math.mod(f - fan - 80, 240)
    local gapX, gapY = Ground(256, 326)
    Play.ClawThrow(phase, gapX, gapY)
    if phase == 100 and bought < table.getn(spots) and Points >= 10 then
        bought = bought + 1
        local spot = spots[bought]
        HUD.TrapSelect("spikes")
        Click(f + 2, 0, spot[1], spot[2])
        Click(f + 14, 1, spot[1], spot[2])
    end
    return false
end)

-- The game-over window, won or lost; a level still going after the time allowed is left
-- through the in-game menu, which ends it as well.
local limit = fan + 150 * 60
Play.At(limit, function()
    if GameState == InLevel then
        OpenInGame()
        LeaveLevel()
    end
end)
local ended = nil
Play.Each(function()
    if ended == nil and Play.Frame > start and GameState ~= InLevel then
        ended = Play.Frame
    end
    if ended and Play.Frame == ended + 30 then
        Shot("gameover")
    elseif ended and Play.Frame == ended + 32 then
        Play.Finish(GameState)
        return true
    end
    return false
end)
