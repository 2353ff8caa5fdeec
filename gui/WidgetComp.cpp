#include "gui/WidgetComp.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/serial/Serializer.h"
#include "gui/Widget.h"
#include "gui/WidgetFile.h"
#include "gui/WidgetLayer.h"

namespace {

uint64_t sNextOrder = 1;

class WidgetCompFactory : public CompFactoryOf<WidgetComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        constexpr uint32_t id = WidgetComp::kTypeId;
        composer.BindMessage("SetActive", MakeCompFunctor(id, &WidgetComp::SetActive));
        composer.BindMessage("Message", MakeCompFunctor(id, &WidgetComp::Message));
        composer.BindMessage("SetGuiFloat", MakeCompFunctor(id, &WidgetComp::SetGuiFloat));
        composer.BindMessage("OpenWindow", MakeCompFunctor(id, &WidgetComp::OpenWindow));
        composer.BindMessage("CloseWindow", MakeCompFunctor(id, &WidgetComp::CloseWindow));
        composer.BindMessage("PlayWidgetAnimation", MakeCompFunctor(id, &WidgetComp::PlayWidgetAnimation));
    }
};

WidgetCompFactory gWidgetCompFactory;

} // namespace

CompFactory* WidgetComp::Factory() { return &gWidgetCompFactory; }

WidgetComp::WidgetComp() : mOrder(sNextOrder++) { WidgetLayer::AddComp(this); }

WidgetComp::~WidgetComp()
{
    WidgetLayer::RemoveComp(this);
    mRoot.reset();
}

void WidgetComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeDataFile("WidgetFile", mWidgetFile);
    s.SerializeFile("ScriptFile", mScriptFile);
    s.SerializeInt("Layer", mLayer);
    s.SerializeBoolField("Active", mActive);
}

void WidgetComp::Initialize()
{
    if (!mWidgetFile.empty())
        SetRoot(LoadWidgetFile(mWidgetFile, mOwner));
    if (!mScriptFile.empty() && gCoreEngine)
        gCoreEngine->GetScriptManager().RunScript(mScriptFile);
}

void WidgetComp::SetRoot(std::unique_ptr<Widget> root)
{
    if (mRoot)
        WidgetLayer::DeleteLater(std::move(mRoot));
    mRoot = std::move(root);
    if (mRoot && mOwner)
        mRoot->SetOwner(mOwner->GetID());
}

void WidgetComp::WarnOnce(std::set<std::string>& seen, const std::string& key, const char* what)
{
    if (seen.count(key))
        return;
    seen.insert(key);
    Console::Instance().Log("WidgetComp " + (mOwner ? mOwner->GetName() : std::string()) + ": " + what + key, LogError);
}

Widget* WidgetComp::Find(const std::string& name) { return mRoot ? mRoot->FindWidget(name) : nullptr; }

bool WidgetComp::FindWidget(std::string name, Widget*& out)
{
    out = Find(name);
    return out != nullptr;
}

void WidgetComp::Message(std::string widget, std::string message, std::string argument)
{
    Widget* target = Find(widget);
    if (!target)
        return WarnOnce(mMissingWidgets, widget, "no widget ");
    if (!target->Message(message, argument))
        WarnOnce(mRefusedMessages, message, "a widget does not know the message ");
}

void WidgetComp::SetGuiFloat(std::string widget, float value)
{
    if (Widget* target = Find(widget))
        target->SetGuiFloat(value);
    else
        WarnOnce(mMissingWidgets, widget, "no widget ");
}

void WidgetComp::OpenWindow(std::string name, bool closeCurrent)
{
    Widget* window = Find(name);
    if (!window)
        return WarnOnce(mMissingWidgets, name, "no window ");
    if (closeCurrent && !mCurrentWindow.empty() && mCurrentWindow != name)
        if (Widget* current = Find(mCurrentWindow))
            current->Message("Hide", std::string());
    mCurrentWindow = name;
    window->Message("Show", std::string());
}

void WidgetComp::CloseWindow(std::string name)
{
    if (Widget* window = Find(name))
        window->Message("Hide", std::string());
    else
        WarnOnce(mMissingWidgets, name, "no window ");
}

void WidgetComp::PlayWidgetAnimation(std::string widget, std::string animation)
{
    if (Widget* target = Find(widget))
        target->PlayAnimation(animation);
    else
        WarnOnce(mMissingWidgets, widget, "no widget ");
}
