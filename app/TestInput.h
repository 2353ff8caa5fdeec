#pragma once

// Scripted end-to-end runs drive the program through these console commands ("PushMouseMove",
// "PushMouseButton", "PushKey"), which queue window events as a person's mouse and keyboard
// would. They exist only when the environment sets LOOM_TEST_INPUT=1.
void RegisterTestInput();
