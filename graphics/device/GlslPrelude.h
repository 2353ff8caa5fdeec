#pragma once
#include <string>

// The text put in front of every program's GLSL: version, attributes at the layer's fixed
// locations, the device's own uniforms (alpha test, clip planes, point size), toClip() and
// alphaTest(). Effect sources follow it after "#line 1", so compile logs count their lines.
const std::string& VertexPrelude();
const std::string& FragmentPrelude();

// The device's built-in programs: 0 screen-space text, 1 world-space quads, 2 lines, 3 point sprites.
std::string BuiltinVertexSource(int which);
std::string BuiltinFragmentSource(int which);
