#include <gtest/gtest.h>

#include "LOOM/math/Vector3.h"
#include "LOOM/serial/FieldRecorder.h"

namespace {
struct Recorded
{
    int32_t mInt = 0;
    float mReal = 0.0f;
    std::string mText;
    Vector3 mPosition;
    uint32_t mUint = 0;
    std::vector<std::string> mFiles;
    bool mFlag = false;
    int32_t mAgain = 0;
    struct Group
    {
        int32_t mInner = 0;
    } mGroup;

    void Serialize(Serializer& s)
    {
        const char* typeName = "Recorded";
        s.SerializeNamed("name", typeName);
        s.SerializeInt("Int", mInt);
        s.SerializeRealField("Real", mReal);
        s.SerializeString("Text", mText);
        s.SerializeVector("Position", mPosition);
        if (s.BeginField("uint", "Uint", true, TypeUInt, &mUint))
        {
            s.Serialize(mUint);
            s.EndField("uint", true);
        }
        s.SerializeFileListField("Files", mFiles);
        s.SerializeBoolField("Flag", mFlag);
        s.SerializeInt("Int", mAgain); // a second field of the same name
        if (s.BeginField("group", "Group", false, 201, &mGroup))
        {
            s.SerializeInt("Inner", mGroup.mInner);
            s.EndField("group", false);
        }
    }
};

using Fields = std::map<std::string, FieldRecorder::FieldRecord>;
} // namespace

TEST(FieldRecorder, RecordsPlainFieldsWithCodeAndOffset)
{
    Recorded object;
    FieldRecorder recorder;
    recorder.SetBase(&object);
    object.Serialize(recorder);

    const Fields& fields = recorder.GetFields();
    EXPECT_EQ(recorder.GetTypeName(), "Recorded");
    const auto offsetOf = [&object](const void* member) {
        return static_cast<size_t>(static_cast<const char*>(member) - reinterpret_cast<const char*>(&object));
    };
    const auto expect = [&fields](const char* name, uint32_t code, size_t offset) {
        auto it = fields.find(name);
        ASSERT_NE(it, fields.end()) << name;
        EXPECT_EQ(it->second.mCode, code) << name;
        EXPECT_EQ(it->second.mOffset, offset) << name;
    };
    expect("Int", TypeInt, offsetOf(&object.mInt)); // the first record of a name stays
    expect("Real", TypeFloat, offsetOf(&object.mReal));
    expect("Text", TypeString, offsetOf(&object.mText));
    expect("Position", TypeVector, offsetOf(&object.mPosition));
    expect("Flag", TypeBool, offsetOf(&object.mFlag));
    expect("Inner", TypeInt, offsetOf(&object.mGroup));
    // Vector members, uint fields and lists are not recorded.
    EXPECT_EQ(fields.count("x"), 0u);
    EXPECT_EQ(fields.count("Uint"), 0u);
    EXPECT_EQ(fields.count("Files"), 0u);
    EXPECT_EQ(fields.size(), 6u);
}

TEST(FieldRecorder, RecordingTwiceLeavesTheTableUnchanged)
{
    Recorded object;
    FieldRecorder recorder("ignored.xml");
    recorder.SetBase(&object);
    object.Serialize(recorder);
    const Fields first = recorder.GetFields();
    object.Serialize(recorder);
    EXPECT_EQ(recorder.GetFields().size(), first.size());
    for (const auto& [name, record] : first)
    {
        EXPECT_EQ(recorder.GetFields().at(name).mOffset, record.mOffset);
        EXPECT_EQ(recorder.GetFields().at(name).mCode, record.mCode);
    }
}

TEST(FieldRecorder, NestedObjectsAreNotEntered)
{
    struct Outer
    {
        Recorded mInner;
        float mValue = 0.0f;
        void Serialize(Serializer& s)
        {
            s.SerializeObject(mInner);
            s.SerializeRealField("Value", mValue);
        }
    } outer;
    FieldRecorder recorder;
    recorder.SetBase(&outer);
    outer.Serialize(recorder);
    EXPECT_TRUE(recorder.IsGood());
    EXPECT_FALSE(recorder.IsSaving());
    ASSERT_EQ(recorder.GetFields().size(), 1u);
    EXPECT_EQ(recorder.GetFields().begin()->first, "Value");
}
