-- The start script: sets the scene up and keeps the per-frame script work small.
G.Mes(Game.Title .. ": the tower stands")

-- The key bindings of Config/Controls.xml.
Controls = G.CreateAt("Controls", Vector3(0, 0, 0))

-- The HUD's messages: the large one across the middle, the small one under it. A caller may set
-- the colour globals and the timing (seconds of fade-in, hold and fade-out) before it pops one.
LargeText = ""
SmallText = ""
LargeTextColor = Color(1, 1, 1, 1)
SmallTextColor = Color(1, 1, 0.6, 1)
TextPopupTiming = { 0.1, 1.5, 0.5 }
function SetTextPopupTiming(fadeIn, hold, fadeOut)
    TextPopupTiming = { fadeIn, hold, fadeOut }
end
function LargeTextPopup(text)
    LargeText = text
    G.TextPopup(0, text, LargeTextColor, Vector3(TextPopupTiming[1], TextPopupTiming[2], TextPopupTiming[3]))
end
function SmallTextPopup(text)
    SmallText = text
    G.TextPopup(1, text, SmallTextColor, Vector3(TextPopupTiming[1], TextPopupTiming[2], TextPopupTiming[3]))
end

function GUpdate()
    -- A running level script steps its waves and watches for the end.
    if LevelUpdate then
        LevelUpdate()
    end
end
