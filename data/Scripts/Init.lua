-- Runs with every fresh script state, before the start script.
Game = Game or {}
Game.Title = "Invaders"
