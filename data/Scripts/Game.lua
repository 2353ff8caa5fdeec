-- The program's start script (config.xml): the scene set-up of Start.lua, the player's options
-- and the music, then the menus, which open the start window. Headless game runs start from
-- Start.lua alone and have no menus.
dofile("Scripts/Start.lua")
dofile("Scripts/Options.lua")
dofile("Scripts/GameMenu.lua")
