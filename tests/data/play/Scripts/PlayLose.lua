-- The first level lost: the same start and nothing placed, so the waves reach the tower.
dofile("Scripts/Game.lua")
dofile("Scripts/PlayDriver.lua")

Play.At(6, function() OpenLevelChoice() end)
Play.At(10, function() StartLevelOne() end)
Play.At(20, function() HUD.HideLevelVictoryWindow() end)
Play.At(22, function() G.SetInvSpeed(25) end)
Play.WaitForEnd(9000)
