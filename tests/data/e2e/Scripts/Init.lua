-- Runs with every fresh script state, before the start script.
InitRuns = (InitRuns or 0) + 1
