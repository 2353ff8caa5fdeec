-- Runs at every state start: records what it found so tests can see the order of start-up.
InitRuns = (InitRuns or 0) + 1
InitSawTimes = CoreTime ~= nil and CoreTimeDiff ~= nil and GameTime ~= nil and GameTimeDiff ~= nil
InitSawUpdate = type(GUpdate) == "function"
