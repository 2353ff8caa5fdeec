#pragma once
#include <string>

// Takes every error OpenGL has recorded on the current context. False when there was one; `names`
// then lists them ("GL_INVALID_ENUM GL_OUT_OF_MEMORY").
bool TakeGlErrors(std::string& names);
