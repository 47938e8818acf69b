#pragma once
// The controller's clipboard on X11: the contents the main thread reads and
// publishes, kept in step with the clipboard thread through the scheduler.

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/platform/Clipboard.h"
#include "app/platform/Scheduler.h"
#include "linux/clipboard/CompositorPastes.h"
#include "linux/clipboard/EchoGuard.h"
#include "linux/clipboard/X11Clipboard.h"
#include "linux/clipboard/X11PrimarySelection.h"
#include "linux/workspace/AppIdentity.h"

namespace dz::x11 {

class X11ClipboardService final : public Clipboard {
  public:
    // Nothing (with the reason) without an X display. `scheduler` and
    // `identity` must outlive the service.
    static std::unique_ptr<X11ClipboardService> create(Scheduler& scheduler, AppIdentity& identity,
                                                       std::string* error = nullptr,
                                                       const char* display = nullptr,
                                                       ClipboardLimits limits = {});
    ~X11ClipboardService() override;

    const Contents& contents() const override { return contents_; }
    void publish(Rendition items) override;
    void setChangeHandler(ChangeHandler handler) override { changeHandler_ = std::move(handler); }
    bool canIdentifyRequesters() const override { return identifiesRequesters_; }
    void setPasteHandler(PasteHandler handler) override { pasteHandler_ = std::move(handler); }
    void setPasteFinishedHandler(PasteFinishedHandler handler) override {
        finishedHandler_ = std::move(handler);
    }
    void forgetAnswers(int32_t pid) override;
    void afterPublished(std::function<void()> then) override;
    bool hasPrimarySelection() const override { return true; }
    void offerPrimaryOnce(Rendition items, std::function<void(bool)> ready) override;

    // Under Xwayland: requests from the compositor's own window are taken
    // for pastes of the application in front, as `pastes` tells it. Main
    // thread.
    void setCompositorPastes(std::unique_ptr<CompositorPastes> pastes) {
        compositorPastes_ = std::move(pastes);
    }

    // Hands our content to a clipboard manager if one runs, its text first
    // (at most 1 s, plus 1 s per 10 MB, up to 5 s).
    void shutdown();
    X11Clipboard& engine() { return *clipboard_; }

  private:
    struct Alive;
    X11ClipboardService(Scheduler& scheduler, AppIdentity& identity);
    void takeOwnership();
    void applyChange(X11Clipboard::Change change, std::optional<Party> owner);
    void ask(PasteRequest request, X11Clipboard::Answer answer, std::optional<std::string> executable);

    Scheduler& scheduler_;
    AppIdentity& identity_;
    std::shared_ptr<Alive> alive_;
    std::unique_ptr<X11Clipboard> clipboard_;
    // Opened on first use: most sessions never paste into xterm.
    std::unique_ptr<X11PrimarySelection> primary_;
    std::optional<std::string> display_;
    Contents contents_;
    std::vector<ReadOrigin> origins_;  // of the last foreign copy, for restoring it
    EchoGuard echo_;
    bool identifiesRequesters_ = false;
    bool ownershipPending_ = false;
    uint64_t lastReport_ = 0;  // the clipboard thread's report the contents come from
    ChangeHandler changeHandler_;
    PasteHandler pasteHandler_;
    PasteFinishedHandler finishedHandler_;
    std::unordered_map<uint64_t, PasteRequest> requests_;
    std::unordered_set<uint64_t> identifying_;  // compositor's requests waiting for the front application
    std::unordered_map<uint64_t, int32_t> throughCompositor_;  // compositor's requests, to its process
    std::unique_ptr<CompositorPastes> compositorPastes_;
};

}  // namespace dz::x11
