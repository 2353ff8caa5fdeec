-- Captures the plain frame, then the console panel once it has slid down, then leaves. The
-- clock moves a sixtieth of a second a frame, so the slide takes the same frames on any machine.
local frames = 0
local opened = nil
G.Mes("SCREENCAP 0123456789")

function GUpdate()
    frames = frames + 1
    if frames == 3 then
        G.ScreenCap()
        G.console(true)
        opened = GameTime
    elseif opened and GameTime > opened + 1.0 then
        G.ScreenCap()
        G.exit()
    elseif frames > 5000 then
        G.exit()
    end
    G.TestTick()
end
