#pragma once
#include <string>

#include "LOOM/math/Matrix4.h"
#include "graphics/model/files/XMeshReader.h"
#include "tools/lmfgen/LmfWriter.h"

// A part as an X text file ("xof 0303txt 0032"): a template, a named material with a texture, and
// a frame with its matrix holding the mesh with indexed normals, texture coordinates and a
// material list. Numbers keep every bit of their floats, so reruns give the same bytes.
std::string WriteXText(const LmfPart& part, const Matrix4& frame, const std::string& texture);
// The part as the X reader gives it back: the vertices, normals, coordinates and triangles.
XMesh PartAsXMesh(const LmfPart& part);
// Seeds for the X reader's fuzzing: text files and the binary the engine's writer makes.
bool WriteXCorpus(const std::string& folder);
