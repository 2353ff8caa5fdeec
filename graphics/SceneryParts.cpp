#include "graphics/SceneryParts.h"

#include "graphics/scenery/SkyDome.h"
#include "graphics/scenery/Water.h"
#include "graphics/sky/Sun.h"

SceneryParts::SceneryParts() = default;

SceneryParts::~SceneryParts() = default;

void SceneryParts::Make()
{
    mWater = std::make_unique<Water>();
    mSky = std::make_unique<SkyDome>();
    mSun = std::make_unique<Sun>();
    mWater->Init();
    mWater->OnResetDevice();
    mSun->Init();
    mSky->Init();
}

void SceneryParts::Release()
{
    if (mSky)
        mSky->Release();
    mWater.reset();
    mSky.reset();
    mSun.reset();
}

void SceneryParts::OnDeviceLost()
{
    if (mWater)
        mWater->OnLostDevice();
}

void SceneryParts::OnDeviceReset()
{
    if (mWater)
        mWater->OnResetDevice();
}
