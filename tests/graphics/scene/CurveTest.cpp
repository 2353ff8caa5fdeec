#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/FileUtils.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/scene/path/ColorStream.h"
#include "graphics/scene/path/Path.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/input/LogProbe.h"

namespace {

constexpr float kPi = 3.14159265358979323846f;

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

std::string PointFile(uint32_t count, const std::vector<Vector3>& points)
{
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &count, 4);
    for (const Vector3& p : points)
        bytes.append(reinterpret_cast<const char*>(&p), 12);
    return bytes;
}

// Data path on a temporary folder for file-backed paths and streams.
class CurveFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mOld = GetDataPath();
        SetDataPath(mDir.Path() + "/");
    }
    void TearDown() override { SetDataPath(mOld); }

    TempDir mDir;
    std::string mOld;
};

} // namespace

TEST(PathTest, CircleHasFortyOnePointsAndChordLength)
{
    for (const char* name : {"circle", "circleback"})
    {
        Path path;
        path.Load(name);
        ASSERT_EQ(path.GetPointCount(), 41u) << name;
        const std::vector<PathPoint>& points = path.GetPoints();
        const Vector3 first = name[6] == '\0' ? Vector3(0, 10, 0) : Vector3(0, -10, 0);
        ExpectNear(points.front().mPosition, first, 1e-4f);
        ExpectNear(points.back().mPosition, points.front().mPosition, 1e-4f);
        double chords = 0.0;
        for (size_t i = 0; i + 1 < points.size(); ++i)
            chords += (points[i + 1].mPosition - points[i].mPosition).Length();
        EXPECT_NEAR(path.GetTotalLength(), chords, 1e-3);
        // Forty chords of a radius-10 circle fall just short of its circumference.
        EXPECT_LT(path.GetTotalLength(), 2.0f * kPi * 10.0f);
        EXPECT_GT(path.GetTotalLength(), 2.0f * kPi * 10.0f - 0.1f);
        EXPECT_TRUE(path.IsSmooth());
        // Smoothed tangents stay in the circle's plane and point along it.
        for (const PathPoint& p : points)
        {
            EXPECT_NEAR(p.mTangent.x, 0.0f, 1e-5f);
            EXPECT_NEAR(DotProduct(p.mTangent.Normalized(), p.mPosition) / 10.0f, 0.0f, 0.05f);
        }
        // Halfway round is the opposite side.
        ExpectNear(path.PointAtFraction(0.5f), first * -1.0f, 0.01f);
    }
}

TEST(PathTest, StraightLineTangentsFollowTheLine)
{
    Path path;
    path.AddPoint(Vector3(0, 0, 0));
    path.AddPoint(Vector3(2, 0, 0));
    path.AddPoint(Vector3(5, 0, 0));
    path.Build();
    for (const PathPoint& p : path.GetPoints())
        ExpectNear(p.mTangent, Vector3(1, 0, 0), 1e-5f);
    EXPECT_FLOAT_EQ(path.GetTotalLength(), 5.0f);
    EXPECT_FLOAT_EQ(path.GetPoints()[1].mStart, 2.0f);
    EXPECT_FLOAT_EQ(path.GetPoints()[1].mLength, 3.0f);
    EXPECT_FLOAT_EQ(path.GetPoints()[2].mLength, 0.0f);
    // Along a straight line the curve stays on it.
    for (float d = 0.0f; d <= 5.0f; d += 0.25f)
    {
        const Vector3 p = path.PointAtDistance(d);
        EXPECT_NEAR(p.y, 0.0f, 1e-5f);
        EXPECT_NEAR(p.z, 0.0f, 1e-5f);
    }
}

TEST(PathTest, PointAtDistanceGivesEveryControlPointAtItsStart)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(-50.0f, 50.0f);
    for (uint32_t n = 2; n <= 200; ++n)
    {
        Path path;
        for (uint32_t i = 0; i < n; ++i)
            path.AddPoint(Vector3(coord(rng), coord(rng), coord(rng)));
        path.Build();
        for (uint32_t i = 0; i < n; ++i)
        {
            const PathPoint& p = path.GetPoints()[i];
            const Vector3 got = path.PointAtDistance(p.mStart);
            ASSERT_NEAR((got - p.mPosition).Length(), 0.0f, 1e-3f) << "points " << n << " index " << i;
        }
        // Beyond either end the curve holds its end points.
        ExpectNear(path.PointAtDistance(-10.0f), path.GetPoints().front().mPosition, 1e-4f);
        ExpectNear(path.PointAtDistance(path.GetTotalLength() + 10.0f), path.GetPoints().back().mPosition, 1e-3f);
    }
}

