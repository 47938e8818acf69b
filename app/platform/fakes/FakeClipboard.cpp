#include "app/platform/fakes/FakeClipboard.h"

#include <memory>

#include "app/platform/Scheduler.h"
#include "app/platform/Workspace.h"

namespace dz::fake {

void FakeClipboard::publish(Rendition items) {
    if (willWrite)
        willWrite();
    ++writes_;
    contents_.items = std::move(items);
    contents_.owner = Party{std::string(Workspace::ownBundleID), std::nullopt};
    ++contents_.changeCount;
    ownedByProgram_ = true;
    scheduler_.post([this] {
        if (changeHandler_)
            changeHandler_(contents_);
    });
    if (didWrite)
        didWrite();
}

void FakeClipboard::copy(const std::vector<std::pair<std::string, std::string>>& items,
                         std::optional<Party> owner) {
    Rendition copied;
    for (const auto& [type, bytes] : items) copied.push_back({type, bytes});
    copyItems(std::move(copied), std::move(owner));
}

void FakeClipboard::copyItems(Rendition items, std::optional<Party> owner) {
    contents_.items = std::move(items);
    contents_.owner = std::move(owner);
    ++contents_.changeCount;
    ownedByProgram_ = false;
    if (changeHandler_)
        changeHandler_(contents_);
}

std::optional<std::string> FakeClipboard::item(std::string_view type) const {
    for (const auto& entry : contents_.items)
        if (entry.type == type)
            return entry.data;
    return std::nullopt;
}

void FakeClipboard::paste(Party requester, std::function<void(const Served&)> received, Reading reading) {
    PasteRequest request{nextRequest_++, identifiesRequesters ? requester : Party{},
                         reading == Reading::save};
    auto finish = [this, request, received, reading](std::optional<Rendition> rendition) {
        Served served{request, rendition ? *rendition : contents_.items, rendition.has_value()};
        if (received)
            received(served);
        if (finishedHandler_)
            finishedHandler_(request, reading != Reading::types);
    };
    if (!ownedByProgram_ || !pasteHandler_) {
        finish(std::nullopt);
        return;
    }
    const std::optional<int32_t> pid = request.requester.pid;
    if (keepsAnswers > 0 && pid) {
        if (auto it = kept_.find(*pid); it != kept_.end()) {
            if (it->second.changeCount == contents_.changeCount && scheduler_.now() < it->second.until) {
                finish(it->second.rendition);
                return;
            }
            kept_.erase(it);
        }
    }
    auto once = std::make_shared<bool>(false);
    pasteHandler_(request, [this, once, finish, pid](std::optional<Rendition> rendition) {
        if (*once)
            return;
        *once = true;
        if (keepsAnswers > 0 && pid)
            kept_[*pid] = {rendition, scheduler_.now() + keepsAnswers, contents_.changeCount};
        finish(std::move(rendition));
    });
}

}  // namespace dz::fake
