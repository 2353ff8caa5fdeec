-- The start script: sets the scene up and keeps the per-frame script work small.
G.Mes(Game.Title .. ": the tower stands")

function GUpdate()
    -- A running level script steps its waves and watches for the end.
    if LevelUpdate then
        LevelUpdate()
    end
end
