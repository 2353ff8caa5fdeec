-- The second level with its shipped waves and nothing placed, one round for each seed the test
-- gives. A round ends once each ledge move has been seen, or after three minutes of game time;
-- the start window's soft restart brings the next round, and after the last one the run ends.
Play = { W = 400, H = 300, Ticks = 2 }
dofile("Scripts/Game.lua")
dofile("Scripts/PlayDriver.lua")

local seed = G.TestRound()
if seed < 0 then
    Play.At(2, function()
        G.Mes("PLAY rounds: done")
        ExitGame()
    end)
else
    Play.At(6, function() OpenLevelChoice() end)
    Play.At(10, function() StartLevelTwo() end)
    Play.At(20, function() HUD.HideLevelVictoryWindow() end)
    Play.Each(function()
        if Play.Frame <= 20 then
            return false
        end
        local moves = G.TestWatchLedge()
        if moves < 5 and GameState == InLevel and GameTime < 180 then
            return false
        end
        G.Mes("PLAY round: seed=" .. seed .. " moves=" .. moves .. " at=" .. GameTime)
        OpenStart()
        return true
    end)
end
