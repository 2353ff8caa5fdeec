Frames = 0
function GUpdate()
    Frames = Frames + 1
    error("boom " .. Frames)
end
