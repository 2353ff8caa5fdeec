#include "gui/widgets/ModelView.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Quat.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/model/Mesh.h"
#include "graphics/scene/SkinModel.h"
#include "gui/WidgetLayer.h"
#include "gui/widgets/Widgets.h"

namespace {

constexpr const char* kTypeName = "GuiModelView";
// Radians a drag across the whole screen width turns the model.
constexpr float kTurnPerUnit = 3.14159265f;
// Room left round a fitted model: a tenth of its size.
constexpr float kFitMargin = 1.1f;

} // namespace

ModelView::~ModelView()
{
    if (!mFactory)
        return;
    mFactory->RemoveIdListener(this);
    if (Cog* cog = mCogId ? mFactory->GetCog(mCogId) : nullptr)
        mFactory->Destroy(cog);
}

void ModelView::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    SerializeImage(s);
    s.SerializeDataFile("ModelFile", mModelFile);
    s.SerializeDataFile("MaterialFile", mMaterialFile);
    s.SerializeString("Shader", mShader);
    s.SerializeRealField("ModelHeight", mModelHeight);
    if (!(mModelHeight > 0.0f))
        mModelHeight = 2.5f;
}

void ModelView::ForgetCog(uint32_t id)
{
    if (id == mCogId)
        mCogId = 0;
}

void ModelView::ForgetAllCogs() { mCogId = 0; }

Cog* ModelView::GetModelCog()
{
    if (mFactory && mCogId)
        if (Cog* cog = mFactory->GetCog(mCogId))
            return cog;
    mCogId = 0;
    Cog* owner = GetOwner();
    if (!owner || mModelFile.empty())
        return nullptr;
    CogFactory& factory = owner->GetComposer().GetCogFactory();
    if (mFactory != &factory)
    {
        if (mFactory)
            mFactory->RemoveIdListener(this);
        mFactory = &factory;
        mFactory->AddIdListener(this);
    }
    CompFactory* positional = factory.Types().GetComponentFactory(1);
    CompFactory* skin = factory.Types().GetComponentFactory(SkinModel::kTypeId);
    if (!positional || !skin)
    {
        if (!mWarned)
            Console::Instance().Log("ModelView " + mName + ": no Positional or SkinModel type to show a model with",
                                    LogError);
        mWarned = true;
        return nullptr;
    }
    if (!factory.Types().FindType(kTypeName))
    {
        auto type = std::make_shared<Composer>(factory, kTypeName, "");
        type->AddComponent(1, positional);
        type->AddComponent(SkinModel::kTypeId, skin);
        factory.Types().RegisterType(kTypeName, type);
    }
    Cog* cog = factory.Instantiate(kTypeName);
    if (!cog)
        return nullptr;
    auto* model = cog->Get<SkinModel>();
    model->MeshFileName = mModelFile;
    model->SkelFileName = mModelFile;
    model->GetAnimation().FileAnimations = {mModelFile};
    model->FileMaterial = mMaterialFile;
    model->FileShader = mShader;
    cog->Initialize();
    // Drawn by this widget only, never by the scene.
    if (GraphicsScene* scene = GraphicsScene::Current())
        scene->RemoveModel(model);
    cog->Get<Positional>()->SetOrientation(Quat::FromAxisAngle(Vector3(0, 1, 0), mYaw));
    mCogId = cog->GetID();
    return cog;
}

SkinModel* ModelView::GetSkinModel()
{
    Cog* cog = GetModelCog();
    return cog ? cog->Get<SkinModel>() : nullptr;
}

bool ModelView::Message(const std::string& message, const std::string& argument)
{
    if (message == "SetModel")
    {
        mModelFile = argument;
        if (SkinModel* model = GetSkinModel())
            if (model->MeshFileName != argument)
                model->SetModelFile(argument);
        return true;
    }
    if (message == "SetModelMaterial")
    {
        mMaterialFile = argument;
        if (SkinModel* model = GetSkinModel())
            model->SetMaterial(argument);
        return true;
    }
    return Widget::Message(message, argument);
}

