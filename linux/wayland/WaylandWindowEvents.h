#pragma once
// Window changes from the compositor's window list: a window became active,
// the title of a window that was reported active changed, such a window went
// away. Each window's id is the list's number for it, stable for its life.

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/platform/Scheduler.h"
#include "app/platform/WindowEvents.h"
#include "app/platform/Workspace.h"
#include "linux/wayland/ForeignToplevels.h"

namespace dz::wayland {

class WaylandWindowEvents final : public WindowEvents {
  public:
    // The application behind a window (nothing when it cannot be told);
    // asked on the main thread.
    using Resolver =
        std::function<std::optional<Workspace::RunningApplication>(const ForeignToplevels::Toplevel&)>;

    // `toplevels` and `scheduler` must outlive the service.
    WaylandWindowEvents(ForeignToplevels& toplevels, Scheduler& scheduler, Resolver resolve);
    ~WaylandWindowEvents() override;

    void watch(Handler handler) override;

    // How long no window may be active before that is reported (as window 0).
    static constexpr double nothingInFrontAfter = 0.1;

  private:
    void changed(const ForeignToplevels::Change& change);
    void activated(const ForeignToplevels::Toplevel& toplevel);
    void checkNothingInFront();

    ForeignToplevels& toplevels_;
    Scheduler& scheduler_;
    Resolver resolve_;
    uint64_t listening_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    Handler handler_;
    uint64_t generation_ = 0;           // of `watch` calls, for the first report
    uint64_t front_ = 0;                // the window last reported active, 0 none
    std::map<uint64_t, Window> known_;  // windows reported active, until they go away
};

}  // namespace dz::wayland
