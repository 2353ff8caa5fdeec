#include <gtest/gtest.h>

#include "LOOM/serial/BinaryLoader.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLSaver.h"
#include "tests/LOOM/support/AllFieldsRecord.h"
#include "tests/LOOM/support/SerialTestUtil.h"

namespace {

template <typename T>
void SaveXml(const std::string& path, const char* recordName, T& record)
{
    XMLSaver saver(path);
    ASSERT_TRUE(saver.IsGood());
    SerializeElement(saver, recordName, TypeElement, record);
    saver.Close();
}

template <typename T>
bool LoadXml(const std::string& path, const char* recordName, T& record)
{
    XMLLoader loader(path);
    SerializeElement(loader, recordName, TypeElement, record);
    return loader.IsGood();
}
} // namespace

TEST(SerializeRoundTrip, EveryFieldKindXmlToObjectToXmlIsByteForByte)
{
    AllFields record;
    ASSERT_TRUE(LoadXml(kAllFields, "AllFields", record));
    EXPECT_EQ(record, MakeAllFields());
    const std::string path = TempPath("all_fields_saved.xml");
    SaveXml(path, "AllFields", record);
    EXPECT_EQ(ReadTextFile(path), ReadTextFile(kAllFields));
}

TEST(SerializeRoundTrip, EveryFieldKindXmlToBinaryToObjectIsEqual)
{
    AllFields fromXml;
    ASSERT_TRUE(LoadXml(kAllFields, "AllFields", fromXml));
    const std::string path = TempPath("all_fields.bin");
    {
        BinarySaver saver(path);
        SerializeElement(saver, "AllFields", TypeElement, fromXml);
    }
    AllFields fromBinary;
    BinaryLoader loader(path);
    fromBinary.Serialize(loader);
    EXPECT_TRUE(loader.IsGood());
    EXPECT_EQ(loader.BytesLeft(), 0u);
    EXPECT_EQ(fromBinary, fromXml);
}

TEST(SerializeRoundTrip, StreamLayoutMatchesTheDocumentedExample)
{
    struct Example
    {
        std::string mMotD = "Hello there";
        int32_t mWindowX = 100;
        bool mShowDebugInfo = false;
        float mScale = 1.5f;
        Vector3 mPosition{1.0f, 2.25f, -3.0f};
        uint32_t mBoundingType = 1;
        std::vector<std::string> mFiles{"a.xml", "b.xml"};
        void Serialize(Serializer& s)
        {
            s.SerializeString("MotD", mMotD);
            s.SerializeInt("WindowX", mWindowX);
            s.SerializeBoolField("ShowDebugInfo", mShowDebugInfo);
            s.SerializeRealField("Scale", mScale);
            s.SerializeVector("Position", mPosition);
            s.SerializeUintEnum("BoundingType", mBoundingType, "BoundingType");
            s.SerializeFileListField("Files", mFiles);
        }
    } example;
    const std::string path = TempPath("example.xml");
    SaveXml(path, "EngineConfig", example);
    EXPECT_EQ(ReadTextFile(path),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<Stream version=\"2.0\">\n"
              "\t<EngineConfig>\n"
              "\t\t<string name=\"MotD\">Hello there</string>\n"
              "\t\t<int name=\"WindowX\">100</int>\n"
              "\t\t<bool name=\"ShowDebugInfo\">false</bool>\n"
              "\t\t<real name=\"Scale\">1.5</real>\n"
              "\t\t<vector name=\"Position\">\n"
              "\t\t\t<real name=\"x\">1</real>\n"
              "\t\t\t<real name=\"y\">2.25</real>\n"
              "\t\t\t<real name=\"z\">-3</real>\n"
              "\t\t</vector>\n"
              "\t\t<uint name=\"BoundingType\" type=\"BoundingType\">1</uint>\n"
              "\t\t<list name=\"Files\" size=\"2\" type=\"file\">\n"
              "\t\t\t<file>a.xml</file>\n"
              "\t\t\t<file>b.xml</file>\n"
              "\t\t</list>\n"
              "\t</EngineConfig>\n"
              "</Stream>");
}

TEST(SerializeRoundTrip, MissingVectorMemberKeepsItsValueAndTheNextIsRead)
{
    XMLLoader loader;
    loader.OpenText(StreamText("<vector name=\"P\">\n<real name=\"x\"/>\n<real name=\"y\">5</real>\n<real "
                               "name=\"z\"></real>\n</vector>"),
                    "vector.xml");
    Vector3 v{1.0f, 2.0f, 3.0f};
    loader.SerializeVector("P", v);
    EXPECT_TRUE(loader.IsGood());
    EXPECT_EQ(v, Vector3(1.0f, 5.0f, 3.0f));
}

TEST(SerializeRoundTrip, QuatIsWrittenXyzwAndLoadsIntoItsMembers)
{
    const std::string path = TempPath("quat.xml");
    Quat q;
    q.w = 4.0f;
    q.x = 1.0f;
    q.y = 2.0f;
    q.z = 3.0f;
    {
        XMLSaver saver(path);
        saver.BeginField("quat", "Q", false, TypeQuat, &q);
        saver.SerializeQuat(q);
        saver.EndField("quat", false);
    }
    EXPECT_EQ(ReadTextFile(path),
              StreamText("\n\t<quat name=\"Q\">\n\t\t<real name=\"x\">1</real>\n\t\t<real "
                         "name=\"y\">2</real>\n\t\t<real name=\"z\">3</real>\n\t\t<real "
                         "name=\"w\">4</real>\n\t</quat>"));
    Quat loaded;
    XMLLoader loader(path);
    if (loader.BeginField("quat", "Q", false, TypeQuat, &loaded))
    {
        loader.SerializeQuat(loaded);
        loader.EndField("quat", false);
    }
    EXPECT_EQ(loaded, q);
}
