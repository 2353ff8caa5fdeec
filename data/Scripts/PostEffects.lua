-- Post-process effects: each is called once per frame with the scene in buffer 1 and must
-- finish by writing buffer 0 (the back buffer).

function Display()
    G.DoPostPass("Display", 1, 1, 0)
end

function MonoChrome()
    G.DoPostPass("MonoChrome", 1, 1, 0)
end

-- A quarter-size copy, blurred, added back over the scene.
function Glow()
    G.DoPostPass("Display", 1, 1, 2)
    G.BlurBuffer(2, 3)
    G.DoPostPass("Glow", 1, 2, 0)
end
