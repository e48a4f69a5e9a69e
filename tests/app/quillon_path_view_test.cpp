// The indicator widget: its Qt path follows the outline exactly, and it turns and pulses while
// animated.
#include "adapters/qt/quillon_path_view.h"

#include <gtest/gtest.h>

#include <QImage>

#include "adapters/qt/qt_outlets.h"
#include "widgets_test_support.h"

namespace quillon {
namespace {

using testing::ensureWidgetsApplication;
using testing::runEventsUntil;

TEST(quillon_path_view, qt_path_passes_through_every_end_point_of_the_outline) {
    const Path outline = QuillonPath::newPathAtX(0, 0, 70);
    // Built element by element, each arc must end where the outline says: a wrong angle
    // convention would send the rounded corners the other way round.
    for (std::size_t n = 1; n <= outline.size(); ++n) {
        const Path prefix(outline.begin(), outline.begin() + static_cast<std::ptrdiff_t>(n));
        const QPointF at = QuillonPathView::painterPath(prefix).currentPosition();
        EXPECT_NEAR(at.x(), outline[n - 1].end.x, 1e-6) << "element " << n - 1;
        EXPECT_NEAR(at.y(), outline[n - 1].end.y, 1e-6) << "element " << n - 1;
    }
    const QRectF bounds = QuillonPathView::painterPath(outline).boundingRect();
    EXPECT_NEAR(bounds.left(), -35, 1e-6);
    EXPECT_NEAR(bounds.right(), 35, 1e-6);
    EXPECT_NEAR(bounds.top(), -35, 1e-6);
    EXPECT_NEAR(bounds.bottom(), 35, 1e-6);
}

TEST(quillon_path_view, turns_and_pulses_while_animated_through_its_outlet) {
    ensureWidgetsApplication();
    QuillonPathView view;
    view.resize(100, 100);
    view.show();
    QtIndicatorView outlet(&view);
    EXPECT_FALSE(view.getAnimated());
    outlet.setAnimated(true);
    outlet.setAnimated(true);
    ASSERT_TRUE(view.getAnimated());
    ASSERT_TRUE(runEventsUntil([&] { return view.state().alpha > 0.05; }));
    view.setAnimated(false);
    EXPECT_FALSE(view.getAnimated());
    const double rotation = view.state().rotation;
    EXPECT_GT(rotation, 0);
    EXPECT_DOUBLE_EQ(view.opacity(), static_cast<float>(view.state().alpha));

    // Drawn: white inside, grey at the border, faintly; nothing at the corners of the view.
    const QImage first = view.grab().toImage();
    const QColor centre = first.pixelColor(30, 50);  // inside the outline, left of the slot
    EXPECT_GT(centre.alpha(), 0);
    EXPECT_LT(centre.alpha(), 60);
    EXPECT_EQ(first.pixelColor(1, 1).alpha(), 0);

    // Stopped, nothing changes; resized, the outline follows the new size.
    runEventsUntil([] { return false; }, 200);
    EXPECT_EQ(view.state().rotation, rotation);
    view.resize(200, 160);
    EXPECT_NEAR(view.state().quillonPath().front().end.x, -56, 1e-9);
}

}  // namespace
}  // namespace quillon
