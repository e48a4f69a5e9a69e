// The base of a settings pane: the host it lives in and the three calls the host makes.
#pragma once

#include "platform/pane_host.h"

namespace quillon {

class PreferencePane {
public:
    explicit PreferencePane(PaneHost& host) : host_(host) {}
    virtual ~PreferencePane() = default;
    PreferencePane(const PreferencePane&) = delete;
    PreferencePane& operator=(const PreferencePane&) = delete;

    // Once, after the layout has been loaded and the outlets connected.
    virtual void mainViewDidLoad() = 0;
    // Each time the pane is shown.
    virtual void didSelect() = 0;
    // Each time the pane is about to be hidden (also when its window closes).
    virtual void willUnselect() = 0;

    PaneHost& host() const { return host_; }
    std::shared_ptr<const Bundle> bundle() const { return host_.bundle(); }
    View* mainView() const { return host_.mainView(); }

private:
    PaneHost& host_;
};

}  // namespace quillon
