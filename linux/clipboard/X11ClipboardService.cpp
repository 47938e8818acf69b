#include "linux/clipboard/X11ClipboardService.h"

#include <algorithm>
#include <atomic>

#include "app/platform/Workspace.h"

namespace dz::x11 {

// Callbacks from the clipboard thread reach the main thread through the
// scheduler; this flag keeps them from touching a service that is gone.
struct X11ClipboardService::Alive {
    std::atomic<bool> alive{true};
};

X11ClipboardService::X11ClipboardService(Scheduler& scheduler, AppIdentity& identity)
    : scheduler_(scheduler), identity_(identity), alive_(std::make_shared<Alive>()) {}

std::unique_ptr<X11ClipboardService> X11ClipboardService::create(Scheduler& scheduler, AppIdentity& identity,
                                                                 std::string* error, const char* display,
                                                                 ClipboardLimits limits) {
    std::unique_ptr<X11ClipboardService> service(new X11ClipboardService(scheduler, identity));
    auto* self = service.get();
    auto alive = service->alive_;
    auto party = [&identity](std::optional<int32_t> pid) -> std::optional<Party> {
        if (!pid)
            return std::nullopt;
        return Party{identity.application(*pid).id, *pid};
    };

    X11Clipboard::Callbacks callbacks;
    callbacks.changed = [self, alive, party, &scheduler](X11Clipboard::Change change) {
        // The application is looked up here, off the main thread: the first
        // look-up reads the application folders.
        auto owner = party(change.ownerPID);
        scheduler.post([self, alive, change = std::move(change), owner]() mutable {
            if (alive->alive)
                self->applyChange(std::move(change), std::move(owner));
        });
    };
    callbacks.pasteRequest = [self, alive, party, &scheduler, &identity](const X11Clipboard::Request& r,
                                                                         X11Clipboard::Answer answer) {
        // A clipboard manager asks for SAVE_TARGETS before it reads.
        PasteRequest request{r.id, party(r.pid).value_or(Party{}), r.target == "SAVE_TARGETS"};
        auto executable = identity.executable(r.pid);
        scheduler.post([self, alive, request, answer = std::move(answer), executable]() mutable {
            if (!alive->alive || !self->pasteHandler_) {
                answer(std::nullopt);
                return;
            }
            self->ask(std::move(request), std::move(answer), std::move(executable));
        });
    };
    callbacks.pasteFinished = [self, alive, &scheduler](uint64_t id, bool delivered) {
        scheduler.post([self, alive, id, delivered] {
            if (!alive->alive)
                return;
            self->identifying_.erase(id);
            if (auto c = self->throughCompositor_.find(id); c != self->throughCompositor_.end()) {
                // The answer kept for the compositor's window would go to
                // whichever application pastes next: each paste asks afresh.
                if (delivered)
                    self->clipboard_->forgetAnswers(c->second);
                self->throughCompositor_.erase(c);
            }
            auto it = self->requests_.find(id);
            if (it == self->requests_.end())
                return;
            auto request = it->second;
            self->requests_.erase(it);
            if (self->finishedHandler_)
                self->finishedHandler_(request, delivered);
        });
    };
    service->clipboard_ = X11Clipboard::create(std::move(callbacks), error, display, limits);
    if (!service->clipboard_)
        return nullptr;
    service->identifiesRequesters_ = service->clipboard_->connection().hasExtension("X-Resource");
    if (display)
        service->display_ = display;
    return service;
}

X11ClipboardService::~X11ClipboardService() {
    alive_->alive = false;
    if (clipboard_)
        clipboard_->shutdown(false);
}

void X11ClipboardService::shutdown() {
    if (ownershipPending_)
        takeOwnership();
    alive_->alive = false;
    clipboard_->shutdown(true);
}

void X11ClipboardService::ask(PasteRequest request, X11Clipboard::Answer answer,
                              std::optional<std::string> executable) {
    auto handle = [this, answer](const PasteRequest& request) {
        requests_[request.id] = request;
        pasteHandler_(request,
                      [answer](std::optional<Rendition> rendition) { answer(std::move(rendition)); });
    };
    if (!compositorPastes_ || request.fromManager || !request.requester.pid ||
        !compositorPastes_->fromCompositor(*request.requester.pid, executable)) {
        handle(request);
        return;
    }
    identifying_.insert(request.id);
    throughCompositor_[request.id] = *request.requester.pid;
    compositorPastes_->identify([this, alive = alive_, request, answer, handle](Party front) mutable {
        if (!alive->alive)
            return answer(std::nullopt);
        // A paste the clipboard answered meanwhile (its own deadline) is over.
        if (!identifying_.erase(request.id) || !pasteHandler_)
            return answer(std::nullopt);
        request.requester = std::move(front);
        handle(request);
    });
}

void X11ClipboardService::applyChange(X11Clipboard::Change change, std::optional<Party> owner) {
    if (echo_.isEcho(change.content.items)) {
        lastReport_ = change.serial;
        return;  // our own text coming back: what we published still stands
    }
    // Each owner event is one change of the counter; the contents move at
    // least as far as the desktop did.
    contents_.changeCount += static_cast<int64_t>(std::max<uint64_t>(change.changes, 1));
    lastReport_ = change.serial;
    // A publish not yet sent was made from an older copy: this one wins.
    ownershipPending_ = false;
    contents_.items = std::move(change.content.items);
    contents_.owner = std::move(owner);
    origins_ = std::move(change.content.origins);
    if (changeHandler_)
        changeHandler_(contents_);
}

void X11ClipboardService::publish(Rendition items) {
    const bool replacesOurs = contents_.owner && contents_.owner->bundleID == Workspace::ownBundleID;
    echo_.published(items, replacesOurs ? Rendition{} : contents_.items);
    contents_.items = std::move(items);
    contents_.owner = Party{std::string(Workspace::ownBundleID), std::nullopt};
    ++contents_.changeCount;
    if (ownershipPending_)
        return;
    ownershipPending_ = true;
    // Several publishes in one turn of the main loop take the clipboard once,
    // with the last of them.
    scheduler_.post([this, alive = alive_] {
        if (alive->alive && ownershipPending_)
            takeOwnership();
    });
}

void X11ClipboardService::forgetAnswers(int32_t pid) {
    clipboard_->forgetAnswers(pid);
}

void X11ClipboardService::offerPrimaryOnce(Rendition items, std::function<void(bool)> ready) {
    if (!primary_)
        primary_ = X11PrimarySelection::create(nullptr, display_ ? display_->c_str() : nullptr);
    if (!primary_) {
        ready(false);
        return;
    }
    primary_->offerOnce(std::move(items), [this, alive = alive_, ready = std::move(ready)](bool owned) {
        scheduler_.post([alive, ready, owned] {
            if (alive->alive)
                ready(owned);
        });
    });
}

void X11ClipboardService::afterPublished(std::function<void()> then) {
    // Sent now rather than on the next turn, so the clipboard thread takes
    // the clipboard before it runs what is queued after it.
    if (ownershipPending_)
        takeOwnership();
    clipboard_->afterQueued([this, alive = alive_, then = std::move(then)] {
        scheduler_.post([alive, then] {
            if (alive->alive)
                then();
        });
    });
}

void X11ClipboardService::takeOwnership() {
    ownershipPending_ = false;
    clipboard_->own(contents_.items, origins_, lastReport_);
}

}  // namespace dz::x11
