-- A start script that asks for a restart on its first run only; the marks show whether the
-- restart ran under it or after it.
G.ProbeMark("begin")
if G.ProbeFirstRun() then
    G.SoftRestart()
end
G.ProbeMark("end")
