#include "LOOM/math/Matrix4.h"

#include "LOOM/math/MathUtil.h"
#include "LOOM/math/Plane.h"
#include "LOOM/math/Quat.h"
#include "tests/LOOM/support/MathTestHelpers.h"

#include <gtest/gtest.h>

#include <random>

namespace {
Matrix4 Sequence()
{
    Matrix4 m;
    for (int i = 0; i < 16; ++i)
        m.m[i] = float(i + 1);
    return m;
}

Matrix4 RandomAffine(std::mt19937& rng)
{
    std::uniform_real_distribution<float> u(-5.0f, 5.0f);
    Matrix4 m;
    m.FromPosQuatScale(Vector3(u(rng), u(rng), u(rng)), RandomUnitQuat(rng),
                       Vector3(0.5f + std::fabs(u(rng)), 0.5f + std::fabs(u(rng)), 0.5f + std::fabs(u(rng))));
    return m;
}
} // namespace

TEST(Matrix4, DefaultIsIdentityAndElementsAreRowMajor)
{
    const Matrix4 id;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(id.m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;

    const Matrix4 m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(m, Sequence());
    EXPECT_EQ(m[6], 7.0f); // row 1, column 2
}

TEST(Matrix4, Translation_LivesInElements12To14)
{
    const Matrix4 t = Matrix4::Translation(Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(t.m[12], 1.0f);
    EXPECT_EQ(t.m[13], 2.0f);
    EXPECT_EQ(t.m[14], 3.0f);
    EXPECT_EQ(t.m[3], 0.0f);
    EXPECT_EQ(t.m[7], 0.0f);
    EXPECT_EQ(t.m[11], 0.0f);
    EXPECT_EQ(t.GetTranslation(), Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(t.TransformPoint(Vector3(10.0f, 20.0f, 30.0f)), Vector3(11.0f, 22.0f, 33.0f));
    // Directions ignore the translation.
    EXPECT_EQ(t.RotateVector(Vector3(10.0f, 20.0f, 30.0f)), Vector3(10.0f, 20.0f, 30.0f));
}

TEST(Matrix4, TransformPoint_IsRowVectorTimesMatrix)
{
    const Matrix4 m = Sequence();
    // (1, 2, 3, 1) x M, column by column.
    EXPECT_EQ(m.TransformPoint(Vector3(1, 2, 3)), Vector3(1 + 10 + 27 + 13, 2 + 12 + 30 + 14, 3 + 14 + 33 + 15));
    EXPECT_EQ(m.RotateVector(Vector3(1, 2, 3)), Vector3(1 + 10 + 27, 2 + 12 + 30, 3 + 14 + 33));
    EXPECT_EQ(m.TransformVector4(1, 2, 3, 0), m.RotateVector(Vector3(1, 2, 3)));
    EXPECT_EQ(m.TransformVector4(1, 2, 3, 2), Vector3(1 + 10 + 27 + 26, 2 + 12 + 30 + 28, 3 + 14 + 33 + 30));

    float v[4] = {1, 2, 3, 1};
    m.TransformVector4(v, v);
    EXPECT_EQ(v[0], 51.0f);
    EXPECT_EQ(v[3], 4 + 16 + 36 + 16.0f);
}

TEST(Matrix4, TransformCoord_DividesByW)
{
    Matrix4 m;
    m.m[11] = 1.0f; // w = z
    m.m[15] = 0.0f;
    EXPECT_TRUE(VectorNear(m.TransformCoord(Vector3(2.0f, 4.0f, 2.0f)), Vector3(1.0f, 2.0f, 1.0f), 1e-6f));
    Matrix4 scaleW;
    scaleW.m[15] = 2.0f;
    EXPECT_EQ(scaleW.TransformCoord(Vector3(2.0f, 4.0f, 6.0f)), Vector3(1.0f, 2.0f, 3.0f));
}

TEST(Matrix4, Multiply_ProductOrderAndAliasing)
{
    const Matrix4 a = Sequence();
    const Matrix4 b = a.Transposed();
    Matrix4 out;
    a.Multiply(b, out);
    // out[i][j] = row i of a . row j of a.
    EXPECT_EQ(out.m[0], 1.0f + 4 + 9 + 16);
    EXPECT_EQ(out.m[1], 1 * 5 + 2 * 6 + 3 * 7 + 4 * 8.0f);
    EXPECT_EQ(out.m[4], out.m[1]);

    // Transforming by a x b is transforming by a, then by b.
    const Matrix4 t = Matrix4::Translation(Vector3(1, 0, 0));
    Matrix4 r;
    MakeRotationY(r, HALF_PI);
    const Vector3 p = (t * r).TransformPoint(Vector3(0, 0, 0));
    EXPECT_TRUE(VectorNear(p, r.TransformPoint(Vector3(1, 0, 0)), 1e-6f));

    Matrix4 aliased = a;
    aliased.Multiply(b, aliased);
    EXPECT_EQ(aliased, out);
    Matrix4 other = b;
    a.Multiply(other, other);
    EXPECT_EQ(other, out);
    Matrix4 inPlace = a;
    inPlace *= b;
    EXPECT_EQ(inPlace, out);
}

TEST(Matrix4, MultiplyAffine_MatchesFullProductForAffineInputs)
{
    std::mt19937 rng(5);
    for (int n = 0; n < 100; ++n)
    {
        const Matrix4 a = RandomAffine(rng);
        const Matrix4 b = RandomAffine(rng);
        Matrix4 out;
        Matrix4::MultiplyAffine(a, b, out);
        EXPECT_TRUE(MatrixNear(out, a * b, 1e-4f));
        Matrix4 pre = b;
        Matrix4::PreMultiplyAffine(a, pre);
        EXPECT_TRUE(MatrixNear(pre, out, 0.0f));
    }
}

TEST(Matrix4, MultiplyAffine_IgnoresProjectiveColumn)
{
    Matrix4 a = Sequence();
    Matrix4 b = Sequence();
    Matrix4 out;
    Matrix4::MultiplyAffine(a, b, out);
    EXPECT_EQ(out.m[3], 0.0f);
    EXPECT_EQ(out.m[7], 0.0f);
    EXPECT_EQ(out.m[11], 0.0f);
    EXPECT_EQ(out.m[15], 1.0f);
    // Translation row: a's translation through b's 3 x 3 part plus b's translation.
    EXPECT_EQ(out.m[12], 13 * 1 + 14 * 5 + 15 * 9 + 13.0f);
}

TEST(Matrix4, Transposed_SwapsRowsAndColumns)
{
    const Matrix4 t = Sequence().Transposed();
    EXPECT_EQ(t.m[1], 5.0f);
    EXPECT_EQ(t.m[4], 2.0f);
    EXPECT_EQ(t.m[12], 4.0f);
    EXPECT_EQ(t.Transposed(), Sequence());
}

TEST(Matrix4, Inverse_RoundTripsRandomAffineAndProjective)
{
    std::mt19937 rng(77);
    for (int n = 0; n < 300; ++n)
    {
        const Matrix4 m = RandomAffine(rng);
        Matrix4 inv;
        ASSERT_TRUE(m.Inverse(inv));
        EXPECT_TRUE(MatrixNear(m * inv, Matrix4::Identity(), 1e-4f));
        EXPECT_TRUE(MatrixNear(inv * m, Matrix4::Identity(), 1e-4f));
        const Vector3 p(1.0f, -2.0f, 3.0f);
        EXPECT_TRUE(VectorNear(inv.TransformPoint(m.TransformPoint(p)), p, 1e-4f));
    }
    const Matrix4 proj = Matrix4::PerspectiveFovLH(0.8f, 1.5f, 1.0f, 1000.0f);
    Matrix4 inv;
    ASSERT_TRUE(proj.Inverse(inv));
    EXPECT_TRUE(MatrixNear(proj * inv, Matrix4::Identity(), 1e-4f));
}

TEST(Matrix4, Inverse_InPlaceAndSingular)
{
    Matrix4 m = Matrix4::Translation(Vector3(4, 5, 6));
    ASSERT_TRUE(m.Inverse(m));
    EXPECT_EQ(m.GetTranslation(), Vector3(-4, -5, -6));

    const Matrix4 singular = Sequence(); // rows in arithmetic progression
    Matrix4 untouched = Matrix4::Translation(Vector3(7, 7, 7));
    EXPECT_FALSE(singular.Inverse(untouched));
    EXPECT_EQ(untouched, Matrix4::Translation(Vector3(7, 7, 7)));
    EXPECT_FALSE(Matrix4::Zero().Inverse(untouched));
}

TEST(Matrix4, Translate_MovesAlongOwnAxes)
{
    Matrix4 m;
    MakeRotationY(m, HALF_PI);
    m.m[12] = 10.0f;
    m.Translate(Vector3(1.0f, 0.0f, 0.0f));
    // Local x is world +z after a quarter turn.
    EXPECT_TRUE(VectorNear(m.GetTranslation(), Vector3(10.0f, 0.0f, 1.0f), 1e-6f));
}

TEST(Matrix4, FromPosQuat_MatchesQuatMatrixWithTranslation)
{
    std::mt19937 rng(3);
    for (int n = 0; n < 200; ++n)
    {
        const Quat q = RandomUnitQuat(rng);
        Matrix4 expected = q.ToMatrix();
        expected.m[12] = 1.0f;
        expected.m[13] = -2.0f;
        expected.m[14] = 3.5f;
        Matrix4 m = Matrix4::Zero();
        m.FromPosQuat(Vector3(1.0f, -2.0f, 3.5f), q);
        EXPECT_TRUE(MatrixNear(m, expected, 1e-5f));
    }
}

TEST(Matrix4, FromPosQuatScale_ScalesRotationRows)
{
    const Quat q = Quat::FromAxisAngle(Vector3(0.0f, 0.6f, 0.8f), 1.1f);
    Matrix4 plain;
    plain.FromPosQuat(Vector3(), q);
    Matrix4 scaled;
    scaled.FromPosQuatScale(Vector3(5, 6, 7), q, Vector3(2.0f, 3.0f, 4.0f));
    for (int col = 0; col < 3; ++col)
    {
        EXPECT_FLOAT_EQ(scaled.m[col], plain.m[col] * 2.0f);
        EXPECT_FLOAT_EQ(scaled.m[4 + col], plain.m[4 + col] * 3.0f);
        EXPECT_FLOAT_EQ(scaled.m[8 + col], plain.m[8 + col] * 4.0f);
    }
    EXPECT_EQ(scaled.GetTranslation(), Vector3(5, 6, 7));
    EXPECT_EQ(scaled.m[15], 1.0f);

    Matrix4 uniform;
    uniform.FromPosQuatUniformScale(Vector3(5, 6, 7), q, 2.5f);
    Matrix4 same;
    same.FromPosQuatScale(Vector3(5, 6, 7), q, Vector3(2.5f, 2.5f, 2.5f));
    EXPECT_EQ(uniform, same);
}

TEST(Matrix4, FromPosScale_DiagonalAndTranslationOnly)
{
    Matrix4 m = Sequence();
    m.FromPosScale(Vector3(1, 2, 3), Vector3(4, 5, 6));
    EXPECT_EQ(m, Matrix4(4, 0, 0, 0, 0, 5, 0, 0, 0, 0, 6, 0, 1, 2, 3, 1));
}

TEST(Matrix4, FromYawPitchRoll_RollThenPitchThenYaw)
{
    const float yaw = 0.7f, pitch = -0.4f, roll = 1.3f;
    Matrix4 m;
    m.FromYawPitchRoll(yaw, pitch, roll);
    const Quat q = Quat::FromAxisAngle(Vector3(0, 0, 1), roll)
                       .Multiply(Quat::FromAxisAngle(Vector3(1, 0, 0), pitch))
                       .Multiply(Quat::FromAxisAngle(Vector3(0, 1, 0), yaw));
    EXPECT_TRUE(MatrixNear(m, q.ToMatrix(), 1e-5f));

    Matrix4 yawOnly;
    yawOnly.FromYawPitchRoll(yaw, 0.0f, 0.0f);
    Matrix4 ry;
    MakeRotationY(ry, yaw);
    EXPECT_TRUE(MatrixNear(yawOnly, ry, 1e-6f));
}

TEST(Matrix4, MakeRotationY_Elements)
{
    Matrix4 r = Sequence();
    MakeRotationY(r, 0.5f);
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    EXPECT_EQ(r, Matrix4(c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, 0, 0, 0, 0, 1));
    const Vector3 p = r.TransformPoint(Vector3(2.0f, 0.0f, 1.0f));
    EXPECT_TRUE(VectorNear(p, Vector3(2.0f * c - s, 0.0f, 2.0f * s + c), 1e-6f));
}

TEST(Matrix4, PerspectiveFovLH_ElementsAndDepthRange)
{
    const float fov = 0.9f, aspect = 4.0f / 3.0f, zn = 1.0f, zf = 1000.0f;
    const Matrix4 p = Matrix4::PerspectiveFovLH(fov, aspect, zn, zf);
    const float yScale = 1.0f / std::tan(fov * 0.5f);
    const float q = zf / (zf - zn);
    EXPECT_EQ(p, Matrix4(yScale / aspect, 0, 0, 0, 0, yScale, 0, 0, 0, 0, q, 1, 0, 0, -q * zn, 0));
    // Near maps to depth 0, far to depth 1 (left-handed: +z is in front).
    EXPECT_NEAR(p.TransformCoord(Vector3(0, 0, zn)).z, 0.0f, 1e-6f);
    EXPECT_NEAR(p.TransformCoord(Vector3(0, 0, zf)).z, 1.0f, 1e-5f);
}

TEST(Matrix4, Reflect_MirrorsThroughPlane)
{
    const Plane water = Plane::FromPointNormal(Vector3(0.0f, 7.1f, 0.0f), Vector3(0.0f, 1.0f, 0.0f));
    const Matrix4 r = Matrix4::Reflect(water);
    EXPECT_TRUE(VectorNear(r.TransformPoint(Vector3(3.0f, 10.0f, -2.0f)), Vector3(3.0f, 4.2f, -2.0f), 1e-5f));
    EXPECT_TRUE(VectorNear(r.TransformPoint(Vector3(1.0f, 7.1f, 1.0f)), Vector3(1.0f, 7.1f, 1.0f), 1e-5f));
    // An unnormalised plane mirrors the same way.
    const Matrix4 scaled = Matrix4::Reflect(Plane(0.0f, 3.0f, 0.0f, -3.0f * 7.1f));
    EXPECT_TRUE(MatrixNear(scaled, r, 1e-5f));
    EXPECT_TRUE(MatrixNear(r * r, Matrix4::Identity(), 1e-5f));
    EXPECT_EQ(Matrix4::Reflect(Plane()), Matrix4::Identity());
}
