-- The first level won as a person would win it: through the menu's buttons into the level,
-- spikes bought and dropped by mouse, invaders grabbed and thrown by mouse, until the last wave
-- is cleared. Screenshots: 0 the menu, 1 the field, 2 after the purchase, 3 the game-over window.
dofile("Scripts/Game.lua")
dofile("Scripts/PlayDriver.lua")

Play.At(3, function()
    G.Mes("PLAY menu: start=" .. (MainMenu and 1 or 0))
    G.ScreenCap()
end)
Play.At(6, function() OpenLevelChoice() end)
Play.At(10, function() StartLevelOne() end)
-- The goal window's button.
Play.At(20, function() HUD.HideLevelVictoryWindow() end)
-- Quicker marchers keep the run short, not so quick that they cross spikes between two strikes.
Play.At(22, function() G.SetInvSpeed(15) end)
Play.At(300, function()
    -- The middle of the tower, which stands at (256, 2, 464).
    local x, y = Play.Screen(256, 25, 464)
    G.Mes("PLAY tower: x=" .. x .. " y=" .. y)
    G.ScreenCap()
    CreditsBefore = Points
end)
-- The spikes' button sends "TrapSelect"; each drop is a left click on the march from the gap to
-- the tower, four spikes one behind the other and two across the tower's front, where an invader
-- the claw threw past the line ends up. Those two are clicked a little up the screen from their
-- middles: below lies the trap bar, whose buttons take the click.
for i, spot in ipairs({ { 260, 340 }, { 260, 370 }, { 260, 400 }, { 260, 430 }, { 260, 450 }, { 252, 450 } }) do
    local dropX, dropY = Play.Screen(spot[1], 0, spot[2])
    local f = 302 + (i - 1) * 12
    Play.At(f, function() HUD.TrapSelect("spikes") end)
    Play.At(f + 2, function() Play.Mouse(dropX, dropY) end)
    Play.At(f + 6, function() Play.Button(0, true, dropX, dropY) end)
    Play.At(f + 10, function() Play.Button(0, false, dropX, dropY) end)
end
-- A right click leaves the drop mode for the claw.
local restX, restY = Play.Screen(300, 0, 360)
Play.At(376, function() Play.Button(1, true, restX, restY) end)
Play.At(378, function() Play.Button(1, false, restX, restY) end)
Play.At(382, function()
    G.Mes("PLAY bought: before=" .. CreditsBefore .. " after=" .. Points)
    G.ScreenCap()
end)

-- Every four seconds the claw dives at the gap, holds, swings aside and lets go (the gap is near
-- the top of the start view: a swing upwards would leave the window and scroll the view).
local gapX, gapY = Play.Screen(256, 0, 326)
Throws = 0
Play.Each(function()
    local f = Play.Frame
    if f < 388 or GameState ~= InLevel then
        return false
    end
    if Play.ClawThrow(math.mod(f - 388, 240), gapX, gapY) then
        Throws = Throws + 1
    end
    return false
end)

Play.WaitForEnd(9000)
