#include <gtest/gtest.h>

#include <cfloat>

#include "text/RunError.h"
#include "vector/ModuleVector.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using namespace Kelvane::ModuleVector;

namespace {

void ExpectVector(const Vector3& v, double x, double y, double z) {
  EXPECT_EQ(v.X, x);
  EXPECT_EQ(v.Y, y);
  EXPECT_EQ(v.Z, z);
}

TEST(ModuleVectorTest, WorkedExamples) {
  ExpectVector(VectorSubtract({1, 2, 3}, {4, 6, 8}), 3, 4, 5);
  ExpectVector(TriangleNormal({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), 0, 0, -1);
  ExpectVector(TriangleNormal({0, 0, 0}, {0, 1, 0}, {1, 0, 0}), 0, 0, 1);
  ExpectVector(TriangleNormal({0, 0, 0}, {2, 0, 0}, {0, 2, 0}), 0, 0, -4);
  EXPECT_EQ(VectorLength({3, 0, 4}), 5);
  ExpectVector(VectorNormalize({3, 0, 4}), 0.6, 0, 0.8);
  ExpectVector(VectorScale({1, -2, 3}, -1), -1, 2, -3);
  ExpectVector(VectorScale({1.1, -2.2, 3.3}, 1), 1.1, -2.2, 3.3);
}

TEST(ModuleVectorTest, DegenerateTrianglesAndZeroLengthGiveZero) {
  const Vector3 n1 = TriangleNormal({1, 2, 3}, {1, 2, 3}, {4, 5, 6});
  EXPECT_EQ(VectorLength(n1), 0);
  const Vector3 n2 = TriangleNormal({0, 0, 0}, {1, 1, 1}, {2, 2, 2});
  EXPECT_EQ(VectorLength(n2), 0);
  ExpectVector(VectorNormalize({0, 0, 0}), 0, 0, 0);
  // No tolerance: a tiny vector is still divided by its length.
  const Vector3 tiny = VectorNormalize({1e-150, 0, 0});
  EXPECT_EQ(tiny.X, 1);
}

TEST(ModuleVectorTest, AStepThatLeavesTheDoublesOverflows) {
  auto expectOverflow = [](auto operation) {
    try {
      operation();
      FAIL() << "no error";
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::Overflow);
    }
  };
  expectOverflow([] { VectorScale({1e300, 0, 0}, 1e10); });
  expectOverflow([] { VectorSubtract({-DBL_MAX, 0, 0}, {DBL_MAX, 0, 0}); });
  expectOverflow([] { VectorLength({1e200, 0, 0}); });  // X*X
  expectOverflow([] { TriangleNormal({1e300, 0, 0}, {0, 0, 0}, {0, 1e300, 0}); });
  // Underflow is not an error.
  EXPECT_EQ(VectorScale({1e-300, 0, 0}, 1e-300).X, 0);
}

}  // namespace
