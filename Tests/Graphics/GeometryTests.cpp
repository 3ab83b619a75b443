#include <Graphics/AffineTransform.h>
#include <Graphics/Geometry.h>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

namespace Graphics {
// Printed on failure, so that a wrong composition shows both matrices.
void PrintTo(const AffineTransform& t, std::ostream* os) {
    *os << "[" << t.a << " " << t.b << " " << t.c << " " << t.d << " | " << t.tx << " " << t.ty << "]";
}
void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height << ")";
}
} // namespace Graphics

namespace {

using Graphics::AffineTransform;
using Graphics::Point;
using Graphics::Rect;

constexpr double quarterTurn = 1.5707963267948966;

// A plain 3 × 3 row-vector product: the reference the helpers are checked against.
AffineTransform multiply(const AffineTransform& first, const AffineTransform& then) {
    double m1[3][3] = {{first.a, first.b, 0}, {first.c, first.d, 0}, {first.tx, first.ty, 1}};
    double m2[3][3] = {{then.a, then.b, 0}, {then.c, then.d, 0}, {then.tx, then.ty, 1}};
    double r[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[i][j] += m1[i][k] * m2[k][j];
    return {r[0][0], r[0][1], r[1][0], r[1][1], r[2][0], r[2][1]};
}

bool near(const AffineTransform& x, const AffineTransform& y) {
    constexpr double tolerance = 1e-12;
    return std::abs(x.a - y.a) < tolerance && std::abs(x.b - y.b) < tolerance &&
           std::abs(x.c - y.c) < tolerance && std::abs(x.d - y.d) < tolerance &&
           std::abs(x.tx - y.tx) < tolerance && std::abs(x.ty - y.ty) < tolerance;
}

struct Kind {
    std::string name;
    AffineTransform transform;
};

std::vector<Kind> kinds() {
    return {{"identity", AffineTransform::identity()},
            {"translation", AffineTransform::makeTranslation(3, -7)},
            {"scale", AffineTransform::makeScale(2, 0.5)},
            {"mirror", AffineTransform::makeScale(-1, 1)},
            {"quarter", AffineTransform::makeRotation(-quarterTurn)},
            {"rotation", AffineTransform::makeRotation(0.3)},
            {"general", {1.5, 0.25, -0.75, 2, 10, -4}}};
}

TEST(AffineTransform, CompositionHelpersAgreeWithAPlainMatrixProductForEveryPairOfKinds) {
    for (const Kind& current : kinds()) {
        for (const Kind& step : kinds()) {
            SCOPED_TRACE(current.name + " then " + step.name);
            EXPECT_PRED2(near, AffineTransform::concat(current.transform, step.transform),
                         multiply(current.transform, step.transform));
        }
        // rotated / scaled / translated put the elementary step first ("elementary × current").
        SCOPED_TRACE(current.name);
        EXPECT_PRED2(near, current.transform.rotated(0.3),
                     multiply(AffineTransform::makeRotation(0.3), current.transform));
        EXPECT_PRED2(near, current.transform.scaled(-1, 2),
                     multiply(AffineTransform::makeScale(-1, 2), current.transform));
        EXPECT_PRED2(near, current.transform.translated(5, 6),
                     multiply(AffineTransform::makeTranslation(5, 6), current.transform));
        // The inverse undoes the matrix from either side.
        auto inverse = current.transform.inverted();
        ASSERT_TRUE(inverse.has_value());
        EXPECT_PRED2(near, AffineTransform::concat(current.transform, *inverse), AffineTransform::identity());
        EXPECT_PRED2(near, AffineTransform::concat(*inverse, current.transform), AffineTransform::identity());
    }
}

TEST(AffineTransform, QuarterTurnsAndMirrorsMapPointsAsTheRotateToolExpects) {
    // Clockwise in y-up space: (x, y) → (y, −x).
    AffineTransform clockwise = AffineTransform::identity().rotated(-quarterTurn);
    Point p = clockwise.applyToPoint({3, 5});
    EXPECT_NEAR(p.x, 5, 1e-12);
    EXPECT_NEAR(p.y, -3, 1e-12);
    // Then a mirror put in front: (x, y) → (−y, −x).
    AffineTransform mirrored = clockwise.scaled(1, -1);
    p = mirrored.applyToPoint({3, 5});
    EXPECT_NEAR(p.x, -5, 1e-12);
    EXPECT_NEAR(p.y, -3, 1e-12);
    // Four quarter turns come back to the identity up to rounding residues.
    AffineTransform full = AffineTransform::identity();
    for (int i = 0; i < 4; ++i)
        full = full.rotated(-quarterTurn);
    EXPECT_PRED2(near, full, AffineTransform::identity());
    // Sizes are vectors: the translation does not move them.
    Graphics::Size s = AffineTransform::makeTranslation(100, 100).applyToSize({4, 2});
    EXPECT_EQ(s, (Graphics::Size{4, 2}));
}

TEST(AffineTransform, SingularOrNonFiniteMatricesHaveNoInverse) {
    EXPECT_FALSE(AffineTransform::makeScale(0, 1).inverted().has_value());
    EXPECT_FALSE((AffineTransform{1, 2, 2, 4, 0, 0}).inverted().has_value());
    EXPECT_FALSE((AffineTransform{1, 0, 0, 1, NAN, 0}).inverted().has_value());
    EXPECT_FALSE((AffineTransform{INFINITY, 0, 0, 1, 0, 0}).inverted().has_value());
}

TEST(AffineTransform, MappedRectsAreTheBoundingBoxOfTheCornersWithNonNegativeSize) {
    // A W × H picture turned clockwise lies at (0, −W, H, W).
    Rect turned = AffineTransform::makeRotation(-quarterTurn).applyToRect(Rect(0, 0, 1536, 1024));
    EXPECT_NEAR(turned.origin.x, 0, 1e-9);
    EXPECT_NEAR(turned.origin.y, -1536, 1e-9);
    EXPECT_NEAR(turned.size.width, 1024, 1e-9);
    EXPECT_NEAR(turned.size.height, 1536, 1e-9);
    // Mirrors and negative-size inputs still give non-negative sizes.
    for (const Kind& kind : kinds()) {
        for (Rect r : {Rect(10, 20, 30, 40), Rect(10, 20, -30, -40)}) {
            Rect mapped = kind.transform.applyToRect(r);
            EXPECT_GE(mapped.size.width, 0) << kind.name;
            EXPECT_GE(mapped.size.height, 0) << kind.name;
        }
    }
    EXPECT_EQ(AffineTransform::makeScale(-1, 1).applyToRect(Rect(10, 20, 30, 40)), Rect(-40, 20, 30, 40));
    // A 45° turn of a unit square has the diagonal as its box.
    Rect diamond = AffineTransform::makeRotation(std::numbers::pi / 4).applyToRect(Rect(0, 0, 1, 1));
    EXPECT_NEAR(diamond.size.width, std::sqrt(2.0), 1e-12);
    EXPECT_TRUE(AffineTransform::makeScale(2, 2).applyToRect(Rect::null()).isNull());
}

TEST(Rect, NullInfiniteAndEmptyRectsFollowThePlatformRules) {
    Rect a(0, 0, 10, 10), b(20, 20, 5, 5);
    EXPECT_TRUE(a.intersection(b).isNull());
    // Touching edges do not overlap, but the common edge is what remains.
    EXPECT_FALSE(a.intersects(Rect(10, 0, 5, 5)));
    EXPECT_EQ(a.intersection(Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    EXPECT_EQ(a.unionWith(Rect::null()), a);
    EXPECT_EQ(Rect::null().unionWith(b), b);
    EXPECT_EQ(a.unionWith(b), Rect(0, 0, 25, 25));
    EXPECT_TRUE(Rect::infinite().isInfinite());
    EXPECT_EQ(Rect::infinite().intersection(a), a);
    EXPECT_TRUE(Rect(1, 1, 0, 5).isEmpty());
    EXPECT_FALSE(Rect(1, 1, 0, 5).isNull());
    // Negative sizes are read standardised.
    EXPECT_EQ(Rect(10, 10, -10, -10), a);
    EXPECT_TRUE(Rect(10, 10, -10, -10).containsPoint({5, 5}));
    EXPECT_FALSE(a.containsPoint({10, 5}));
    // Inset and integral.
    EXPECT_EQ(a.insetBy(2, 3), Rect(2, 3, 6, 4));
    EXPECT_EQ(a.insetBy(-1, -1), Rect(-1, -1, 12, 12));
    EXPECT_TRUE(a.insetBy(6, 0).isNull());
    EXPECT_EQ(Rect(0.5, -0.25, 1.0, 2.0).integral(), Rect(0, -1, 2, 3));
    EXPECT_TRUE(Rect::null().offsetBy(1, 1).isNull());
}

} // namespace