void ModelView::Update(float dt)
{
    // Out of the scene there is no queue to animate it: the view does, camera or not.
    if (SkinModel* model = GetSkinModel())
        model->GetAnimation().Update(dt);
    Widget::Update(dt);
}

void ModelView::OnMouseDown()
{
    float y = 0.0f;
    WidgetLayer::MousePosition(mLastX, y);
    mDragging = true;
}

void ModelView::OnMouseMove()
{
    if (mDragging)
        Turn();
}

void ModelView::Turn()
{
    float x = 0.0f, y = 0.0f;
    WidgetLayer::MousePosition(x, y);
    mYaw += (x - mLastX) * kTurnPerUnit;
    mLastX = x;
    if (Cog* cog = GetModelCog())
        cog->Get<Positional>()->SetOrientation(Quat::FromAxisAngle(Vector3(0, 1, 0), mYaw));
}

void ModelView::Render(GuiSystem& gui)
{
    GuiPainter& painter = gui.Painter();
    DrawImage(gui, mColor);
    GraphicsDevice* device = painter.GetDevice();
    GraphicsLoom* loom = GraphicsLoom::Instance();
    SkinModel* model = GetSkinModel();
    if (device && loom && model && mBox.mHeight > 0.0f)
    {
        // The quads and text so far go first; the model is drawn over them in the box.
        painter.Flush();
        const float height = float(gui.Units().mHeight), width = float(gui.Units().mWidth);
        float left = 0.0f, top = 0.0f;
        gui.ScreenToClip(gui.Units().GuiToPixelX(mBox.mX), gui.Units().GuiToPixelY(mBox.mY), left, top);
        float right = 0.0f, bottom = 0.0f;
        gui.ScreenToClip(gui.Units().GuiToPixelX(mBox.mX + mBox.mWidth),
                         gui.Units().GuiToPixelY(mBox.mY - mBox.mHeight), right, bottom);
        // The model's own bounds fit the box, turned any way about its upright axis, with a margin
        // for its animations; a model without bounds is taken as the stored height.
        float fit = mModelHeight, base = 0.0f;
        if (const Mesh* mesh = model->GetMesh())
        {
            const Vector3& lo = mesh->mBoxCorner1;
            const Vector3& hi = mesh->mBoxCorner2;
            const float tall = hi.y - lo.y;
            const float reach = std::max({std::fabs(lo.x), std::fabs(hi.x), std::fabs(lo.z), std::fabs(hi.z)});
            const float boxWidth = (right - left) * width, boxHeight = (top - bottom) * height;
            if (tall > 0.0f && boxWidth > 0.0f)
            {
                fit = std::max(tall, 2.0f * reach * boxHeight / boxWidth) * kFitMargin;
                base = lo.y - tall * (kFitMargin - 1.0f) * 0.5f;
            }
        }
        const float scaleY = (top - bottom) / fit;
        const float scaleX = scaleY * height / width;
        Matrix4 viewProjection;
        viewProjection.FromPosScale(Vector3((left + right) * 0.5f, bottom - base * scaleY, 0.5f),
                                    Vector3(scaleX, scaleY, 0.1f));
        FrameMatrices& frame = loom->GetShaderControl().Frame();
        const Matrix4 saved = frame.mViewProjectionAlt;
        frame.mViewProjectionAlt = viewProjection;
        device->Clear(ClearZBuffer, 0, 1.0f, 0);
        // A solid model with depth, not a blended quad.
        RenderStates& states = device->States();
        states.mBlendEnable = false;
        states.mDepthEnable = true;
        states.mDepthWrite = true;
        model->RenderWithWorld(*device);
        frame.mViewProjectionAlt = saved;
        painter.RestoreRenderStates();
    }
    RenderChildren(gui);
}
