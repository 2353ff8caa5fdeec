-- The start script: sets the scene up and keeps the per-frame script work small.
G.Mes(Game.Title .. ": the tower stands")

Tower = G.CreateAt("Tower", Vector3(256, 0, 256))
-- The key bindings of Config/Controls.xml.
Controls = G.CreateAt("Controls", Vector3(0, 0, 0))

function GUpdate()
end
