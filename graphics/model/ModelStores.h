#pragma once

template <typename T>
class AssetManager;
class Mesh;
class Skeleton;
class AnimationSet;
class DistanceMap;
class VertexLayout;

// The stores that model resources reach each other through. The graphics loom points these
// at its own stores while it runs; tests point them at theirs. Null: nothing is shared.
struct ModelStores
{
    static AssetManager<Mesh>* sMeshes;
    static AssetManager<Skeleton>* sSkeletons;
    static AssetManager<AnimationSet>* sAnimations;
    static AssetManager<DistanceMap>* sDistanceMaps;
    // Device layouts by declaration number (LayoutStatic ... LayoutSkinnedShadow).
    static VertexLayout* sLayouts[8];
};
