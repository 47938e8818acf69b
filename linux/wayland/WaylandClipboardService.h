#pragma once
// The controller's clipboard on Wayland (data-control): the contents the main
// thread reads and publishes, kept in step with the clipboard thread through
// the scheduler.

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/platform/Clipboard.h"
#include "app/platform/Scheduler.h"
#include "linux/clipboard/EchoGuard.h"
#include "linux/wayland/DataControlClipboard.h"
#include "linux/workspace/AppIdentity.h"

namespace dz::wayland {

class WaylandClipboardService final : public Clipboard {
  public:
    // Nothing (with the reason) without a Wayland display that offers
    // data-control. `scheduler` and `identity` must outlive the service.
    static std::unique_ptr<WaylandClipboardService> create(Scheduler& scheduler, x11::AppIdentity& identity,
                                                           std::string* error = nullptr,
                                                           const char* display = nullptr,
                                                           ClipboardLimits limits = {});
    ~WaylandClipboardService() override;

    const Contents& contents() const override { return contents_; }
    void publish(Rendition items) override;
    void setChangeHandler(ChangeHandler handler) override { changeHandler_ = std::move(handler); }
    bool canIdentifyRequesters() const override { return true; }
    void setPasteHandler(PasteHandler handler) override { pasteHandler_ = std::move(handler); }
    void setPasteFinishedHandler(PasteFinishedHandler handler) override {
        finishedHandler_ = std::move(handler);
    }
    // Once the compositor has made our last publish the selection: the
    // selection reaches the pasting window before a key typed after it.
    void afterPublished(std::function<void()> then) override;

    // Sends a publish still waiting for the main loop, then stops; with
    // `keepCopy`, a detached keeper goes on serving what we hold.
    void shutdown(bool keepCopy = false);
    DataControlClipboard& engine() { return *clipboard_; }
    // The process of the application in front, where the desktop tells it:
    // looked at first for the other end of a paste.
    void setFrontProcess(std::optional<int32_t> pid) {
        clipboard_->setFrontProcesses(pid ? std::vector<pid_t>{pid_t(*pid)} : std::vector<pid_t>{});
    }

  private:
    struct Alive;
    WaylandClipboardService(Scheduler& scheduler, x11::AppIdentity& identity);
    void takeOwnership();
    void applyChange(DataControlClipboard::Change change, std::optional<Party> owner);

    Scheduler& scheduler_;
    x11::AppIdentity& identity_;
    std::shared_ptr<Alive> alive_;
    std::unique_ptr<DataControlClipboard> clipboard_;
    Contents contents_;
    std::vector<x11::ReadOrigin> origins_;  // of the last foreign copy, for restoring it
    EchoGuard echo_;
    bool ownershipPending_ = false;
    uint64_t lastReport_ = 0;
    ChangeHandler changeHandler_;
    PasteHandler pasteHandler_;
    PasteFinishedHandler finishedHandler_;
    std::unordered_map<uint64_t, PasteRequest> requests_;
};

}  // namespace dz::wayland
