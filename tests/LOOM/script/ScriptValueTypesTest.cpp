#include <algorithm>
#include <cmath>

#include "LOOM/math/Random.h"
#include "tests/LOOM/support/ScriptTestSupport.h"

using ScriptValueTypesTest = ScriptTest;

namespace {
// Runs a chunk expected to fail; returns the logged error.
std::string ErrorOf(const std::string& code)
{
    const uint32_t mark = ScriptTest::LogMark();
    EXPECT_FALSE(ScriptTest::Run(code)) << code;
    const std::vector<std::string> logged = ScriptTest::LoggedSince(mark);
    return logged.empty() ? std::string() : logged.back();
}
} // namespace

TEST_F(ScriptValueTypesTest, Vector_ConstructorFillsMissingWithZero)
{
    struct Case
    {
        const char* mMake;
        double mX, mY, mZ;
    };
    const Case cases[] = {
        {"Vector3(1, 2)", 1, 2, 0},
        {"Vector3()", 0, 0, 0},
        {"Vector3(nil, 5, nil)", 0, 5, 0},
        {"Vector3(-1.5, 2.5, 3.5)", -1.5, 2.5, 3.5},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(Run(std::string("V = ") + c.mMake)) << c.mMake;
        EXPECT_EQ(Number("V.x"), c.mX) << c.mMake;
        EXPECT_EQ(Number("V.y"), c.mY) << c.mMake;
        EXPECT_EQ(Number("V.z"), c.mZ) << c.mMake;
    }
    EXPECT_NE(ErrorOf("Vector3({})").find("number expected"), std::string::npos);
}

TEST_F(ScriptValueTypesTest, Vector_KeysReadByFirstCharacter)
{
    ASSERT_TRUE(Run("V = Vector3(7, 8, 9)"));
    EXPECT_EQ(Number("V.xyz"), 7.0);
    EXPECT_EQ(Number("V[0]"), 7.0);
    EXPECT_EQ(Number("V[1]"), 8.0);
    EXPECT_EQ(Number("V['2']"), 9.0);
    EXPECT_EQ(Number("V.zebra"), 9.0);
    EXPECT_EQ(TypeOf("V.q"), "nil");
    EXPECT_EQ(TypeOf("V[true]"), "nil");
    EXPECT_EQ(TypeOf("V[nil]"), "nil");
    EXPECT_EQ(TypeOf("V[3]"), "nil");
}

TEST_F(ScriptValueTypesTest, Vector_MagAndNorm)
{
    EXPECT_EQ(Number("Vector3(3, 4, 0).Mag"), 5.0);
    ASSERT_TRUE(Run("Z = Vector3() Z.Norm(Z) N = Vector3(0, 3, 4) N:Norm()"));
    EXPECT_EQ(Number("Z.Mag"), 0.0);
    EXPECT_NEAR(Number("N.y"), 0.6, 1e-6);
    EXPECT_NEAR(Number("N.z"), 0.8, 1e-6);
    EXPECT_EQ(TypeOf("Vector3().Norm"), "function");
}

TEST_F(ScriptValueTypesTest, Vector_AssignmentByFirstCharacterIgnoresOtherKeys)
{
    ASSERT_TRUE(Run("V = Vector3() V.x = 1 V[1] = 2 V.zed = 3 V.q = 4 V[true] = 5"));
    EXPECT_EQ(Number("V.x"), 1.0);
    EXPECT_EQ(Number("V.y"), 2.0);
    EXPECT_EQ(Number("V.z"), 3.0);
    EXPECT_NE(ErrorOf("V.x = 'abc'").find("number expected"), std::string::npos);
}

TEST_F(ScriptValueTypesTest, Vector_Arithmetic)
{
    ASSERT_TRUE(Run("A = Vector3(1, 2, 3) + Vector3(4, 5, 6) S = Vector3(1, 2, 3) - Vector3(4, 5, 6) "
                    "M = Vector3(1, 2, 3) * 2 D = Vector3(2, 4, 6) / 2 Z = Vector3(1, 2, 3) * nil"));
    EXPECT_EQ(Number("A.z"), 9.0);
    EXPECT_EQ(Number("S.x"), -3.0);
    EXPECT_EQ(Number("M.y"), 4.0);
    EXPECT_EQ(Number("D.z"), 3.0);
    EXPECT_EQ(Number("Z.Mag"), 0.0);
    // The vector stands first.
    EXPECT_NE(ErrorOf("local v = 2 * Vector3(1, 1, 1)").find("rVector3 expected"), std::string::npos);
    EXPECT_NE(ErrorOf("local v = Vector3() + 1").find("rVector3 expected"), std::string::npos);
    EXPECT_NE(ErrorOf("local v = Vector3() - Color()").find("rVector3 expected"), std::string::npos);
}

