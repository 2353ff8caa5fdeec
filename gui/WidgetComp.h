#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "LOOM/cogs/Comp.h"

class CompFactory;
class Widget;

// Holds one widget tree, loaded from its widget file when the cog is initialised; the widgets'
// messages go to this cog. Drawn by "Layer" (higher over lower), then in creation order.
class WidgetComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 11;
    static CompFactory* Factory();

    WidgetComp();
    ~WidgetComp() override;
    void Serialize(Serializer& s) override;
    // Loads the widget file, then runs the script file.
    void Initialize() override;
    std::string GetTypeName() override { return "WidgetComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void SetActive(bool active) { mActive = active; }
    bool IsActive() const { return mActive; }
    bool FindWidget(std::string name, Widget*& out);
    Widget* Find(const std::string& name);
    // Unknown widgets and messages are logged once each and ignored.
    void Message(std::string widget, std::string message, std::string argument);
    void SetGuiFloat(std::string widget, float value);
    // closeCurrent: the window opened last is hidden first.
    void OpenWindow(std::string name, bool closeCurrent);
    void CloseWindow(std::string name);
    void PlayWidgetAnimation(std::string widget, std::string animation);

    Widget* GetRoot() const { return mRoot.get(); }
    void SetRoot(std::unique_ptr<Widget> root);
    int32_t GetLayer() const { return mLayer; }
    uint64_t GetOrder() const { return mOrder; }
    const std::string& GetWidgetFile() const { return mWidgetFile; }
    void SetWidgetFile(std::string file) { mWidgetFile = std::move(file); }
    void SetScriptFile(std::string file) { mScriptFile = std::move(file); }
    void SetLayer(int32_t layer) { mLayer = layer; }
    const std::string& GetCurrentWindow() const { return mCurrentWindow; }

private:
    // Each missing widget and each refused message is logged once; a repeat costs a lookup.
    void WarnOnce(std::set<std::string>& seen, const std::string& key, const char* what);

    std::string mWidgetFile;
    std::string mScriptFile;
    int32_t mLayer = 0;
    bool mActive = true;
    std::unique_ptr<Widget> mRoot;
    uint64_t mOrder = 0;
    std::string mCurrentWindow;
    std::set<std::string> mMissingWidgets;
    std::set<std::string> mRefusedMessages;
};
