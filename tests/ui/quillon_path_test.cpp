// The indicator's outline (tangent arcs, size and centring) and its animation arithmetic.
#include "ui/quillon_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace quillon {
namespace {

using Kind = PathElement::Kind;

void expectFinite(const Path& path) {
    for (const PathElement& e : path) {
        for (double v :
             {e.end.x, e.end.y, e.centre.x, e.centre.y, e.radius, e.startAngle, e.sweepAngle})
            ASSERT_TRUE(std::isfinite(v));
    }
}

PathPoint onCircle(const PathElement& arc, double angle) {
    return {arc.centre.x + arc.radius * std::cos(angle),
            arc.centre.y + arc.radius * std::sin(angle)};
}

TEST(quillon_path, a_view_of_side_100_gets_a_centred_outline_70_wide_with_exact_tangent_arcs) {
    QuillonPathViewState state;
    state.setupWithFrame(100, 240);  // the smaller side decides
    const Path& path = state.quillonPath();
    expectFinite(path);
    ASSERT_EQ(path.front().kind, Kind::moveTo);
    ASSERT_EQ(path.back().kind, Kind::close);

    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    int arcs = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const PathElement& e = path[i];
        minX = std::min(minX, e.end.x), maxX = std::max(maxX, e.end.x);
        minY = std::min(minY, e.end.y), maxY = std::max(maxY, e.end.y);
        if (e.kind != Kind::arc) continue;
        ++arcs;
        // An arc continues from where the previous element ended and stays on its circle.
        const PathPoint from = path[i - 1].end, start = onCircle(e, e.startAngle),
                        end = onCircle(e, e.startAngle + e.sweepAngle);
        EXPECT_NEAR(start.x, from.x, 1e-9);
        EXPECT_NEAR(start.y, from.y, 1e-9);
        EXPECT_NEAR(end.x, e.end.x, 1e-9);
        EXPECT_NEAR(end.y, e.end.y, 1e-9);
        EXPECT_LT(std::abs(e.sweepAngle), std::numbers::pi);
    }
    EXPECT_EQ(arcs, 8);
    EXPECT_NEAR(minX, -35, 1e-9);
    EXPECT_NEAR(maxX, 35, 1e-9);
    EXPECT_NEAR(minY, -35, 1e-9);
    EXPECT_NEAR(maxY, 35, 1e-9);

