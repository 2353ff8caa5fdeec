#include "input/ControlSet.h"

#include <filesystem>
#include <map>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/TypeCode.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"
#include "input/KeyNames.h"

namespace {

// A binding as the file writes it.
struct BindingRecord
{
    std::string mKey;
    std::string mWhen;
    std::string mMessage;
    std::string mArgument;
    std::string mCommand;

    void Serialize(Serializer& s)
    {
        s.SerializeString("Key", mKey);
        s.SerializeString("When", mWhen);
        s.SerializeString("Message", mMessage);
        s.SerializeString("Argument", mArgument);
        s.SerializeString("Command", mCommand);
    }
};

bool ParseWhen(const std::string& text, BindingWhen& when)
{
    if (text == "Triggered")
        when = BindingWhen::Triggered;
    else if (text == "Pressed")
        when = BindingWhen::Pressed;
    else if (text == "Released")
        when = BindingWhen::Released;
    else
        return false;
    return true;
}

// The records read whole; a broken file keeps those before the break (the loader reports it).
std::vector<BindingRecord> ReadRecords(const std::string& fileName)
{
    std::vector<BindingRecord> records;
    XMLLoader loader;
    if (loader.Open(fileName) && loader.BeginField("ControlSet", nullptr, false, TypeElement, &records))
    {
        LoadWholeItems(loader, "Bindings", records, "Binding",
                       [&loader](BindingRecord& record) { record.Serialize(loader); });
        loader.EndField("ControlSet", false);
    }
    loader.Close();
    return records;
}

std::map<std::string, std::shared_ptr<const ControlSet>, std::less<>>& SharedSets()
{
    static std::map<std::string, std::shared_ptr<const ControlSet>, std::less<>> sets;
    return sets;
}

} // namespace

std::unique_ptr<ControlSet> ReadControlSet(const std::string& fileName)
{
    auto set = std::make_unique<ControlSet>();
    Console& console = Console::Instance();
    if (!FileExists(DataFilePath(fileName)))
    {
        console.Log("ControlMap: control file not found: " + fileName, LogError);
        return set;
    }
    const std::vector<BindingRecord> records = ReadRecords(fileName);
    for (size_t i = 0; i < records.size(); ++i)
    {
        const BindingRecord& record = records[i];
        const std::string entry = "ControlMap: " + fileName + " entry " + std::to_string(i + 1) + ": ";
        const KeyName* key = FindKeyName(record.mKey);
        Binding binding;
        if (!key)
        {
            console.Log(entry + "unknown key \"" + record.mKey + "\", skipped", LogError);
            continue;
        }
        if (!ParseWhen(record.mWhen, binding.mWhen))
        {
            console.Log(entry + "unknown When \"" + record.mWhen + "\", skipped", LogError);
            continue;
        }
        if (record.mMessage.empty() && record.mCommand.empty())
        {
            console.Log(entry + "neither Message nor Command, skipped", LogError);
            continue;
        }
        if (record.mArgument.size() >= ParamBlock::kStringSlot)
        {
            console.Log(entry + "Argument longer than " + std::to_string(ParamBlock::kStringSlot - 1) +
                            " bytes, skipped",
                        LogError);
            continue;
        }
        binding.mKey = key->mKey;
        binding.mOtherKey = key->mOtherKey;
        binding.mMessage = record.mMessage;
        binding.mArgument = record.mArgument;
        binding.mCommand = record.mCommand;
        set->mBindings.push_back(std::move(binding));
    }
    return set;
}

std::shared_ptr<const ControlSet> FindControlSet(const std::string& name)
{
    // No file named: a map without bindings, which is no error.
    static const std::shared_ptr<const ControlSet> none = std::make_shared<ControlSet>();
    if (name.empty())
        return none;
    auto& sets = SharedSets();
    if (auto it = sets.find(name); it != sets.end())
        return it->second;
    const bool absolute = std::filesystem::path(name).is_absolute();
    const std::string fileName = absolute ? name : Console::Instance().GetConfigFolder() + name;
    std::shared_ptr<const ControlSet> set = ReadControlSet(fileName);
    sets.emplace(name, set);
    return set;
}

void ForgetControlSets() { SharedSets().clear(); }
