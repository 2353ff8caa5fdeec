#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "InputEvents.h"
#include "input/IOLoom.h"

// A started IO loom on an 800 x 600 screen, fed events directly.
class IOLoomFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mLoom.reset(IOLoom::Create());
        ASSERT_NE(mLoom, nullptr);
        mLoom->Init();
        mLoom->SetScreenSize(800, 600);
    }

    void Feed(const SDL_Event& event) { mLoom->HandleEvent(event); }

    std::unique_ptr<IOLoom> mLoom;
};
