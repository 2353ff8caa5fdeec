#pragma once
#include <memory>

class Sun;
class Water;
class SkyDome;

// The sun, the water and the sky dome: made once the device and the model stores are there,
// released before the device goes.
class SceneryParts
{
public:
    SceneryParts();
    ~SceneryParts();
    SceneryParts(const SceneryParts&) = delete;
    SceneryParts& operator=(const SceneryParts&) = delete;

    // The water and the sky hold meshes from the stores.
    void Make();
    void Release();
    void OnDeviceLost();
    void OnDeviceReset();

    Sun* GetSun() const { return mSun.get(); }
    Water* GetWater() const { return mWater.get(); }
    SkyDome* GetSky() const { return mSky.get(); }

private:
    std::unique_ptr<Sun> mSun;
    std::unique_ptr<Water> mWater;
    std::unique_ptr<SkyDome> mSky;
};
