#pragma once
#include <string>

class ChunkReader;
class Mesh;
class Skeleton;
class AnimationSet;
class DistanceMap;

// Loaders of the chunked model format. Each creates its target when the pointer is null,
// logs what it loads, and on a bad file logs one error line and leaves the target empty.
namespace LMLoader {
bool LoadMesh(Mesh& mesh, const std::string& fileName);
bool LoadSkeleton(Skeleton& skeleton, const std::string& fileName);
bool LoadAnimations(AnimationSet& set, const std::string& fileName);
bool LoadDistanceMapMesh(DistanceMap& map, const std::string& fileName);

// The same walks over a reader already opened (tests and fuzzing feed bytes directly).
bool ReadMesh(ChunkReader& reader, Mesh& mesh);
// The parts as the file gives them, without the build.
bool ReadMeshParts(ChunkReader& reader, Mesh& mesh);
bool ReadSkeleton(ChunkReader& reader, Skeleton& skeleton);
bool ReadAnimations(ChunkReader& reader, AnimationSet& set);
bool ReadDistanceMap(ChunkReader& reader, DistanceMap& map);
} // namespace LMLoader
