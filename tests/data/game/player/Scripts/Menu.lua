-- The menu's flow: start -> level choice -> level -> game over, and the in-game window.
function ShowLevelChoice()
    MainMenu.OpenWindow("LevelChoiceWindow", true)
end

function StartLevelOne()
    MainMenu.CloseWindow("LevelChoiceWindow")
    G.SetGameState(InLevel)
    G.SetCursorActive(true)
    HUD.EnterLevel()
    LevelsStarted = (LevelsStarted or 0) + 1
end

function OpenInGame()
    MainMenu.OpenWindow("InGameWindow", false)
end

function ResumeGame()
    MainMenu.CloseWindow("InGameWindow")
end

-- Defeat brings the game-over window with this run's statistics, once.
local LevelUpdate = GUpdate
function GUpdate()
    if LevelUpdate then
        LevelUpdate()
    end
    if GameState == Defeat and not GameOverShown then
        GameOverShown = true
        G.UpdateGameOverStats()
        MainMenu.OpenWindow("GameOverWindow", true)
    end
end
