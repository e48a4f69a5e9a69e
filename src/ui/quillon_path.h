// The busy indicator's outline, built from fixed coordinates with exact tangent arcs, and the
// state of the indicator's view: its outline for the current size, colours, angle and opacity.
#pragma once

#include <vector>

#include "platform/attributed_string.h"

namespace quillon {

struct PathPoint {
    double x = 0, y = 0;
    bool operator==(const PathPoint&) const = default;
};

// One element of an outline. Coordinates have y pointing up; angles are in radians, measured
// counter-clockwise from the positive x axis. An arc starts where the previous element ended.
struct PathElement {
    enum class Kind { moveTo, lineTo, arc, close };
    Kind kind = Kind::moveTo;
    PathPoint end;  // where the current point lies after the element
    // Arc only: the circle, the angle of the arc's start and the signed angle it sweeps.
    PathPoint centre;
    double radius = 0;
    double startAngle = 0;
    double sweepAngle = 0;

    static PathElement point(Kind kind, PathPoint end) {
        PathElement element;
        element.kind = kind;
        element.end = end;
        return element;
    }
};

using Path = std::vector<PathElement>;

// Appends to path what the toolkit's arc-to-point draws from the current point: a line towards
// via, then the arc of radius r touching both the line current–via and the line via–to, ending
// where it touches the second line. Collinear points, coinciding points or a radius that is not
// positive give a straight line to via instead.
void appendTangentArc(Path& path, PathPoint via, PathPoint to, double radius);

class QuillonPath {
public:
    // The indicator's outline in a square of side size centred on (x, y): a rounded square with
    // a slot entering from its right side. A size of 0 puts every point at the centre.
    static Path newPathAtX(double x, double y, double size);
};

// What the indicator's view keeps between frames; the toolkit's view draws from it.
class QuillonPathViewState {
public:
    static constexpr double kTimerInterval = 0.04;  // seconds between animation steps
    static constexpr double kRotationStep = 0.002181661564992912;  // an eighth of a degree
    static constexpr double kFullTurn = 6.283185307179586;
    static constexpr double kAlphaStep = 0.001;
    static constexpr double kAlphaMax = 0.2;  // the indicator stays faint
    static constexpr double kLineWidth = 2;
    static constexpr Color kOuter{0.5, 0.5, 0.5, 1.0};
    static constexpr Color kFill{1.0, 1.0, 1.0, 1.0};

    // Builds the outline for a view of that size, once; later calls change nothing.
    void setupWithFrame(double width, double height);
    // The view changed size: the outline is built again, angle and opacity stay.
    void resize(double width, double height);
    // One animation step: turn a little, move the opacity on, reflecting it at 0 and kAlphaMax.
    void qpTimer();

    bool hasPath() const { return hasPath_; }
    const Path& quillonPath() const { return quillonPath_; }
    double rotation = 0;
    double alpha = 0;
    double alphaDir = 1;
    // The opacity the view is drawn with, as the toolkit takes it.
    float opacity() const { return static_cast<float>(alpha); }

private:
    void buildPath(double width, double height);

    Path quillonPath_;
    bool hasPath_ = false;
};

}  // namespace quillon