TEST_F(ScriptValueTypesTest, Color_KeysByFirstCharacter)
{
    ASSERT_TRUE(Run("C = Color(0.25, 0.5, 0.75, 1)"));
    EXPECT_EQ(Number("C.alpha"), 1.0);
    EXPECT_EQ(Number("C.red"), 0.25);
    EXPECT_EQ(Number("C[1]"), 0.5);
    EXPECT_EQ(Number("C.blue"), 0.75);
    EXPECT_EQ(TypeOf("C.q"), "nil");
    EXPECT_EQ(TypeOf("C[false]"), "nil");
    ASSERT_TRUE(Run("C.a = 0 C[0] = 0.125 C.q = 9"));
    EXPECT_EQ(Number("C.a"), 0.0);
    EXPECT_EQ(Number("C.r"), 0.125);
    EXPECT_EQ(Number("Color().a"), 0.0);
}

TEST_F(ScriptValueTypesTest, Quat_BuiltAndIndexedInOneOrderWithEveryComponentReachable)
{
    ASSERT_TRUE(Run("Q = Quat(1, 2, 3, 4)"));
    EXPECT_EQ(Number("Q.w"), 1.0);
    EXPECT_EQ(Number("Q.x"), 2.0);
    EXPECT_EQ(Number("Q.y"), 3.0);
    EXPECT_EQ(Number("Q.z"), 4.0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Number("Q[" + std::to_string(i) + "]"), double(i + 1));
    ASSERT_TRUE(Run("Q.w = 10 Q[3] = 40 Q.q = 99"));
    EXPECT_EQ(Number("Q[0]"), 10.0);
    EXPECT_EQ(Number("Q.z"), 40.0);
    EXPECT_EQ(TypeOf("Q.q"), "nil");

    // The engine's own quaternions read the same way.
    ASSERT_TRUE(Run("R = AxisAngle(Vector3(0, 1, 0), math.pi)"));
    EXPECT_NEAR(Number("R.w"), 0.0, 1e-6);
    EXPECT_NEAR(Number("R.y"), 1.0, 1e-6);
    EXPECT_EQ(Number("AxisAngle(Vector3(0, 1, 0)).w"), 1.0); // missing angle is 0
    ASSERT_TRUE(Run("F = FromDirection(Vector3(0, 0, -1))"));
    EXPECT_NEAR(Number("math.abs(F.w)"), 1.0, 1e-6);
    EXPECT_NE(ErrorOf("AxisAngle(5, 1)").find("rVector3 expected"), std::string::npos);
}

TEST_F(ScriptValueTypesTest, Config_DefaultsFlagsAndTruncation)
{
    ASSERT_TRUE(Run("C = GameConfig()"));
    EXPECT_EQ(Number("C.ScreenWidth"), 800.0);
    EXPECT_EQ(Number("C.ScreenHeight"), 600.0);
    EXPECT_EQ(Number("C.Quality"), 3.0);
    EXPECT_TRUE(True("C.Vsync == true and C.Fullscreen == false and C.AntiAliasing == false"));
    EXPECT_TRUE(True("C.InvaderSpeech == true and C.Shadows == true"));

    ASSERT_TRUE(Run("C.Vsync = 0 C.Shadows = nil C.ScreenWidth = 1024.9 C.Quality = -1.5 C.Unknown = 5"));
    EXPECT_TRUE(True("C.Vsync == true"));
    EXPECT_TRUE(True("C.Shadows == false"));
    EXPECT_EQ(Number("C.ScreenWidth"), 1024.0);
    EXPECT_EQ(Number("C.Quality"), -1.0);
    EXPECT_EQ(TypeOf("C.Unknown"), "nil");
    EXPECT_EQ(TypeOf("C.screenwidth"), "nil"); // keys are exact

    ASSERT_TRUE(Run("D = InitConfigCopy(C) D.ScreenHeight = 1"));
    EXPECT_EQ(Number("D.ScreenWidth"), 1024.0);
    EXPECT_EQ(Number("C.ScreenHeight"), 600.0);
    EXPECT_NE(ErrorOf("InitConfigCopy(Vector3())").find("rConfig expected"), std::string::npos);
    EXPECT_NE(ErrorOf("C.ScreenWidth = 'wide'").find("number expected"), std::string::npos);
}

TEST_F(ScriptValueTypesTest, RandVector_UnitLengthWithinTheConeAboutUp)
{
    RandomSeed(5);
    // The deviation from up splits into offsets a and b with cos(angle) = cos(a) cos(b): the
    // angle is at most the deviation and least when a = b = deviation / sqrt(2).
    const double least = std::acos(std::pow(std::cos(0.3 * M_PI / std::sqrt(2.0)), 2.0));
    for (int i = 0; i < 200; ++i)
    {
        ASSERT_TRUE(Run("R = RandVector()"));
        EXPECT_NEAR(Number("R.Mag"), 1.0, 1e-4);
        const double angle = std::acos(std::clamp(Number("R.y"), -1.0, 1.0));
        EXPECT_GE(angle, least - 1e-3);
        EXPECT_LE(angle, 0.6 * M_PI + 1e-3);
    }
}

TEST_F(ScriptValueTypesTest, Metamethods_RejectForeignUserdata)
{
    // Metatables are reachable from scripts; a metamethod handed another type raises, not crashes.
    EXPECT_NE(ErrorOf("getmetatable(Vector3()).__index(Color(), 'x')").find("rVector3 expected"), std::string::npos);
    EXPECT_NE(ErrorOf("getmetatable(Color()).__newindex(GameConfig(), 'r', 1)").find("rColor expected"),
              std::string::npos);
}
