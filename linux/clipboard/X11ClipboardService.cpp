#include "linux/clipboard/X11ClipboardService.h"

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
    callbacks.pasteRequest = [self, alive, party, &scheduler](const X11Clipboard::Request& r,
                                                              X11Clipboard::Answer answer) {
        PasteRequest request{r.id, party(r.pid).value_or(Party{})};
        scheduler.post([self, alive, request, answer = std::move(answer)] {
            if (!alive->alive || !self->pasteHandler_) {
                answer(std::nullopt);
                return;
            }
            self->requests_[request.id] = request;
            self->pasteHandler_(request, [answer](std::optional<Rendition> rendition) {
                if (!rendition) {
                    answer(std::nullopt);
                    return;
                }
                std::vector<EngineItem> items;
                for (auto& entry : *rendition) items.push_back({entry.type, entry.data});
                answer(std::move(items));
            });
        });
    };
    callbacks.pasteFinished = [self, alive, &scheduler](uint64_t id) {
        scheduler.post([self, alive, id] {
            if (!alive->alive)
                return;
            auto it = self->requests_.find(id);
            if (it == self->requests_.end())
                return;
            auto request = it->second;
            self->requests_.erase(it);
            if (self->finishedHandler_)
                self->finishedHandler_(request);
        });
    };
    service->clipboard_ = X11Clipboard::create(std::move(callbacks), error, display, limits);
    if (!service->clipboard_)
        return nullptr;
    service->identifiesRequesters_ = service->clipboard_->connection().hasExtension("X-Resource");
    return service;
}

X11ClipboardService::~X11ClipboardService() {
    alive_->alive = false;
    if (clipboard_)
        clipboard_->shutdown(false);
}

void X11ClipboardService::shutdown() {
    if (publishPending_)
        publish();
    alive_->alive = false;
    clipboard_->shutdown(true);
}

void X11ClipboardService::applyChange(X11Clipboard::Change change, std::optional<Party> owner) {
    // Each owner event is one change of the counter; the view moves at
    // least as far as the desktop did.
    std::vector<std::string> types;
    for (const auto& item : change.content.items) types.push_back(item.type);
    for (uint64_t i = 1; i < change.changes; ++i) store_.clearContents();
    store_.clearContents();
    store_.declareTypes(types);
    for (const auto& item : change.content.items) store_.setData(item.data, item.type);
    origins_ = std::move(change.content.origins);
    owner_ = std::move(owner);
    if (changeHandler_)
        changeHandler_();
}

void X11ClipboardService::wrote() {
    owner_ = Party{std::string(Workspace::ownBundleID), std::nullopt};
    if (publishPending_)
        return;
    publishPending_ = true;
    // The engine writes in several calls; the finished contents go out once
    // the main thread returns to its loop.
    scheduler_.post([this, alive = alive_] {
        if (alive->alive && publishPending_)
            publish();
    });
}

void X11ClipboardService::publish() {
    publishPending_ = false;
    std::vector<EngineItem> items;
    for (const auto& item : store_.items()) items.push_back({item.type, item.data.value_or(std::string())});
    clipboard_->own(std::move(items), origins_);
}

void X11ClipboardService::clearContents() {
    store_.clearContents();
    wrote();
}

void X11ClipboardService::declareTypes(const std::vector<std::string>& types) {
    store_.declareTypes(types);
    wrote();
}

bool X11ClipboardService::setData(const std::string& bytes, const std::string& type) {
    bool ok = store_.setData(bytes, type);
    if (ok)
        wrote();
    return ok;
}

bool X11ClipboardService::setString(const std::string& text, const std::string& type) {
    bool ok = store_.setString(text, type);
    if (ok)
        wrote();
    return ok;
}

}  // namespace dz::x11
