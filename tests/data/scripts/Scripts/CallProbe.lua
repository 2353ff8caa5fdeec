-- Calls a cog function that asks for a restart and then still uses its cog.
Probe:Restart()
G.ProbeMark("script end")
