#include "physics/PhysicsLoom.h"

#include <new>

namespace {
PhysicsLoom* sInstance = nullptr;
}

PhysicsLoom* PhysicsLoom::Create()
{
    sInstance = new (std::nothrow) PhysicsLoom();
    return sInstance;
}

PhysicsLoom* PhysicsLoom::Instance()
{
    return sInstance;
}

PhysicsLoom::~PhysicsLoom()
{
    Shutdown();
    if (sInstance == this)
        sInstance = nullptr;
}

void PhysicsLoom::Init()
{
    mActive = true;
}

void PhysicsLoom::Shutdown()
{
    mActive = false;
}

void PhysicsLoom::RegisterTypes()
{
}

void PhysicsLoom::Update()
{
}

void PhysicsLoom::Unload()
{
}

std::string PhysicsLoom::GetName()
{
    return "Physics Loom";
}

std::string PhysicsLoom::GetTypeName()
{
    return "PhysicsLoom";
}
