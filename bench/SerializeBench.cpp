// Loading speed of the stream formats. Our XML and binary loaders parse and fill the objects
// (bytes/s and items/s); pugixml, the reference, only parses the same XML text into its tree
// (bytes/s only), so its line is an upper bound for parsing, not a like-for-like load.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "LOOM/serial/BinaryLoader.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLSaver.h"

namespace {
// Records per document; items/s compares the loaders on the same content.
constexpr int kItems = 16000;

struct Item
{
    std::string mName;
    int32_t mCount = 0;
    float mWeight = 0.0f;
    bool mActive = false;
    Vector3 mPosition;
    Quat mRotation;
    std::vector<std::string> mFiles;

    void Serialize(Serializer& s)
    {
        s.SerializeString("Name", mName);
        s.SerializeInt("Count", mCount);
        s.SerializeRealField("Weight", mWeight);
        s.SerializeBoolField("Active", mActive);
        s.SerializeVector("Position", mPosition);
        if (s.BeginField("quat", "Rotation", false, TypeQuat, &mRotation))
        {
            s.SerializeQuat(mRotation);
            s.EndField("quat", false);
        }
        s.SerializeFileListField("Files", mFiles);
    }
};

struct Level
{
    std::string mTitle;
    std::vector<Item> mItems;

    void Serialize(Serializer& s)
    {
        s.SerializeString("Title", mTitle);
        SerializeElementList(s, "Items", mItems, "serializable", TypeObject);
    }
};

struct Documents
{
    std::string mXml;
    std::string mBinary;
};

const Documents& GetDocuments()
{
    static const Documents documents = [] {
        Level level;
        level.mTitle = "Benchmark level with a few thousand items";
        for (int i = 0; i < kItems; ++i)
        {
            Item item;
            item.mName = "Item number " + std::to_string(i);
            item.mCount = i * 37 - 5000;
            item.mWeight = static_cast<float>(i) * 0.731f;
            item.mActive = (i % 3) == 0;
            item.mPosition = {static_cast<float>(i) * 1.5f, -2.25f, static_cast<float>(i % 100) / 7.0f};
            item.mRotation.x = 0.1f;
            item.mRotation.y = 0.2f;
            item.mRotation.z = 0.3f;
            for (int f = 0; f < i % 4; ++f)
                item.mFiles.push_back("Art\\Models\\model" + std::to_string(f) + ".xml");
            level.mItems.push_back(std::move(item));
        }
        const std::string path = (std::filesystem::temp_directory_path() / "loom_serialize_bench.xml").string();
        {
            XMLSaver saver(path);
            SerializeElement(saver, "Level", TypeElement, level);
        }
        Documents docs;
        ReadWholeFile(path, docs.mXml);
        std::filesystem::remove(path);
        BinarySaver binary;
        binary.OpenMemory();
        level.Serialize(binary);
        binary.Close();
        docs.mBinary = binary.Bytes();
        return docs;
    }();
    return documents;
}

// Both loaders fill the same level; only how they read it differs.
template <typename Load>
void LoadLevels(benchmark::State& state, const std::string& input, const char* failure, const char* label, Load load)
{
    for (auto _ : state)
    {
        Level level;
        if (!load(level) || level.mItems.size() != kItems)
            state.SkipWithError(failure);
        benchmark::DoNotOptimize(level.mItems.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input.size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kItems);
    state.SetLabel(label);
    state.counters["file_MB"] = static_cast<double>(input.size()) / 1e6;
}

void XmlLoader(benchmark::State& state)
{
    const std::string& text = GetDocuments().mXml;
    LoadLevels(state, text, "XML load failed", "parse and fill the objects", [&text](Level& level) {
        XMLLoader loader;
        loader.OpenText(text, "bench.xml");
        SerializeElement(loader, "Level", TypeElement, level);
        return loader.IsGood();
    });
}
BENCHMARK(XmlLoader)->Unit(benchmark::kMillisecond);

void BinaryLoaderBench(benchmark::State& state)
{
    const std::string& bytes = GetDocuments().mBinary;
    LoadLevels(state, bytes, "binary load failed", "read and fill the objects", [&bytes](Level& level) {
        BinaryLoader loader;
        loader.OpenFromBuffer(bytes, "bench.bin");
        level.Serialize(loader);
        return loader.IsGood();
    });
}
BENCHMARK(BinaryLoaderBench)->Name("BinaryLoader")->Unit(benchmark::kMillisecond);

void PugixmlParse(benchmark::State& state)
{
    const std::string& text = GetDocuments().mXml;
    for (auto _ : state)
    {
        pugi::xml_document doc;
        const pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
        if (!result)
            state.SkipWithError("pugixml parse failed");
        benchmark::DoNotOptimize(doc.first_child());
    }
    // It builds a tree and fills no object: bytes per second only, not items.
    state.SetLabel("reference: parse into a DOM, no objects filled");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(PugixmlParse)->Unit(benchmark::kMillisecond);
} // namespace