TEST(PathTest, PointAtFractionWalksPastAHundredSegments)
{
    Path path;
    for (int i = 0; i <= 150; ++i)
        path.AddPoint(Vector3(static_cast<float>(i), 0, 0));
    path.Build();
    ExpectNear(path.PointAtFraction(1.0f), Vector3(150, 0, 0), 1e-3f);
    ExpectNear(path.PointAtFraction(0.9f), Vector3(135, 0, 0), 1e-3f);
    ExpectNear(path.PointAtFraction(0.0f), Vector3(0, 0, 0), 1e-5f);
}

TEST(PathTest, DegeneratePathsGiveFinitePoints)
{
    Path empty;
    empty.Build();
    EXPECT_EQ(empty.PointAtDistance(3.0f), Vector3());
    EXPECT_EQ(empty.PointAtFraction(0.5f), Vector3());

    Path single;
    single.AddPoint(Vector3(1, 2, 3));
    single.Build();
    EXPECT_EQ(single.PointAtDistance(3.0f), Vector3(1, 2, 3));

    // Repeated points make zero-length segments.
    Path repeated;
    for (const Vector3& p : {Vector3(1, 1, 1), Vector3(1, 1, 1), Vector3(4, 1, 1), Vector3(4, 1, 1), Vector3(4, 1, 1)})
        repeated.AddPoint(p);
    repeated.SetSmooth(true);
    repeated.Build();
    for (const PathPoint& p : repeated.GetPoints())
        EXPECT_TRUE(Finite(p.mTangent));
    for (float d = -1.0f; d <= 4.0f; d += 0.1f)
        EXPECT_TRUE(Finite(repeated.PointAtDistance(d))) << d;
    for (float t = 0.0f; t <= 1.0f; t += 0.05f)
        EXPECT_TRUE(Finite(repeated.PointAtFraction(t))) << t;
    ExpectNear(repeated.PointAtDistance(3.0f), Vector3(4, 1, 1), 1e-5f);
}

TEST_F(CurveFiles, PointFilesLoadWholeOrNotAtAll)
{
    const std::vector<Vector3> three = {Vector3(0, 0, 0), Vector3(0, 0, 4), Vector3(3, 0, 4)};
    mDir.Write("three.pth", PointFile(3, three));
    mDir.Write("short.pth", PointFile(5, three));
    mDir.Write("empty.pth", PointFile(0, {}));
    mDir.Write("stub.pth", std::string("\x02\x00", 2));

    Path good;
    good.Load("three.pth");
    ASSERT_EQ(good.GetPointCount(), 3u);
    EXPECT_FLOAT_EQ(good.GetTotalLength(), 7.0f);
    ExpectNear(good.PointAtDistance(4.0f), Vector3(0, 0, 4), 1e-5f);
    EXPECT_FALSE(good.IsSmooth());

    struct Case
    {
        const char* file;
        const char* line;
    };
    for (const Case& c :
         {Case{"short.pth", "the file is shorter than its point count"},
          Case{"stub.pth", "the file is shorter than its point count"}, Case{"missing.pth", "cannot read"}})
    {
        LogProbe log;
        Path path;
        path.Load(c.file);
        EXPECT_EQ(path.GetPointCount(), 0u) << c.file;
        EXPECT_EQ(path.PointAtDistance(1.0f), Vector3()) << c.file;
        EXPECT_EQ(log.Count(std::string("Path ") + c.file + ": " + c.line), 1) << c.file;
    }
    LogProbe log;
    Path empty;
    empty.Load("empty.pth");
    EXPECT_EQ(empty.GetPointCount(), 0u);
    EXPECT_EQ(log.Count("Path empty.pth:"), 0);
}

namespace {
const char* kStream = R"(<?xml version="1.0" encoding="UTF-8"?>
<Stream version="2.0">
	<ColorStream>
		<bool name="Looping">%s</bool>
		<list name="ColorKeys" size="3" type="ColorKey">
			<ColorKey>
				<real name="Time">0</real>
				<color name="Color"><real name="Red">0</real><real name="Green">0</real><real name="Blue">0</real><real name="Alpha">1</real></color>
			</ColorKey>
			<ColorKey>
				<real name="Time">1</real>
				<color name="Color"><real name="Red">1</real><real name="Green">0</real><real name="Blue">0</real><real name="Alpha">1</real></color>
			</ColorKey>
			<ColorKey>
				<real name="Time">2</real>
				<color name="Color"><real name="Red">1</real><real name="Green">1</real><real name="Blue">0</real><real name="Alpha">0</real></color>
			</ColorKey>
		</list>
	</ColorStream>
</Stream>
)";

