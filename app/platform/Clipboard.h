#pragma once
// The desktop clipboard as the controller needs it: the engine's `Pasteboard`
// plus change notices, the identity of whoever changed it, and a hook through
// which each pasting application is asked what it should receive.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/Pasteboard.h"

namespace dz {

class Clipboard : public Pasteboard {
  public:
    // An application on the other end of a clipboard exchange.
    struct Party {
        std::optional<std::string> bundleID;  // its desktop-file id
        std::optional<int32_t> pid;
        bool operator==(const Party&) const = default;
    };

    // One application asking for the clipboard's contents, as a paste does.
    struct PasteRequest {
        uint64_t id = 0;  // unique per request, for `PasteFinishedHandler`
        Party requester;
        bool operator==(const PasteRequest&) const = default;
    };

    // The items to hand to one requester, in order (engine type identifiers,
    // markers included).
    using Rendition = std::vector<ClipboardSnapshot::Entry>;
    // Answers one paste request: a rendition for this requester only, or
    // nothing to give it what the clipboard holds for everyone.
    using PasteReply = std::function<void(std::optional<Rendition>)>;
    using ChangeHandler = std::function<void()>;
    using PasteHandler = std::function<void(const PasteRequest&, PasteReply)>;
    using PasteFinishedHandler = std::function<void(const PasteRequest&)>;

    // Reads (`types`, `data`, `string`, `changeCount`) never block: they give
    // the contents as of the last change the backend announced, read ahead on
    // its own thread. Writes (`clearContents` … `setData`) move the counter at
    // once, as the engine expects; the backend publishes the finished contents
    // when the main thread returns to its loop, and must not move the counter
    // again when the desktop then reports this program as the new owner.

    // The application that made the current contents, when the backend can
    // tell (on X11 from the owner window's process); nothing otherwise.
    virtual std::optional<Party> owner() const = 0;

    // Called on the main thread after each change of the contents by another
    // application (including the owner going away). May also be called after
    // the program's own writes; the counter tells them apart. Replaces the
    // previous handler.
    virtual void setChangeHandler(ChangeHandler handler) = 0;

    // Whether `PasteRequest::requester` is filled in, so that different
    // applications can be served different renditions.
    virtual bool canIdentifyRequesters() const = 0;

    // Called on the main thread once per paste while this program owns the
    // clipboard (on X11: a requester's first request; its follow-up requests
    // within about 2 s get the same answer). The reply must be called exactly
    // once, on the main thread, now or later; the backend holds the requester
    // until its own deadline and gives it the common contents if no reply has
    // come by then. Without a handler every requester gets the common contents.
    virtual void setPasteHandler(PasteHandler handler) = 0;

    // Called on the main thread when the data of a paste request have been
    // transferred to the requester (or the transfer failed for good).
    virtual void setPasteFinishedHandler(PasteFinishedHandler handler) = 0;
};

}  // namespace dz
