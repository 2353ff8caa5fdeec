#include "graphics/model/DistanceMap.h"

#include "LOOM/base/FileUtils.h"
#include "graphics/model/files/LMLoader.h"

void DistanceMap::Load(const std::string& fileName) { LMLoader::LoadDistanceMapMesh(*this, DataFilePath(fileName)); }