std::string StreamText(bool looping)
{
    char buffer[4096];
    std::snprintf(buffer, sizeof(buffer), kStream, looping ? "true" : "false");
    return buffer;
}

void ExpectColor(const Color& c, float r, float g, float b, float a)
{
    EXPECT_NEAR(c.r, r, 1e-5f);
    EXPECT_NEAR(c.g, g, 1e-5f);
    EXPECT_NEAR(c.b, b, 1e-5f);
    EXPECT_NEAR(c.a, a, 1e-5f);
}
} // namespace

TEST_F(CurveFiles, ColorStreamEvaluatesLoopedAndHeld)
{
    ColorStream looping;
    ASSERT_TRUE(looping.Load(mDir.Write("loop.xml", StreamText(true))));
    ASSERT_TRUE(looping.Looping);
    ASSERT_EQ(looping.ColorKeys.size(), 3u);
    ExpectColor(looping.Evaluate(0.5f), 0.5f, 0, 0, 1);
    ExpectColor(looping.Evaluate(2.5f), 0.5f, 0, 0, 1);
    ExpectColor(looping.Evaluate(4.5f), 0.5f, 0, 0, 1);
    ExpectColor(looping.Evaluate(1.5f, 1), 1, 0.5f, 0, 0.5f);
    ExpectColor(looping.Evaluate(1000.25f), 0.25f, 0, 0, 1);

    ColorStream held;
    ASSERT_TRUE(held.Load(mDir.Write("held.xml", StreamText(false))));
    EXPECT_FALSE(held.Looping);
    ExpectColor(held.Evaluate(2.5f), 1, 1, 0, 0);
    ExpectColor(held.Evaluate(99.0f), 1, 1, 0, 0);
    // Before the first key the first segment extrapolates.
    ExpectColor(held.Evaluate(-1.0f), -1, 0, 0, 1);

    // Rate to key 1 from black at t 0.5: one unit of red over half a second.
    ExpectColor(held.RateToKey(Color(0, 0, 0, 1), 0.5f, 1), 2, 0, 0, 0);
    ExpectColor(held.RateToKey(Color(0, 0, 0, 1), 1.0f, 1), 0, 0, 0, 0);
}

TEST_F(CurveFiles, ColorStreamEdgesStayFinite)
{
    ColorStream none;
    ExpectColor(none.Evaluate(3.0f), 1, 1, 1, 1);

    // One key at time 0, looping: nothing to wrap over.
    ColorStream single;
    single.Looping = true;
    single.ColorKeys.push_back({0.0f, Color(0.2f, 0.4f, 0.6f, 0.8f)});
    ExpectColor(single.Evaluate(5.0f), 0.2f, 0.4f, 0.6f, 0.8f);

    // Two keys at one time.
    ColorStream same;
    same.ColorKeys.push_back({1.0f, Color(0, 0, 0, 0)});
    same.ColorKeys.push_back({1.0f, Color(1, 1, 1, 1)});
    same.ColorKeys.push_back({2.0f, Color(1, 1, 1, 1)});
    const Color c = same.Evaluate(1.0f);
    EXPECT_TRUE(std::isfinite(c.r) && std::isfinite(c.a));

    LogProbe log;
    ColorStream broken;
    EXPECT_FALSE(broken.Load(mDir.Write("broken.xml", "<Stream><ColorStream><bool name=\"Looping\">tr")));
    EXPECT_FALSE(broken.Load(mDir.Path("nothing.xml")));
    EXPECT_GE(log.Count("broken.xml"), 1);
    EXPECT_GE(log.Count("nothing.xml"), 1);
}

TEST(PathStoreTest, TheLoomsStoreSharesBuiltInCircles)
{
    std::unique_ptr<GraphicsLoom> loom(GraphicsLoom::Create());
    Path* circle = loom->Stores().Paths().Get("circle");
    Path* again = loom->Stores().Paths().Get("circle");
    Path* back = loom->Stores().Paths().Get("circleback");
    EXPECT_EQ(circle, again);
    EXPECT_NE(circle, back);
    EXPECT_EQ(circle->GetRefCount(), 3u);
    EXPECT_EQ(circle->GetPointCount(), 41u);
    ExpectNear(back->PointAtDistance(0.0f), Vector3(0, -10, 0), 1e-4f);
    const int asserts = AssertFailureCount();
    circle->Release();
    again->Release();
    back->Release();
    loom.reset();
    EXPECT_EQ(AssertFailureCount(), asserts);
}
