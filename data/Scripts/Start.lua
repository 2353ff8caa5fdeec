-- The start script: sets the scene up and keeps the per-frame script work small.
G.Mes(Game.Title .. ": the tower stands")

-- The key bindings of Config/Controls.xml.
Controls = G.CreateAt("Controls", Vector3(0, 0, 0))

-- The large banner of the HUD; until the HUD draws it, the text and its timing are kept here.
LargeText = ""
function SetTextPopupTiming(fadeIn, hold, fadeOut)
    LargeTextTiming = { fadeIn, hold, fadeOut }
end
function LargeTextPopup(text)
    LargeText = text
end

function GUpdate()
    -- A running level script steps its waves and watches for the end.
    if LevelUpdate then
        LevelUpdate()
    end
end