    // The upper left corner: from (0, 900) round (100, 900) in design units, clockwise, radius 7.
    const PathElement& corner = path[2];
    ASSERT_EQ(corner.kind, Kind::arc);
    EXPECT_NEAR(corner.centre.x, -28, 1e-9);
    EXPECT_NEAR(corner.centre.y, 28, 1e-9);
    EXPECT_NEAR(corner.radius, 7, 1e-12);
    EXPECT_NEAR(corner.sweepAngle, -std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(corner.end.x, -28, 1e-9);
    EXPECT_NEAR(corner.end.y, 35, 1e-9);

    // The slot's lower edge starts 104 design units straight below where its upper curve ended,
    // and the outline stops 0.01 (unscaled) short of its start.
    // Elements 11 to 14: the upper curve's end, the slot's two inner corners, the lower start.
    ASSERT_EQ(path[11].kind, Kind::arc);
    EXPECT_NEAR(path[12].end.x, -35 + 0.368 * 70, 1e-12);
    EXPECT_NEAR(path[13].end.y, -35 + 0.280 * 70, 1e-12);
    EXPECT_EQ(path[14].end.x, path[11].end.x);
    EXPECT_NEAR(path[14].end.y, path[11].end.y - 104 * 0.07, 1e-12);
    EXPECT_DOUBLE_EQ(path[path.size() - 2].end.x, -35);
    EXPECT_NEAR(path[path.size() - 2].end.y, path[0].end.y - 0.01, 1e-12);
}

TEST(quillon_path, tangent_arc_degenerates_to_a_line_never_to_nan) {
    const auto lineOnly = [](PathPoint from, PathPoint via, PathPoint to, double radius) {
        Path path{PathElement::point(Kind::moveTo, from)};
        appendTangentArc(path, via, to, radius);
        ASSERT_EQ(path.size(), 2u);
        EXPECT_EQ(path[1].kind, Kind::lineTo);
        EXPECT_EQ(path[1].end, via);
    };
    lineOnly({0, 0}, {1, 1}, {2, 2}, 5);       // straight on
    lineOnly({0, 0}, {1, 1}, {-3, -3}, 5);     // straight back
    lineOnly({0, 0}, {0, 10}, {10, 10}, 0);    // no radius
    lineOnly({0, 0}, {0, 10}, {10, 10}, -4);   // a negative one
    lineOnly({0, 0}, {0, 10}, {10, 10}, NAN);  // nor a nonsensical one
    lineOnly({3, 3}, {3, 3}, {10, 10}, 5);     // the corner on the current point
    lineOnly({0, 0}, {3, 3}, {3, 3}, 5);       // the end on the corner

    // A sharp corner still gives a finite arc, its tangent points on both legs.
    Path path{PathElement::point(Kind::moveTo, {0, 0})};
    appendTangentArc(path, {100, 0}, {0, 1}, 0.1);
    expectFinite(path);
    ASSERT_EQ(path.size(), 3u);
    EXPECT_NEAR(path[1].end.y, 0, 1e-12);
    EXPECT_GT(path[1].end.x, 0);
    EXPECT_NEAR(path[2].end.y, (100 - path[2].end.x) / 100, 1e-9);  // on the line via–to
}

TEST(quillon_path, a_view_without_width_or_height_draws_everything_at_its_centre) {
    for (auto [width, height] : {std::pair{0.0, 50.0}, {50.0, 0.0}, {-20.0, 30.0}}) {
        QuillonPathViewState state;
        state.setupWithFrame(width, height);
        ASSERT_TRUE(state.hasPath());
        expectFinite(state.quillonPath());
        for (const PathElement& e : state.quillonPath()) {
            EXPECT_NEAR(e.end.x, 0, 1e-12);
            EXPECT_NEAR(e.end.y, 0, 0.01 + 1e-12);
            EXPECT_NE(e.kind, Kind::arc);
        }
    }
}

TEST(quillon_path, setup_builds_once_and_a_resize_rebuilds_keeping_angle_and_opacity) {
    QuillonPathViewState state;
    state.resize(100, 100);  // nothing to rebuild before setup
    EXPECT_FALSE(state.hasPath());
    state.setupWithFrame(100, 100);
    for (int i = 0; i < 30; ++i)
        state.qpTimer();
    const double rotation = state.rotation, alpha = state.alpha;
    state.setupWithFrame(200, 200);
    EXPECT_DOUBLE_EQ(state.quillonPath().front().end.x, -35);
    state.resize(200, 300);
    EXPECT_DOUBLE_EQ(state.quillonPath().front().end.x, -70);
    EXPECT_EQ(state.rotation, rotation);
    EXPECT_EQ(state.alpha, alpha);
}

TEST(quillon_path, opacity_climbs_to_just_below_the_top_and_is_reflected_at_both_ends) {
    QuillonPathViewState state;
    state.setupWithFrame(10, 10);
    for (int i = 1; i <= 199; ++i) {
        state.qpTimer();
        ASSERT_NEAR(state.alpha, i * 0.001, 1e-9) << "step " << i;
    }
    EXPECT_LT(state.alpha, 0.2);
    state.qpTimer();  // would pass 0.2
    EXPECT_NEAR(state.alpha, 0.198, 1e-9);
    EXPECT_EQ(state.alphaDir, -1);
    int steps = 0;
    while (state.alpha > 0.0015 && steps < 1000)
        state.qpTimer(), ++steps;
    EXPECT_EQ(steps, 197);
    EXPECT_NEAR(state.alpha, 0.001, 1e-9);
    state.qpTimer();  // would reach a hair below 0
    EXPECT_NEAR(state.alpha, 0.002, 1e-9);
    EXPECT_EQ(state.alphaDir, 1);
    EXPECT_FLOAT_EQ(state.opacity(), static_cast<float>(state.alpha));

    // Many cycles later it still stays between 0 and 0.2.
    for (int i = 0; i < 20000; ++i) {
        state.qpTimer();
        ASSERT_GE(state.alpha, 0);
        ASSERT_LE(state.alpha, 0.2);
    }
}

TEST(quillon_path, the_angle_wraps_to_just_above_zero_once_a_turn) {
    QuillonPathViewState state;
    state.setupWithFrame(10, 10);
    int wraps = 0;
    for (int i = 1; i <= 3 * 2880 + 5; ++i) {
        const double before = state.rotation;
        state.qpTimer();
        ASSERT_GT(state.rotation, 0);
        ASSERT_LE(state.rotation, QuillonPathViewState::kFullTurn);
        if (state.rotation < before) {
            ++wraps;
            EXPECT_LT(state.rotation, QuillonPathViewState::kRotationStep);
            EXPECT_NEAR(i, wraps * 2880, 1) << "one turn every 2880 steps";
        }
    }
    EXPECT_EQ(wraps, 3);
}

}  // namespace
}  // namespace quillon
