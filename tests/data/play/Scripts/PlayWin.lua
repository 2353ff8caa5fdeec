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
-- Quicker marchers keep the run short.
Play.At(22, function() G.SetInvSpeed(25) end)
Play.At(300, function()
    -- The middle of the tower, which stands at (256, 2, 464).
    local x, y = Play.Screen(256, 25, 464)
    G.Mes("PLAY tower: x=" .. x .. " y=" .. y)
    G.ScreenCap()
    CreditsBefore = Points
end)
-- The spikes' button sends "TrapSelect"; the drop is a left click on the tile in front of the gap.
local dropX, dropY = Play.Screen(250, 0, 338)
Play.At(302, function() HUD.TrapSelect("spikes") end)
Play.At(304, function() Play.Mouse(dropX, dropY) end)
Play.At(308, function() Play.Button(0, true, dropX, dropY) end)
Play.At(312, function() Play.Button(0, false, dropX, dropY) end)
-- A right click leaves the drop mode for the claw.
Play.At(316, function() Play.Button(1, true, dropX, dropY) end)
Play.At(318, function() Play.Button(1, false, dropX, dropY) end)
Play.At(330, function()
    G.Mes("PLAY bought: before=" .. CreditsBefore .. " after=" .. Points)
    G.ScreenCap()
end)

-- Every four seconds the claw dives at the gap, holds, lifts and lets go.
local gapX, gapY = Play.Screen(256, 0, 326)
Throws = 0
Play.Each(function()
    local f = Play.Frame
    if f < 340 or GameState ~= InLevel then
        return false
    end
    local phase = math.mod(f - 340, 240)
    if phase == 0 then
        Play.Mouse(gapX, gapY)
    elseif phase == 4 then
        Play.Button(0, true, gapX, gapY)
    elseif phase == 60 then
        Play.Mouse(gapX, gapY - 60)
    elseif phase == 66 then
        Play.Button(0, false, gapX, gapY - 60)
        Throws = Throws + 1
    end
    return false
end)

Play.WaitForEnd(9000)
