-- A short run on a data folder with a broken file: the menu, the first level, a few seconds of
-- play, then the exit button's function.
dofile("Scripts/Game.lua")
dofile("Scripts/PlayDriver.lua")

Play.At(5, function() G.Mes("PLAY ran: frames=5") end)
Play.At(8, function() StartLevelOne() end)
Play.At(20, function() if HUD then HUD.HideLevelVictoryWindow() end end)
Play.At(200, function() ExitGame() end)
