#pragma once
#include <cstdint>
#include <string>

#include "LOOM/calls/CogDirectory.h"
#include "gui/Widget.h"

class CogFactory;
class SkinModel;

// Shows a skinned model in the widget's box: the widget makes its own cog (a Positional and
// a SkinModel) beside its owner, keeps it out of the scene's lists, animates it on the core
// clock and draws it over the GUI; a drag turns it. "SetModel" and "SetModelMaterial" change
// the model and its material.
class ModelView : public Widget, public CogIdListener
{
public:
    ModelView() = default;
    ~ModelView() override;
    void Serialize(Serializer& s) override;
    void Update(float dt) override;
    void Render(GuiSystem& gui) override;
    bool Message(const std::string& message, const std::string& argument) override;
    void OnMouseDown() override;
    void OnMouseMove() override;
    void OnMouseUp() override { mDragging = false; }

    void ForgetCog(uint32_t id) override;
    void ForgetAllCogs() override;

    // The cog the view shows, made on first use; null when it cannot be made.
    Cog* GetModelCog();
    SkinModel* GetSkinModel();
    void SetModelFile(std::string file) { mModelFile = std::move(file); }
    float GetYaw() const { return mYaw; }

private:
    void Turn();

    std::string mModelFile;
    // A skinned model loads its material and shader when it is made: both need a file.
    std::string mMaterialFile = "Materials/Green.xml";
    std::string mShader = "BasicSkin";
    // World units that fill the box's height; the model's origin sits at the box's bottom.
    float mModelHeight = 2.5f;
    uint32_t mCogId = 0;
    CogFactory* mFactory = nullptr;
    bool mWarned = false;
    bool mDragging = false;
    float mLastX = 0.0f;
    float mYaw = 0.0f;
};
