#include "linux/wayland/WaylandClipboardService.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "app/platform/Workspace.h"
#include "linux/wayland/ClipboardKeeper.h"

namespace dz::wayland {

// Callbacks from the clipboard thread reach the main thread through the
// scheduler; this flag keeps them from touching a service that is gone.
struct WaylandClipboardService::Alive {
    std::atomic<bool> alive{true};
};

WaylandClipboardService::WaylandClipboardService(Scheduler& scheduler, x11::AppIdentity& identity)
    : scheduler_(scheduler), identity_(identity), alive_(std::make_shared<Alive>()) {}

std::unique_ptr<WaylandClipboardService> WaylandClipboardService::create(Scheduler& scheduler,
                                                                         x11::AppIdentity& identity,
                                                                         std::string* error,
                                                                         const char* display,
                                                                         ClipboardLimits limits) {
    std::unique_ptr<WaylandClipboardService> service(new WaylandClipboardService(scheduler, identity));
    auto* self = service.get();
    auto alive = service->alive_;
    auto party = [](std::optional<int32_t> pid, std::optional<std::string> id) -> std::optional<Party> {
        if (!pid || !id)
            return std::nullopt;
        return Party{std::move(id), *pid};
    };

    DataControlClipboard::Callbacks callbacks;
    // On the clipboard thread: the first look-up reads the application folders.
    callbacks.identify = [&identity](int32_t pid) -> std::optional<std::string> {
        return identity.application(pid).id;
    };
    callbacks.changed = [self, alive, party, &scheduler](DataControlClipboard::Change change) {
        auto owner = party(change.ownerPID, change.ownerID);
        scheduler.post([self, alive, change = std::move(change), owner]() mutable {
            if (alive->alive)
                self->applyChange(std::move(change), std::move(owner));
        });
    };
    callbacks.pasteRequest = [self, alive, party, &scheduler](const DataControlClipboard::Request& r,
                                                              DataControlClipboard::Answer answer) {
        PasteRequest request{r.id, party(r.pid, r.application).value_or(Party{}), false};
        scheduler.post([self, alive, request, answer = std::move(answer)] {
            if (!alive->alive || !self->pasteHandler_) {
                answer(std::nullopt);
                return;
            }
            self->requests_[request.id] = request;
            self->pasteHandler_(
                request, [answer](std::optional<Rendition> rendition) { answer(std::move(rendition)); });
        });
    };
    callbacks.pasteFinished = [self, alive, &scheduler](uint64_t id, bool delivered) {
        scheduler.post([self, alive, id, delivered] {
            if (!alive->alive)
                return;
            auto it = self->requests_.find(id);
            if (it == self->requests_.end())
                return;
            auto request = it->second;
            self->requests_.erase(it);
            if (self->finishedHandler_)
                self->finishedHandler_(request, delivered);
        });
    };
    service->clipboard_ = DataControlClipboard::create(std::move(callbacks), error, display, limits);
    if (!service->clipboard_)
        return nullptr;
    return service;
}

WaylandClipboardService::~WaylandClipboardService() {
    alive_->alive = false;
    if (clipboard_)
        clipboard_->shutdown();
}

void WaylandClipboardService::shutdown(bool keepCopy) {
    if (ownershipPending_)
        takeOwnership();
    alive_->alive = false;
    clipboard_->shutdown();
    if (!keepCopy)
        return;
    if (auto content = clipboard_->ownedContent()) {
        std::string why;
        if (!ClipboardKeeper::start(*content, &why))
            std::fprintf(stderr, "dozuzavuvu: the last copy goes with us: %s\n", why.c_str());
    }
}

void WaylandClipboardService::applyChange(DataControlClipboard::Change change, std::optional<Party> owner) {
    lastReport_ = change.serial;
    if (echo_.isEcho(change.content.items))
        return;  // our own text coming back: what we published still stands
    contents_.changeCount += static_cast<int64_t>(std::max<uint64_t>(change.changes, 1));
    // A publish not yet sent was made from an older copy: this one wins.
    ownershipPending_ = false;
    contents_.items = std::move(change.content.items);
    contents_.owner = std::move(owner);
    origins_ = std::move(change.content.origins);
    if (changeHandler_)
        changeHandler_(contents_);
}

void WaylandClipboardService::publish(Rendition items) {
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

void WaylandClipboardService::afterPublished(std::function<void()> then) {
    // Sent now rather than on the next turn, so that the clipboard thread
    // takes the selection before it asks for the compositor's answer.
    if (ownershipPending_)
        takeOwnership();
    clipboard_->afterSynced([this, alive = alive_, then = std::move(then)] {
        scheduler_.post([alive, then] {
            if (alive->alive)
                then();
        });
    });
}

void WaylandClipboardService::takeOwnership() {
    ownershipPending_ = false;
    clipboard_->own(contents_.items, origins_, lastReport_);
}

}  // namespace dz::wayland
