#include <gtest/gtest.h>

#include <algorithm>

#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/space/QTree.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/device/Image.h"
#include "graphics/scene/SceneComponents.h"
#include "graphics/scene/SkinModel.h"
#include "gui/widgets/ModelView.h"
#include "tests/graphics/LoomWindowFixture.h"
#include "tests/gui/GuiFixture.h"

// The graphics loom with the GUI system and its widget layer, the scene's component types and
// a widget component whose root is a model view of the invader.
class ModelViewTest : public LoomWindowFixture
{
protected:
    static constexpr uint32_t kGrey = 0xFF808080;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow(RepoDataFolder()));
        ASSERT_TRUE(mTree.Allocate(5));
        ASSERT_TRUE(mTree.BuildTree(512.0f));
        mIo.reset(IOLoom::Create());
        mIo->Init();
        mCogs = std::make_unique<CogFactory>();
        RegisterPositional(*mCogs);
        mCogs->Types().RegisterComponent(SkinModel::kTypeId, SceneComponentFactory(SkinModel::kTypeId));
        mCogs->Types().RegisterComponent(WidgetComp::kTypeId, WidgetComp::Factory());
        auto type = std::make_shared<Composer>(*mCogs, "Menu", "");
        type->AddComponent(WidgetComp::kTypeId, WidgetComp::Factory());
        mCogs->Types().RegisterType("Menu", type);
        RegisterGuiWidgetTypes();
        GraphicsLoom::SetGuiMaker(&GuiSystem::Make);
        GuiSystem::SetLayerMaker(&WidgetLayer::Make);
        ASSERT_NO_FATAL_FAILURE(StartLoom());
        mIo->SetScreenSize(mLoom->GetScreenWidth(), mLoom->GetScreenHeight());

        mMenu = mCogs->Instantiate("Menu");
        mMenu->SetName("MainMenu");
        mMenu->Initialize();
        auto view = std::make_unique<ModelView>();
        view->SetName("InvaderModel");
        view->SetModelFile("Models/Invader.lmf");
        view->SetColor(Color(0.0f, 0.0f, 0.0f, 0.0f));
        view->SetGuiPosition(-0.5f, 0.5f);
        view->SetGuiSize(1.0f, 1.0f);
        Widgets().SetRoot(std::move(view));
        mView = static_cast<ModelView*>(Widgets().Find("InvaderModel"));
    }

    void TearDown() override
    {
        if (mCogs)
            mCogs->DestroyAll();
        mCogs.reset();
        mLoom.reset();
        GraphicsLoom::SetGuiMaker(nullptr);
        GuiSystem::SetLayerMaker(nullptr);
        mIo.reset();
        CloseWindow();
    }

    WidgetComp& Widgets() { return *mMenu->Get<WidgetComp>(); }

    Image Frame()
    {
        mLoom->Update();
        Image image;
        EXPECT_TRUE(mLoom->GetDevice()->ReadBack(nullptr, image));
        return image;
    }

    // Pixels off the clear colour inside and outside a rectangle.
    static std::pair<int, int> Drawn(const Image& image, const Rect& box)
    {
        int inside = 0, outside = 0;
        for (uint32_t y = 0; y < image.mHeight; ++y)
            for (uint32_t x = 0; x < image.mWidth; ++x)
                if (image.GetARGB(x, y) != kGrey)
                {
                    const bool in =
                        int(x) >= box.mLeft && int(x) < box.mRight && int(y) >= box.mTop && int(y) < box.mBottom;
                    ++(in ? inside : outside);
                }
        return {inside, outside};
    }

    QTree mTree;
    std::unique_ptr<IOLoom> mIo;
    std::unique_ptr<CogFactory> mCogs;
    Cog* mMenu = nullptr;
    ModelView* mView = nullptr;
};

TEST_F(ModelViewTest, ShowsItsOwnCogInItsBoxOutsideTheScene)
{
    SkinModel* skin = mView->GetSkinModel();
    ASSERT_NE(skin, nullptr);
    ASSERT_TRUE(skin->IsUsable());
    const auto& models = mLoom->GetScene()->mModels;
    EXPECT_EQ(std::find(models.begin(), models.end(), static_cast<Renderable*>(skin)), models.end());
    GuiSystem* gui = mLoom->GetGui()->AsGuiSystem();
    ASSERT_NE(gui, nullptr);
    const Rect box = gui->Units().BoxToPixels(mView->GetBox());
    const auto [inside, outside] = Drawn(Frame(), box);
    EXPECT_GT(inside, 500);
    EXPECT_EQ(outside, 0);
    // Hidden with its window: nothing drawn.
    Widgets().CloseWindow("InvaderModel");
    EXPECT_EQ(Drawn(Frame(), box).first, 0);
}

TEST_F(ModelViewTest, MessagesAnimationAndDragTurnIt)
{
    SkinModel* skin = mView->GetSkinModel();
    ASSERT_NE(skin, nullptr);
    Widgets().Message("InvaderModel", "SetModelMaterial", "Materials/Red.xml");
    EXPECT_NE(skin->GetMaterialPtr(), nullptr);
    Widgets().Message("InvaderModel", "SetModel", "Models/Invader.lmf");
    EXPECT_EQ(skin->MeshFileName, "Models/Invader.lmf");

    // Animated without any camera.
    skin->GetAnimation().SetAnimationByName("Attack", true);
    const float before = skin->GetAnimation().CurTime;
    mView->Update(0.25f);
    EXPECT_GT(skin->GetAnimation().CurTime, before);

    // A drag to the right turns the model about its up axis.
    Positional& place = *mView->GetModelCog()->Get<Positional>();
    const Quat start = place.GetOrientation();
    GuiSystem* gui = mLoom->GetGui()->AsGuiSystem();
    const Rect box = gui->Units().BoxToPixels(mView->GetBox());
    const int cx = (box.mLeft + box.mRight) / 2, cy = (box.mTop + box.mBottom) / 2;
    mIo->HandleEvent(InputEvents::Motion(cx, cy));
    mIo->Update();
    mIo->HandleEvent(InputEvents::Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, cx, cy));
    mIo->Update();
    gui->Update();
    mIo->HandleEvent(InputEvents::Motion(cx + 80, cy));
    mIo->Update();
    gui->Update();
    EXPECT_GT(mView->GetYaw(), 0.1f);
    EXPECT_FALSE(place.GetOrientation().w == start.w && place.GetOrientation().y == start.y);
}

TEST_F(ModelViewTest, ItsCogGoesWithTheWidgetAndARestartIsForgotten)
{
    ASSERT_NE(mView->GetModelCog(), nullptr);
    const size_t cogs = mCogs->GetCogCount();
    Widgets().SetRoot(nullptr);
    mCogs->ProcessDestroyList();
    EXPECT_EQ(mCogs->GetCogCount(), cogs - 1);

    auto view = std::make_unique<ModelView>();
    view->SetName("Again");
    view->SetModelFile("Models/Invader.lmf");
    Widgets().SetRoot(std::move(view));
    auto* again = static_cast<ModelView*>(Widgets().Find("Again"));
    ASSERT_NE(again->GetModelCog(), nullptr);
    // Every cog goes at once, the widget's owner among them: nothing dangles.
    mCogs->DestroyAll();
    EXPECT_EQ(mCogs->GetCogCount(), 0u);
}
