-- The second level with its shipped waves played down to its steps: every invader but the
-- stackers is killed as it comes, a step left with no one behind it walks on and is poisoned
-- as a trap would, and the level ends by its own rules. The first step to stand, at the field's
-- edge, is taken by the claw: the view is brought over it as far as the edge lets it, and the
-- pointer goes over it and holds the left button. Gives up after ten minutes of game time.
Play = { W = 400, H = 300, Ticks = 3 }
dofile("Scripts/Game.lua")
dofile("Scripts/PlayDriver.lua")
-- The test's one seed: the same run every time.
G.TestRound()

Play.At(6, function() OpenLevelChoice() end)
Play.At(10, function() StartLevelTwo() end)
Play.At(20, function() HUD.HideLevelVictoryWindow() end)
local over = false
local aimed, point, pressed = nil, nil, nil
Play.Each(function()
    if Play.Frame <= 20 then
        return false
    end
    G.TestLastStep()
    if aimed == nil then
        if G.TestAimAtStep() >= 0 then
            aimed = Play.Frame
        end
    elseif point == nil and Play.Frame >= aimed + 30 then
        point = G.TestAimAtStep()
        if point >= 0 then
            local x, y = math.floor(point / 10000), math.mod(point, 10000)
            G.Mes("PLAY claw: x=" .. x .. " y=" .. y)
            Play.Mouse(x, y)
            pressed = Play.Frame + 30
        end
    elseif pressed and Play.Frame == pressed then
        local x, y = math.floor(point / 10000), math.mod(point, 10000)
        Play.Button(0, true, x, y)
    elseif pressed and Play.Frame == pressed + 90 then
        local x, y = math.floor(point / 10000), math.mod(point, 10000)
        Play.Button(0, false, x, y)
    end
    if not over and GameState ~= InLevel then
        over = true
        G.Mes("PLAY level over: at=" .. GameTime)
        ExitGame()
        return true
    end
    if GameTime > 600 then
        G.Mes("PLAY gave up: at=" .. GameTime)
        ExitGame()
        return true
    end
    return false
end)
