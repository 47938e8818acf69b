#pragma once
// The controller's clipboard on X11: the in-memory view the main thread reads
// and writes, kept in step with the clipboard thread through the scheduler.

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/platform/Clipboard.h"
#include "app/platform/Scheduler.h"
#include "core/clipboard/MemoryPasteboard.h"
#include "linux/clipboard/X11Clipboard.h"
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

    std::optional<std::vector<std::string>> types() const override { return store_.types(); }
    std::optional<std::string> data(const std::string& type) const override { return store_.data(type); }
    std::optional<std::string> string(const std::string& type) const override { return store_.string(type); }
    void clearContents() override;
    void declareTypes(const std::vector<std::string>& types) override;
    bool setData(const std::string& bytes, const std::string& type) override;
    bool setString(const std::string& text, const std::string& type) override;
    int64_t changeCount() const override { return store_.changeCount(); }

    std::optional<Party> owner() const override { return owner_; }
    void setChangeHandler(ChangeHandler handler) override { changeHandler_ = std::move(handler); }
    bool canIdentifyRequesters() const override { return identifiesRequesters_; }
    void setPasteHandler(PasteHandler handler) override { pasteHandler_ = std::move(handler); }
    void setPasteFinishedHandler(PasteFinishedHandler handler) override {
        finishedHandler_ = std::move(handler);
    }

    // Hands our content to a clipboard manager if one runs (at most 1 s).
    void shutdown();
    X11Clipboard& engine() { return *clipboard_; }

  private:
    struct Alive;
    X11ClipboardService(Scheduler& scheduler, AppIdentity& identity);
    void wrote();
    void publish();
    void applyChange(X11Clipboard::Change change, std::optional<Party> owner);

    Scheduler& scheduler_;
    AppIdentity& identity_;
    std::shared_ptr<Alive> alive_;
    std::unique_ptr<X11Clipboard> clipboard_;
    MemoryPasteboard store_;
    std::vector<ReadOrigin> origins_;  // of the last foreign copy, for restoring it
    std::optional<Party> owner_;
    bool identifiesRequesters_ = false;
    bool publishPending_ = false;
    ChangeHandler changeHandler_;
    PasteHandler pasteHandler_;
    PasteFinishedHandler finishedHandler_;
    std::unordered_map<uint64_t, PasteRequest> requests_;
};

}  // namespace dz::x11
