-- Runs with every fresh script state, before the start script.
Game = Game or {}
Game.Title = "Invaders"
-- Post-process effects are script functions named after the effect.
dofile("Scripts/PostEffects.lua")
