#pragma once
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

// Every loom is the one instance from Create() until it is deleted, and answers to its two names.
// `whileAlive` adds a loom's own checks before the deletion.
template <typename LoomType>
void ExpectInstanceFromCreateToDelete(const std::string& name, const std::string& typeName,
                                      const std::function<void(LoomType&)>& whileAlive = {})
{
    std::unique_ptr<LoomType> loom(LoomType::Create());
    ASSERT_NE(loom, nullptr);
    EXPECT_EQ(LoomType::Instance(), loom.get());
    EXPECT_EQ(loom->GetName(), name);
    EXPECT_EQ(loom->GetTypeName(), typeName);
    if (whileAlive)
        whileAlive(*loom);
    loom.reset();
    EXPECT_EQ(LoomType::Instance(), nullptr);
}
