#pragma once
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "LOOM/assets/AssetManager.h"
#include "LOOM/base/AssertHandler.h"
#include "graphics/model/DistanceMap.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/ModelStores.h"
#include "graphics/model/animation/AnimationSet.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/model/files/ChunkReader.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/input/LogProbe.h"

// Stores of its own for the length of a test; the previous ones come back after.
class ScopedModelStores
{
public:
    ScopedModelStores()
        : mOldMeshes(ModelStores::sMeshes), mOldSkeletons(ModelStores::sSkeletons),
          mOldAnimations(ModelStores::sAnimations), mOldDistanceMaps(ModelStores::sDistanceMaps)
    {
        ModelStores::sMeshes = &mMeshes;
        ModelStores::sSkeletons = &mSkeletons;
        ModelStores::sAnimations = &mAnimations;
        ModelStores::sDistanceMaps = &mDistanceMaps;
    }
    ~ScopedModelStores()
    {
        ModelStores::sMeshes = mOldMeshes;
        ModelStores::sSkeletons = mOldSkeletons;
        ModelStores::sAnimations = mOldAnimations;
        ModelStores::sDistanceMaps = mOldDistanceMaps;
    }

    AssetManager<Mesh> mMeshes;
    AssetManager<Skeleton> mSkeletons;
    AssetManager<AnimationSet> mAnimations;
    AssetManager<DistanceMap> mDistanceMaps;

private:
    AssetManager<Mesh>* mOldMeshes;
    AssetManager<Skeleton>* mOldSkeletons;
    AssetManager<AnimationSet>* mOldAnimations;
    AssetManager<DistanceMap>* mOldDistanceMaps;
};

// Takes over the one reference a resource was created or fetched with.
template <typename T>
struct Held : Ref<T>
{
    Held() = default;
    explicit Held(T* resource) : Ref<T>(Ref<T>::Adopt(resource)) {}
    Held(Ref<T> resource) : Ref<T>(std::move(resource)) {}
};

inline std::string RepoDataPath(const std::string& name) { return std::string(LOOM_TEST_DATA) + "/../../data/" + name; }

inline float ReadFloatAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    float value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

inline float AngleBetween(const Vector3& a, const Vector3& b)
{
    const float cosine = DotProduct(a.Normalized(), b.Normalized());
    return std::acos(std::fmax(-1.0f, std::fmin(1.0f, cosine)));
}
