Frames = 0
function GUpdate()
    Frames = Frames + 1
    LastCoreTime = CoreTime
    LastCoreTimeDiff = CoreTimeDiff
    LastGameTime = GameTime
    LastGameTimeDiff = GameTimeDiff
end
