#pragma once
// An in-memory clipboard with an owner, change notices and paste requests,
// driven by the test: `copy` is another application's copy, `paste` another
// application's paste.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/platform/Clipboard.h"

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

    // Own publishes are announced through `scheduler`, as a backend announces
    // them after its loop turns; the controller must recognise them.
    explicit FakeClipboard(Scheduler& scheduler) : scheduler_(scheduler) {}

    const Contents& contents() const override { return contents_; }
    void publish(Rendition items) override;
    void setChangeHandler(ChangeHandler handler) override { changeHandler_ = std::move(handler); }
    bool canIdentifyRequesters() const override { return identifiesRequesters; }
    void setPasteHandler(PasteHandler handler) override { pasteHandler_ = std::move(handler); }
    void setPasteFinishedHandler(PasteFinishedHandler handler) override {
        finishedHandler_ = std::move(handler);
    }
    void forgetAnswers(int32_t pid) override {
        kept_.erase(pid);
        ++forgotten;
    }
    bool hasPrimarySelection() const override { return primarySelection; }
    // Recorded; `ready` answers `primarySelection` at once.
    void offerPrimaryOnce(Rendition items, std::function<void(bool)> ready) override {
        if (primarySelection)
            primaryOffers.push_back(items);
        if (onPrimaryOffer)
            onPrimaryOffer(items);
        ready(primarySelection);
    }

    // Another application copies these items; the change handler runs at once.
    // A null owner is an application the backend cannot identify.
    void copy(const std::vector<std::pair<std::string, std::string>>& items, std::optional<Party> owner);
    // The same with the items moved in, as a backend hands over what its
    // own thread has read.
    void copyItems(Rendition items, std::optional<Party> owner);

    // What a request reads: data, as a paste does; only which types there
    // are, as an application deciding whether it could paste; or everything,
    // as a clipboard manager keeping the contents.
    enum class Reading { data, types, save };

    // An application pastes. `received` gets what it was given once the
    // controller replies (at once, or later from the scheduler).
    void paste(Party requester, std::function<void(const Served&)> received, Reading reading = Reading::data);
    // Whether the program itself owns the contents now.
    bool ownedByProgram() const { return ownedByProgram_; }
    // The bytes of the first item of this type, if any.
    std::optional<std::string> item(std::string_view type) const;
    // Number of publishes by the program.
    int writes() const { return writes_; }

    bool identifiesRequesters = true;
    // Seconds a requester's answer is kept for its later pastes of the same
    // contents, as an X11 backend keeps it for a paste's follow-up requests;
    // 0: every paste is asked about.
    double keepsAnswers = 0;
    int forgotten = 0;  // calls of forgetAnswers
    // The desktop has a primary selection; what was offered to it, in order.
    bool primarySelection = true;
    std::vector<Rendition> primaryOffers;
    std::function<void(const Rendition&)> onPrimaryOffer;
    // Called before and after each publish by the program, so an observer can
    // report finished writes in order.
    std::function<void()> willWrite;
    std::function<void()> didWrite;

  private:
    Scheduler& scheduler_;
    Contents contents_;
    bool ownedByProgram_ = false;
    int writes_ = 0;
    uint64_t nextRequest_ = 1;
    ChangeHandler changeHandler_;
    PasteHandler pasteHandler_;
    PasteFinishedHandler finishedHandler_;
    struct Kept {
        std::optional<Rendition> rendition;
        double until = 0;
        int64_t changeCount = 0;
    };
    std::map<int32_t, Kept> kept_;  // by requester process
};

}  // namespace dz::fake
