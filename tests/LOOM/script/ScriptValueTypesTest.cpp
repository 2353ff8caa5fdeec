#include <algorithm>
#include <cmath>

#include "LOOM/math/Random.h"
#include "tests/LOOM/support/ScriptTestSupport.h"

using ScriptValueTypesTest = ScriptTest;

namespace {
// Runs a chunk expected to fail; the error it logs last must contain the text.
void ExpectError(const std::string& code, const std::string& text)
{
    const uint32_t mark = ScriptTest::LogMark();
    EXPECT_FALSE(ScriptTest::Run(code)) << code;
    const std::vector<std::string> logged = ScriptTest::LoggedSince(mark);
    EXPECT_NE((logged.empty() ? std::string() : logged.back()).find(text), std::string::npos) << code;
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
    ExpectError("Vector3({})", "number expected");
}

TEST_F(ScriptValueTypesTest, Vector_KeysReadByFirstCharacter)
{
    ASSERT_TRUE(Run("V = Vector3(7, 8, 9)"));
    ExpectNumbers({{"V.xyz", 7.0}, {"V[0]", 7.0}, {"V[1]", 8.0}, {"V['2']", 9.0}, {"V.zebra", 9.0}});
    ExpectNil({"V.q", "V[true]", "V[nil]", "V[3]"});
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
    ExpectNumbers({{"V.x", 1.0}, {"V.y", 2.0}, {"V.z", 3.0}});
    ExpectError("V.x = 'abc'", "number expected");
}

TEST_F(ScriptValueTypesTest, Vector_Arithmetic)
{
    ASSERT_TRUE(Run("A = Vector3(1, 2, 3) + Vector3(4, 5, 6) S = Vector3(1, 2, 3) - Vector3(4, 5, 6) "
                    "M = Vector3(1, 2, 3) * 2 D = Vector3(2, 4, 6) / 2 Z = Vector3(1, 2, 3) * nil"));
    ExpectNumbers({{"A.z", 9.0}, {"S.x", -3.0}, {"M.y", 4.0}, {"D.z", 3.0}, {"Z.Mag", 0.0}});
    // The vector stands first.
    ExpectError("local v = 2 * Vector3(1, 1, 1)", "rVector3 expected");
    ExpectError("local v = Vector3() + 1", "rVector3 expected");
    ExpectError("local v = Vector3() - Color()", "rVector3 expected");
}

TEST_F(ScriptValueTypesTest, Color_KeysByFirstCharacter)
{
    ASSERT_TRUE(Run("C = Color(0.25, 0.5, 0.75, 1)"));
    ExpectNumbers({{"C.alpha", 1.0}, {"C.red", 0.25}, {"C[1]", 0.5}, {"C.blue", 0.75}});
    ExpectNil({"C.q", "C[false]"});
    ASSERT_TRUE(Run("C.a = 0 C[0] = 0.125 C.q = 9"));
    ExpectNumbers({{"C.a", 0.0}, {"C.r", 0.125}, {"Color().a", 0.0}});
}

TEST_F(ScriptValueTypesTest, Quat_BuiltAndIndexedInOneOrderWithEveryComponentReachable)
{
    ASSERT_TRUE(Run("Q = Quat(1, 2, 3, 4)"));
    ExpectNumbers({{"Q.w", 1.0}, {"Q.x", 2.0}, {"Q.y", 3.0}, {"Q.z", 4.0}});
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Number("Q[" + std::to_string(i) + "]"), double(i + 1));
    ASSERT_TRUE(Run("Q.w = 10 Q[3] = 40 Q.q = 99"));
    ExpectNumbers({{"Q[0]", 10.0}, {"Q.z", 40.0}});
    EXPECT_EQ(TypeOf("Q.q"), "nil");

    // The engine's own quaternions read the same way.
    ASSERT_TRUE(Run("R = AxisAngle(Vector3(0, 1, 0), math.pi)"));
    EXPECT_NEAR(Number("R.w"), 0.0, 1e-6);
    EXPECT_NEAR(Number("R.y"), 1.0, 1e-6);
    EXPECT_EQ(Number("AxisAngle(Vector3(0, 1, 0)).w"), 1.0); // missing angle is 0
    ASSERT_TRUE(Run("F = FromDirection(Vector3(0, 0, -1))"));
    EXPECT_NEAR(Number("math.abs(F.w)"), 1.0, 1e-6);
    ExpectError("AxisAngle(5, 1)", "rVector3 expected");
}

TEST_F(ScriptValueTypesTest, Config_DefaultsFlagsAndTruncation)
{
    ASSERT_TRUE(Run("C = GameConfig()"));
    ExpectNumbers({{"C.ScreenWidth", 800.0}, {"C.ScreenHeight", 600.0}, {"C.Quality", 3.0}});
    EXPECT_TRUE(True("C.Vsync == true and C.Fullscreen == false and C.AntiAliasing == false"));
    EXPECT_TRUE(True("C.InvaderSpeech == true and C.Shadows == true"));

    ASSERT_TRUE(Run("C.Vsync = 0 C.Shadows = nil C.ScreenWidth = 1024.9 C.Quality = -1.5 C.Unknown = 5"));
    EXPECT_TRUE(True("C.Vsync == true"));
    EXPECT_TRUE(True("C.Shadows == false"));
    ExpectNumbers({{"C.ScreenWidth", 1024.0}, {"C.Quality", -1.0}});
    ExpectNil({"C.Unknown", "C.screenwidth"}); // keys are exact

    ASSERT_TRUE(Run("D = InitConfigCopy(C) D.ScreenHeight = 1"));
    ExpectNumbers({{"D.ScreenWidth", 1024.0}, {"C.ScreenHeight", 600.0}});
    ExpectError("InitConfigCopy(Vector3())", "rConfig expected");
    ExpectError("C.ScreenWidth = 'wide'", "number expected");
    // A number the field would wrap is refused, and the field keeps its value.
    ExpectError("C.ScreenWidth = 3e9",
                "the rConfig field ScreenWidth takes a number from -2147483648 to 2147483647, "
                "not 3000000000");
    ExpectError("C.ScreenHeight = -1/0", "the rConfig field ScreenHeight takes a number");
    ExpectError("C.Quality = 0/0", "the rConfig field Quality takes a number");
    ExpectNumbers({{"C.ScreenWidth", 1024.0}, {"C.ScreenHeight", 600.0}, {"C.Quality", -1.0}});
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
    ExpectError("getmetatable(Vector3()).__index(Color(), 'x')", "rVector3 expected");
    ExpectError("getmetatable(Color()).__newindex(GameConfig(), 'r', 1)", "rColor expected");
}
