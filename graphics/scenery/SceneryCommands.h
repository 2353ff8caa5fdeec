#pragma once

// The loom's named cog function that reaches the ground: "Deform".
void RegisterSceneryCommands();
