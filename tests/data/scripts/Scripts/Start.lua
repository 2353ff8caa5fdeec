-- A start script driving the engine through console commands with typed arguments.
Sum = G.TestAdd(2, 40)
Negative = G.testadd(-50, 8)
Greeting = G.TESTGREET("Loom")
local scaled = G.TestScale(Vector3(1, 2, 3), 2)
ScaledY = scaled.y
Flipped = G.TestNot(false)
Big = G.TestUMax()
Half = G.TestHalf(5)
local config = GameConfig()
config.ScreenWidth = 640
local wider = G.TestWiden(config)
WiderWidth = wider.ScreenWidth
WiderVsync = wider.Vsync
G.TestCount()
G.TestCount()
StartDone = true
