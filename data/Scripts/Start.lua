-- The start script: sets the scene up and keeps the per-frame script work small.
G.Mes(Game.Title .. ": the tower stands")

Tower = G.CreateAt("Tower", Vector3(256, 0, 256))

function GUpdate()
end
