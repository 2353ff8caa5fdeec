#include "LOOM/math/Quat.h"

#include "LOOM/math/MathUtil.h"
#include "LOOM/math/Matrix4.h"
#include "tests/LOOM/support/MathTestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {
bool IsFinite(const Quat& q)
{
    return std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z);
}

float Norm(const Quat& q) { return std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z); }

// A vector of the cube [-range, range] long enough to have a direction.
Vector3 RandomDirection(std::mt19937& rng, float range)
{
    std::uniform_real_distribution<float> u(-range, range);
    for (;;)
    {
        const Vector3 d(u(rng), u(rng), u(rng));
        if (d.Length() >= 1e-3f)
            return d;
    }
}
} // namespace

TEST(Quat, DefaultIsIdentity)
{
    EXPECT_EQ(Quat(), Quat(1.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_TRUE(MatrixNear(Quat().ToMatrix(), Matrix4::Identity(), 0.0f));
}

TEST(Quat, Normalize_TinyQuaternionBecomesIdentity)
{
    Quat q(0.001f, 0.0f, 0.0f, 0.0f);
    q.Normalize();
    EXPECT_EQ(q, Quat(1.0f, 0.0f, 0.0f, 0.0f));

    Quat zero(0.0f, 0.0f, 0.0f, 0.0f);
    zero.Normalize();
    EXPECT_EQ(zero, Quat());
}

TEST(Quat, Normalize_ScalesToUnitLength)
{
    Quat q(2.0f, 0.0f, -2.0f, 1.0f);
    q.Normalize();
    EXPECT_TRUE(QuatNear(q, Quat(2.0f / 3.0f, 0.0f, -2.0f / 3.0f, 1.0f / 3.0f), 1e-6f));
}

TEST(Quat, Inverse_ZeroQuaternionGivesZero)
{
    EXPECT_EQ(Quat(0.0f, 0.0f, 0.0f, 0.0f).Inverse(), Quat(0.0f, 0.0f, 0.0f, 0.0f));
}

TEST(Quat, Inverse_TimesOriginalIsIdentityEvenUnnormalised)
{
    const Quat q(1.0f, 2.0f, -3.0f, 0.5f);
    EXPECT_TRUE(QuatNear(q.Multiply(q.Inverse()), Quat(), 1e-6f));
    EXPECT_TRUE(QuatNear(q.Inverse().Multiply(q), Quat(), 1e-6f));
}

TEST(Quat, Multiply_HamiltonProductOfBasisElements)
{
    const Quat i(0.0f, 1.0f, 0.0f, 0.0f), j(0.0f, 0.0f, 1.0f, 0.0f), k(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(i.Multiply(j), k);
    EXPECT_EQ(j.Multiply(k), i);
    EXPECT_EQ(k.Multiply(i), j);
    EXPECT_EQ(j.Multiply(i), k.Scaled(-1.0f));
    EXPECT_EQ(i.Multiply(i), Quat(-1.0f, 0.0f, 0.0f, 0.0f));
}

TEST(Quat, Multiply_ChainsLikeRowVectorMatrices)
{
    std::mt19937 rng(7);
    for (int n = 0; n < 200; ++n)
    {
        const Quat a = RandomUnitQuat(rng);
        const Quat b = RandomUnitQuat(rng);
        EXPECT_TRUE(MatrixNear(a.Multiply(b).ToMatrix(), a.ToMatrix() * b.ToMatrix(), 1e-5f));

        const Vector3 v(0.3f, -1.2f, 2.0f);
        Vector3 stepwise = v;
        a.RotateVector(stepwise);
        b.RotateVector(stepwise);
        Vector3 combined = v;
        a.Multiply(b).RotateVector(combined);
        EXPECT_TRUE(VectorNear(combined, stepwise, 1e-5f));
    }
}

TEST(Quat, AddAndScale_ComponentWise)
{
    const Quat a(1.0f, 2.0f, 3.0f, 4.0f);
    EXPECT_EQ(a.Add(Quat(0.5f, -1.0f, 0.0f, 1.0f)), Quat(1.5f, 1.0f, 3.0f, 5.0f));
    EXPECT_EQ(a.Scaled(2.0f), Quat(2.0f, 4.0f, 6.0f, 8.0f));
    EXPECT_EQ(ScaledQuat(-1.0f, a), Quat(-1.0f, -2.0f, -3.0f, -4.0f));
    Quat s;
    s.Set(4.0f, 3.0f, 2.0f, 1.0f);
    EXPECT_EQ(s, Quat(4.0f, 3.0f, 2.0f, 1.0f));
}

TEST(Quat, FromAxisAngle_UsesAxisAsGiven)
{
    const Quat q = Quat::FromAxisAngle(Vector3(0.0f, 2.0f, 0.0f), PI);
    EXPECT_NEAR(q.w, 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(q.y, 2.0f);
    EXPECT_FLOAT_EQ(q.x, 0.0f);
}

TEST(Quat, ToMatrix_ElementsOfQuarterTurnAboutY)
{
    const Quat q = Quat::FromAxisAngle(Vector3(0.0f, 1.0f, 0.0f), HALF_PI);
    const Matrix4 m = q.ToMatrix();
    Matrix4 expected;
    MakeRotationY(expected, HALF_PI);
    EXPECT_TRUE(MatrixNear(m, expected, 1e-6f));
    EXPECT_NEAR(m.m[2], 1.0f, 1e-6f);
    EXPECT_NEAR(m.m[8], -1.0f, 1e-6f);
    EXPECT_EQ(m.m[3], 0.0f);
    EXPECT_EQ(m.m[12], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);
}

TEST(Quat, FromMatrix_RoundTripsRandomUnitQuaternions)
{
    std::mt19937 rng(12345);
    for (int n = 0; n < 5000; ++n)
    {
        const Quat q = RandomUnitQuat(rng);
        const Quat back = Quat::FromMatrix(q.ToMatrix());
        // q and -q are the same rotation; the matrix cannot tell them apart.
        const Quat expected = q.w >= 0.0f ? q : q.Scaled(-1.0f);
        ASSERT_TRUE(QuatNear(back, expected, 2e-5f)) << "sample " << n;
    }
}

TEST(Quat, FromMatrix_HalfTurnsTakeTheDiagonalBranch)
{
    // Half turns have trace -1, so the conversion must pick the largest diagonal element.
    const Vector3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.6f, 0.8f, 0}, {0, 0.6f, -0.8f}, {-0.8f, 0, 0.6f}};
    for (const Vector3& axis : axes)
    {
        const Quat q = Quat::FromAxisAngle(axis, PI);
        const Quat back = Quat::FromMatrix(q.ToMatrix());
        const float sameSign = back.x * q.x + back.y * q.y + back.z * q.z >= 0.0f ? 1.0f : -1.0f;
        EXPECT_TRUE(QuatNear(back.Scaled(sameSign), q, 1e-5f));
        EXPECT_NEAR(Norm(back), 1.0f, 1e-5f);
    }
}

TEST(Quat, FromMatrix_OfRotationYMatchesAxisAngle)
{
    for (float angle : {-2.5f, -0.3f, 0.0f, 0.7f, 2.0f, 3.0f})
    {
        Matrix4 r;
        MakeRotationY(r, angle);
        EXPECT_TRUE(QuatNear(Quat::FromMatrix(r), Quat::FromAxisAngle(Vector3(0, 1, 0), angle), 1e-5f)) << angle;
    }
}

TEST(Quat, RotateInto_UndoesRotateVector)
{
    std::mt19937 rng(99);
    for (int n = 0; n < 200; ++n)
    {
        const Quat q = RandomUnitQuat(rng);
        const Vector3 v(1.5f, -0.25f, 0.75f);
        Vector3 turned = v;
        q.RotateVector(turned);
        Vector3 back;
        q.RotateInto(back, turned);
        EXPECT_TRUE(VectorNear(back, v, 1e-5f));
        EXPECT_NEAR(turned.Length(), v.Length(), 1e-5f);
    }
}

TEST(Quat, RotateVector_UsesMatrixAsRowVector)
{
    const Quat q = Quat::FromAxisAngle(Vector3(0, 1, 0), HALF_PI);
    Vector3 v(1.0f, 0.0f, 0.0f);
    q.RotateVector(v);
    // x' = x cos - z sin, z' = x sin + z cos.
    EXPECT_TRUE(VectorNear(v, Vector3(0.0f, 0.0f, 1.0f), 1e-6f));
}

TEST(Quat, GetForward_IsTurnedMinusZ)
{
    EXPECT_EQ(Quat().GetForward(), Vector3(0.0f, 0.0f, -1.0f));
    const Quat q = Quat::FromAxisAngle(Vector3(0, 1, 0), HALF_PI);
    EXPECT_TRUE(VectorNear(q.GetForward(), Vector3(1.0f, 0.0f, 0.0f), 1e-6f));
}

TEST(Quat, Slerp_EqualEndsReturnFrom)
{
    const Quat q = Quat::FromAxisAngle(Vector3(0.0f, 0.6f, 0.8f), 0.9f);
    Quat out(0.0f, 0.0f, 0.0f, 0.0f);
    Quat::Slerp(out, 0.37f, q, q);
    EXPECT_EQ(out, q);
}

TEST(Quat, Slerp_EndsAndMidpoint)
{
    const Quat from = Quat::FromAxisAngle(Vector3(0, 1, 0), 0.2f);
    const Quat to = Quat::FromAxisAngle(Vector3(0, 1, 0), 1.4f);
    Quat out;
    Quat::Slerp(out, 0.0f, from, to);
    EXPECT_TRUE(QuatNear(out, from, 1e-6f));
    Quat::Slerp(out, 1.0f, from, to);
    EXPECT_TRUE(QuatNear(out, to, 1e-6f));
    Quat::Slerp(out, 0.5f, from, to);
    EXPECT_TRUE(QuatNear(out, Quat::FromAxisAngle(Vector3(0, 1, 0), 0.8f), 1e-6f));
}

TEST(Quat, Slerp_TakesShorterArcAndAllowsAliasing)
{
    const Quat from = Quat::FromAxisAngle(Vector3(1, 0, 0), 0.4f);
    const Quat to = Quat::FromAxisAngle(Vector3(1, 0, 0), 1.0f);
    Quat out = from;
    // -to is the same rotation; the result must still run the short way (through +to).
    Quat::Slerp(out, 0.5f, out, to.Scaled(-1.0f));
    EXPECT_TRUE(QuatNear(out, Quat::FromAxisAngle(Vector3(1, 0, 0), 0.7f), 1e-6f));
}

TEST(Quat, Slerp_DotRoundedPastOneStaysFinite)
{
    const Quat q = Quat::FromAxisAngle(Vector3(0.0f, 0.6f, 0.8f), 0.9f);
    const Quat bigger = q.Scaled(1.0000005f);
    ASSERT_GT(q.w * bigger.w + q.x * bigger.x + q.y * bigger.y + q.z * bigger.z, 1.0f);
    Quat out;
    Quat::Slerp(out, 0.5f, q, bigger);
    EXPECT_TRUE(IsFinite(out));
    Quat::Slerp(out, 0.5f, q, bigger.Scaled(-1.0f));
    EXPECT_TRUE(IsFinite(out));
    EXPECT_EQ(out, q);
}

TEST(Quat, FromDirection_ForwardPointsAlongDirection)
{
    std::mt19937 rng(2024);
    for (int n = 0; n < 2000; ++n)
    {
        const Vector3 d = RandomDirection(rng, 10.0f);
        const Quat q = Quat::FromDirection(d);
        ASSERT_TRUE(IsFinite(q));
        EXPECT_NEAR(Norm(q), 1.0f, 1e-5f);
        EXPECT_TRUE(VectorNear(q.GetForward(), d.Normalized(), 2e-5f)) << "sample " << n;
    }
}

TEST(Quat, FromDirection_HasNoRoll)
{
    std::mt19937 rng(31);
    for (int n = 0; n < 500; ++n)
    {
        Vector3 side(1.0f, 0.0f, 0.0f);
        Quat::FromDirection(RandomDirection(rng, 1.0f)).RotateVector(side);
        EXPECT_NEAR(side.y, 0.0f, 2e-5f);
    }
}

TEST(Quat, FromDirection_AxesAndStraightAhead)
{
    EXPECT_TRUE(QuatNear(Quat::FromDirection(0.0f, 0.0f, -1.0f), Quat(), 1e-6f));
    const Vector3 axes[] = {{0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, -5}};
    for (const Vector3& d : axes)
        EXPECT_TRUE(VectorNear(Quat::FromDirection(d).GetForward(), d.Normalized(), 1e-6f));
}

TEST(Quat, FromDirection_NearVerticalStaysFiniteAndAccurate)
{
    const Vector3 directions[] = {
        {1e-6f, 1.0f, 0.0f},  {0.0f, 1.0f, 1e-6f},    {0.0f, 1.0f, -1e-6f},   {-1e-7f, -1.0f, 1e-7f},
        {1e-20f, 1.0f, 0.0f}, {-1e-30f, -1.0f, 0.0f}, {0.0f, -1.0f, -1e-30f}, {3e-4f, -2.0f, -4e-4f},
        {1e-3f, 1.0f, 1e-3f}, {0.0f, 1e-7f, -1.0f},   {1e-38f, 1e-38f, 0.0f},
    };
    for (const Vector3& d : directions)
    {
        const Quat q = Quat::FromDirection(d);
        ASSERT_TRUE(IsFinite(q)) << d.x << " " << d.y << " " << d.z;
        EXPECT_NEAR(Norm(q), 1.0f, 1e-5f);
        EXPECT_TRUE(VectorNear(q.GetForward(), d.Normalized(), 2e-5f)) << d.x << " " << d.y << " " << d.z;
    }
}

TEST(Quat, FromDirection_ZeroDirectionIsFinite) { EXPECT_TRUE(IsFinite(Quat::FromDirection(0.0f, 0.0f, 0.0f))); }
