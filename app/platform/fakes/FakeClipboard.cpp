#include "app/platform/fakes/FakeClipboard.h"

#include <memory>

#include "app/platform/Scheduler.h"
#include "app/platform/Workspace.h"

namespace dz::fake {

void FakeClipboard::announceOwnWrite() {
    owner_ = Party{std::string(Workspace::ownBundleID), std::nullopt};
    ownedByProgram_ = true;
    scheduler_.post([this] {
        if (changeHandler_)
            changeHandler_();
    });
}

void FakeClipboard::clearContents() {
    if (willWrite)
        willWrite();
    ++writes_;
    store_.clearContents();
    announceOwnWrite();
    if (didWrite)
        didWrite();
}

void FakeClipboard::declareTypes(const std::vector<std::string>& types) {
    store_.declareTypes(types);
    announceOwnWrite();
    if (didWrite)
        didWrite();
}

bool FakeClipboard::setData(const std::string& bytes, const std::string& type) {
    bool written = store_.setData(bytes, type);
    if (didWrite)
        didWrite();
    return written;
}

bool FakeClipboard::setString(const std::string& text, const std::string& type) {
    bool written = store_.setString(text, type);
    if (didWrite)
        didWrite();
    return written;
}

void FakeClipboard::copy(const std::vector<std::pair<std::string, std::string>>& items,
                         std::optional<Party> owner) {
    std::vector<std::string> types;
    for (const auto& item : items) types.push_back(item.first);
    store_.clearContents();
    store_.declareTypes(types);
    for (const auto& [type, bytes] : items) store_.setData(bytes, type);
    owner_ = std::move(owner);
    ownedByProgram_ = false;
    if (changeHandler_)
        changeHandler_();
}

Clipboard::Rendition FakeClipboard::contents() const {
    Rendition items;
    for (const auto& item : store_.items()) items.push_back({item.type, item.data.value_or(std::string())});
    return items;
}

void FakeClipboard::paste(Party requester, std::function<void(const Served&)> received) {
    PasteRequest request{nextRequest_++, identifiesRequesters ? requester : Party{}};
    auto finish = [this, request, received](std::optional<Rendition> rendition) {
        Served served{request, rendition ? *rendition : contents(), rendition.has_value()};
        if (received)
            received(served);
        if (finishedHandler_)
            finishedHandler_(request);
    };
    if (!ownedByProgram_ || !pasteHandler_) {
        finish(std::nullopt);
        return;
    }
    auto once = std::make_shared<bool>(false);
    pasteHandler_(request, [once, finish](std::optional<Rendition> rendition) {
        if (*once)
            return;
        *once = true;
        finish(std::move(rendition));
    });
}

}  // namespace dz::fake
