-- The second level with its shipped waves played down to its steps: every invader but the
-- stackers is killed as it comes, a step left with no one behind it walks on and is poisoned
-- as a trap would, and the level ends by its own rules. Gives up after ten minutes of game time.
Play = { W = 400, H = 300, Ticks = 3 }
dofile("Scripts/Game.lua")
dofile("Scripts/PlayDriver.lua")

Play.At(6, function() OpenLevelChoice() end)
Play.At(10, function() StartLevelTwo() end)
Play.At(20, function() HUD.HideLevelVictoryWindow() end)
local over = false
Play.Each(function()
    if Play.Frame <= 20 then
        return false
    end
    G.TestLastStep()
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
