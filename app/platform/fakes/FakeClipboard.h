#pragma once
// An in-memory clipboard with an owner, change notices and paste requests,
// driven by the test: `copy` is another application's copy, `paste` another
// application's paste.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/Clipboard.h"
#include "core/clipboard/MemoryPasteboard.h"

namespace dz {
class Scheduler;
}

namespace dz::fake {

class FakeClipboard final : public Clipboard {
  public:
    // What one paste received.
    struct Served {
        PasteRequest request;
        Rendition items;
        bool perRequester = false;  // a rendition made for this requester only
    };

    // Own writes are announced through `scheduler`, as a backend announces
    // them after its loop turns; the controller must recognise them.
    explicit FakeClipboard(Scheduler& scheduler) : scheduler_(scheduler) {}

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
    bool canIdentifyRequesters() const override { return identifiesRequesters; }
    void setPasteHandler(PasteHandler handler) override { pasteHandler_ = std::move(handler); }
    void setPasteFinishedHandler(PasteFinishedHandler handler) override {
        finishedHandler_ = std::move(handler);
    }

    // Another application copies these items; the change handler runs at once.
    // A null owner is an application the backend cannot identify.
    void copy(const std::vector<std::pair<std::string, std::string>>& items, std::optional<Party> owner);
    // An application pastes. `received` gets what it was given once the
    // controller replies (at once, or later from the scheduler).
    void paste(Party requester, std::function<void(const Served&)> received);
    // Whether the program itself owns the contents now.
    bool ownedByProgram() const { return ownedByProgram_; }
    // The items everyone gets, in order.
    Rendition contents() const;
    // Number of writes by the program (a clear starts one).
    int writes() const { return writes_; }

    bool identifiesRequesters = true;
    // Called before the program starts a write (a clear), and after each of
    // its writing calls, so an observer can report finished writes in order.
    std::function<void()> willWrite;
    std::function<void()> didWrite;

  private:
    void announceOwnWrite();

    Scheduler& scheduler_;
    MemoryPasteboard store_;
    std::optional<Party> owner_;
    bool ownedByProgram_ = false;
    int writes_ = 0;
    uint64_t nextRequest_ = 1;
    ChangeHandler changeHandler_;
    PasteHandler pasteHandler_;
    PasteFinishedHandler finishedHandler_;
};

}  // namespace dz::fake
