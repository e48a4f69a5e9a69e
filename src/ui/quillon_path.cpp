// The indicator's outline and the arithmetic of its animation.
#include "ui/quillon_path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillon {

namespace {

// Below this sine of the angle at the corner the three points count as collinear: the tangent
// points would lie arbitrarily far away.
constexpr double kCollinearSine = 1e-12;

PathPoint currentPoint(const Path& path) {
    return path.empty() ? PathPoint{} : path.back().end;
}

void lineTo(Path& path, PathPoint to) {
    path.push_back(PathElement::point(PathElement::Kind::lineTo, to));
}

}  // namespace

void appendTangentArc(Path& path, PathPoint via, PathPoint to, double radius) {
    const PathPoint from = currentPoint(path);
    const double ax = from.x - via.x, ay = from.y - via.y;
    const double bx = to.x - via.x, by = to.y - via.y;
    const double lengthA = std::hypot(ax, ay), lengthB = std::hypot(bx, by);
    if (!(radius > 0) || !(lengthA > 0) || !(lengthB > 0)) return lineTo(path, via);
    const double ux = ax / lengthA, uy = ay / lengthA, vx = bx / lengthB, vy = by / lengthB;
    const double cosine = ux * vx + uy * vy;
    const double sine = ux * vy - uy * vx;  // signed: which side the corner turns to
    if (std::abs(sine) < kCollinearSine || !std::isfinite(sine)) return lineTo(path, via);

    // The circle touches both legs at distance r / tan(θ/2) from the corner, θ the corner's angle.
    const double tangentDistance = radius * (1 + cosine) / std::abs(sine);
    const PathPoint first{via.x + ux * tangentDistance, via.y + uy * tangentDistance};
    const PathPoint second{via.x + vx * tangentDistance, via.y + vy * tangentDistance};
    // The centre lies on the bisector, r away from each leg.
    const double bisectorX = ux + vx, bisectorY = uy + vy;
    const double bisectorLength = std::hypot(bisectorX, bisectorY);
    const double centreDistance = std::hypot(radius, tangentDistance);
    const PathPoint centre{via.x + bisectorX / bisectorLength * centreDistance,
                           via.y + bisectorY / bisectorLength * centreDistance};

    lineTo(path, first);
    const double start = std::atan2(first.y - centre.y, first.x - centre.x);
    const double end = std::atan2(second.y - centre.y, second.x - centre.x);
    // The arc between the tangent points is the short way round, less than half a turn.
    double sweep = end - start;
    if (sweep > std::numbers::pi) sweep -= 2 * std::numbers::pi;
    if (sweep < -std::numbers::pi) sweep += 2 * std::numbers::pi;
    PathElement arc = PathElement::point(PathElement::Kind::arc, second);
    arc.centre = centre;
    arc.radius = radius;
    arc.startAngle = start;
    arc.sweepAngle = sweep;
    path.push_back(arc);
}

Path QuillonPath::newPathAtX(double x, double y, double size) {
    const double s = size / 1000;
    // Design units: a 1000 by 1000 square, origin at its lower left corner.
    const auto at = [&](double designX, double designY) {
        return PathPoint{x - size / 2 + designX * s, y - size / 2 + designY * s};
    };
    const double corner = 100 * s, slot = 500 * s;

    Path path;
    path.push_back(PathElement::point(PathElement::Kind::moveTo, at(0, 900)));
    appendTangentArc(path, at(0, 1000), at(100, 1000), corner);
    lineTo(path, at(900, 1000));
    appendTangentArc(path, at(1000, 1000), at(1000, 900), corner);
    lineTo(path, at(1000, 372));
    lineTo(path, at(939, 388));
    appendTangentArc(path, at(791, 418), at(643, 388), slot);
    appendTangentArc(path, at(495, 357), at(368, 384), slot);
    const PathPoint upperEnd = currentPoint(path);
    lineTo(path, at(368, 384));
    lineTo(path, at(368, 280));
    // The slot's lower edge starts straight below where the upper edge's curve ended.
    lineTo(path, PathPoint{upperEnd.x, upperEnd.y - 104 * s});
    appendTangentArc(path, at(495, 253), at(643, 284), slot);
    appendTangentArc(path, at(791, 314), at(939, 284), slot);
    lineTo(path, at(939, 284));
    lineTo(path, at(1000, 268));
    lineTo(path, at(1000, 100));
    appendTangentArc(path, at(1000, 0), at(900, 0), corner);
    lineTo(path, at(100, 0));
    appendTangentArc(path, at(0, 0), at(0, 100), corner);
    // Ends a hair short of the start, unscaled, so the closing segment has a direction.
    const PathPoint start = at(0, 900);
    lineTo(path, PathPoint{start.x, start.y - 0.01});
    path.push_back(PathElement::point(PathElement::Kind::close, start));
    return path;
}

void QuillonPathViewState::buildPath(double width, double height) {
    double side = std::min(width, height);
    if (!(side > 0)) side = 0;  // an empty or nonsensical frame draws a point
    quillonPath_ = QuillonPath::newPathAtX(0, 0, 0.7 * side);
    hasPath_ = true;
}

void QuillonPathViewState::setupWithFrame(double width, double height) {
    if (hasPath_) return;
    buildPath(width, height);
    rotation = 0;
    alpha = 0;
    alphaDir = 1;
}

void QuillonPathViewState::resize(double width, double height) {
    if (hasPath_) buildPath(width, height);
}

void QuillonPathViewState::qpTimer() {
    rotation += kRotationStep;
    if (rotation > kFullTurn) rotation -= kFullTurn;
    alpha += alphaDir * kAlphaStep;
    if (alpha < 0) {
        alpha += 2 * kAlphaStep;
        alphaDir = -alphaDir;
    }
    if (alpha > kAlphaMax) {
        alpha -= 2 * kAlphaStep;
        alphaDir = -alphaDir;
    }
}

}  // namespace quillon
