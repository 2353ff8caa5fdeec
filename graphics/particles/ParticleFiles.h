#pragma once
#include <string>

#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLSaver.h"

// Systems and emitters are stream files whose one top element holds the fields. The loader
// logs the first broken thing once; fields after it keep their values.
template <typename T>
bool LoadParticleFile(const std::string& fileName, const char* top, T& object)
{
    XMLLoader loader;
    if (loader.Open(fileName) && loader.BeginField(top, nullptr, false, TypeElement, &object))
    {
        object.Serialize(loader);
        loader.EndField(top, false);
    }
    const bool good = loader.IsGood();
    loader.Close();
    return good;
}

template <typename T>
bool SaveParticleFile(const std::string& fileName, const char* top, T& object)
{
    XMLSaver saver;
    if (!saver.Open(fileName))
        return false;
    if (saver.BeginField(top, nullptr, false, TypeElement, &object))
    {
        object.Serialize(saver);
        saver.EndField(top, false);
    }
    saver.Close();
    return saver.IsGood();
}
