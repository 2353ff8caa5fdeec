-- The menus' script side: every button of MenuData/MainMenu.xml and MenuData/HUD.xml that runs
-- a script calls one of these, and the end-to-end tests drive the game through the same calls.
-- Without the GUI (headless game runs) the menu cog cannot be made and none of this is defined,
-- so level scripts run on their own.

MainMenu = G.CreateAt("GameMainMenu", Vector3(0, 0, 0))
if MainMenu == nil then
    return
end
-- A level draws the pointer only over the GUI, the claw standing for it over the field; the
-- menus after it draw it everywhere again.
G.OnlyShowMouseOnGui(false)

Levels = {
    { Script = "Scripts/Levels/L1.lua", Title = "Level 1: The Gap" },
    { Script = "Scripts/Levels/L2.lua", Title = "Level 2: The Corner" },
}

-- The Options window shows the options the game started with.
if OptionShadows ~= nil then
    MainMenu.SetGuiFloat("ShadowsCheck", OptionShadows and 1 or 0)
    MainMenu.SetGuiFloat("VolumeSlider", OptionVolume)
end

local ExitTexts = { [0] = "YOU ARE STILL PLAYING!", [1] = "YOU QUIT!", [2] = "YOU WON!", [3] = "YOU LOST!", [4] = "YOU WERE DISCONNECTED!" }

function ShowWindow(name)
    if MainMenu then
        MainMenu.OpenWindow(name, true)
    end
end

-- Back to the start window; after a level a soft restart clears the field and runs the scripts
-- again, which opens the start window afresh.
function OpenStart()
    if LevelPlayed then
        G.SetPause(false)
        G.SoftRestart()
    else
        ShowWindow("StartWindow")
    end
end

function OpenLevelChoice() ShowWindow("LevelChoiceWindow") end
function OpenInvaderViewer() ShowWindow("InvaderViewerWindow") end
function OpenOptions() ShowWindow("OptionsWindow") end
function OpenCredits() ShowWindow("CreditsWindow") end
function OpenBonus() ShowWindow("BonusWindow") end
function ExitGame() G.Exit() end

-- Starts a level: the menu steps aside, the ground goes down and the level script builds the
-- field, its camera and its HUD.
function StartLevel(index)
    local level = Levels[index]
    if level == nil then
        return
    end
    if MainMenu then
        MainMenu.CloseWindow("LevelChoiceWindow")
        MainMenu.CloseWindow("StartWindow")
    end
    CurrentLevel = index
    LevelPlayed = true
    G.LogicCreateLevel(level.Script)
end

function StartLevelOne() StartLevel(1) end
function StartLevelTwo() StartLevel(2) end

-- Called by a level script once its field stands: the ground, the camera, the cursor and the HUD
-- with the level's goal. The clock waits until the player closes the goal window.
function EnterLevel(title, goal, camera)
    -- The menu's full-screen background would hide the field.
    G.ActivateBackground(-1)
    Ground = G.Create("LevelGround")
    Camera = G.Create(camera or "LevelCamera")
    Cursor = G.Create("Cursor")
    HUD = G.CreateAt("HUD", Vector3(0, 0, 0))
    if HUD then
        HUD.EnterLevel()
        HUD.Message("VictoryText", "SetText", title .. ": " .. goal)
        G.SetPause(true)
    end
end

function OpenInGame()
    if GameState ~= InLevel or not MainMenu then
        return
    end
    MainMenu.OpenWindow("InGameWindow", false)
    G.SetPause(true)
end

function ResumeGame()
    if MainMenu then
        MainMenu.CloseWindow("InGameExitWindow")
        MainMenu.CloseWindow("InGameWindow")
    end
    G.SetPause(false)
end

function OpenInGameExit()
    ShowWindow("InGameExitWindow")
end

-- The end of a level, whichever way: the state, the statistics and the game-over window.
function FinishLevel(state)
    G.SetGameState(state)
    G.UpdateGameOverStats()
    G.Mes("Level over: " .. (ExitTexts[state] or "ERROR Invalid Exit") .. " Kills " .. Kills .. " Points " .. Points ..
          " Invaders " .. NumInvaders)
    if MainMenu then
        MainMenu.OpenWindow("GameOverWindow", true)
        G.SetPause(true)
    end
end

function LeaveLevel()
    if MainMenu then
        MainMenu.CloseWindow("InGameExitWindow")
        MainMenu.CloseWindow("InGameWindow")
    end
    FinishLevel(QuitLevel)
end
