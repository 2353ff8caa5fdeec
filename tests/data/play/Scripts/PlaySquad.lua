-- A squad on the first level's open field whose leader is killed. A squad leader comes down
-- on its parachute; once it walks, three ninjas step out of their smoke beside it and one more
-- further west, on its own. Soon after, the leader is blinded: it wanders where it stands and its
-- members with it, while the lone ninja walks on. Then poison kills the leader. Every half second
-- of game time the positions are logged; the test reads from them who followed whom and how
-- soon the members walked on once the leader was gone.
dofile("Scripts/Game.lua")
dofile("Scripts/PlayDriver.lua")

Play.At(6, function() OpenLevelChoice() end)
Play.At(10, function() StartLevelOne() end)
Play.At(20, function() HUD.HideLevelVictoryWindow() end)

local leader, members, alone = nil, {}, nil
local landed, blinded, poisoned = nil, false, false
Play.At(30, function() leader = G.CreateAt("squad", Vector3(200, 2, 60)) end)

local function Where(cog)
    if not cog.IsValid() then
        return "gone"
    end
    local p = cog.GetPosition()
    return string.format("%.1f,%.1f", p.x, p.z)
end

local nextLog = 0
Play.Each(function()
    if leader == nil then
        return false
    end
    if landed == nil then
        -- On the ground, clear of the ninjas' smoke: they step out behind it, one to each side
        -- and one straight behind, so none stands in its way.
        local p = leader.GetPosition()
        if p.y > 4 then
            return false
        end
        landed = GameTime
    end
    if members[1] == nil then
        if GameTime - landed < 0.5 then
            return false
        end
        local p = leader.GetPosition()
        members[1] = G.CreateAt("ninja", Vector3(p.x + 5, 2, p.z - 3))
        members[2] = G.CreateAt("ninja", Vector3(p.x - 5, 2, p.z - 3))
        members[3] = G.CreateAt("ninja", Vector3(p.x, 2, p.z - 5))
        alone = G.CreateAt("ninja", Vector3(p.x - 40, 2, p.z - 3))
        landed = GameTime
    end
    local t = GameTime - landed
    if not blinded and t >= 1.5 then
        blinded = true
        leader.ChangeEffect(2, 30)
        G.Mes("PLAY blinded: t=" .. string.format("%.2f", t))
    end
    if not poisoned and t >= 7.5 then
        poisoned = true
        leader.ChangeEffect(5, 30)
        G.Mes("PLAY poisoned: t=" .. string.format("%.2f", t))
    end
    if t >= nextLog then
        nextLog = nextLog + 0.5
        G.Mes("PLAY at: t=" .. string.format("%.2f", t) .. " L=" .. Where(leader) .. " A=" .. Where(members[1]) ..
              " B=" .. Where(members[2]) .. " C=" .. Where(members[3]) .. " S=" .. Where(alone))
    end
    if t >= 16 then
        G.Mes("PLAY over: t=" .. string.format("%.2f", t))
        ExitGame()
        return true
    end
    return false
end)
