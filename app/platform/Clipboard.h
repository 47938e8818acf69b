#pragma once
// The desktop clipboard as the controller needs it: the copy with its owner
// and change counter, delivered with each change notice; publishing a
// rendition; and a hook through which each pasting application is asked what
// it should receive.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/clipboard/ClipboardSnapshot.h"

namespace dz {

class Clipboard {
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
        // A clipboard manager keeping the contents (on X11: its first request
        // asked for SAVE_TARGETS), not a paste.
        bool fromManager = false;
        bool operator==(const PasteRequest&) const = default;
    };

    // Items in order (engine type identifiers, markers included).
    using Rendition = std::vector<ClipboardSnapshot::Entry>;

    // What the clipboard holds. Items read from another application are
    // translated to engine types by the backend's table; an owner that went
    // away or refused to answer leaves no items.
    struct Contents {
        Rendition items;
        // The application that made the contents, when the backend can tell
        // (on X11 from the owner window's process); this program after its
        // own `publish`.
        std::optional<Party> owner;
        // Moves at least once per change, never backwards.
        int64_t changeCount = 0;
        bool operator==(const Contents&) const = default;
    };

    // Answers one paste request: a rendition for this requester only, or
    // nothing to give it what the clipboard holds for everyone.
    using PasteReply = std::function<void(std::optional<Rendition>)>;
    using ChangeHandler = std::function<void(const Contents&)>;
    using PasteHandler = std::function<void(const PasteRequest&, PasteReply)>;
    using PasteFinishedHandler = std::function<void(const PasteRequest&, bool delivered)>;

    Clipboard() = default;
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;
    virtual ~Clipboard() = default;

    // The contents as of the last change the backend announced, read ahead
    // on its own thread; never blocks.
    virtual const Contents& contents() const = 0;
    int64_t changeCount() const { return contents().changeCount; }

    // Makes these items the clipboard's contents for everyone. The counter
    // moves at once and `contents()` shows them with this program as owner;
    // the backend takes the desktop's clipboard when the main thread returns
    // to its loop (the last of several publishes in one turn wins), and must
    // not move the counter again when the desktop then reports this program
    // as the new owner.
    virtual void publish(Rendition items) = 0;

    // Called on the main thread after each change by another application
    // (including the owner going away), with the new contents. May also be
    // called after the program's own publishes; the counter tells them
    // apart. Replaces the previous handler.
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

    // Called on the main thread once a paste request is over: `delivered`
    // when the data of a type reached the requester, false when it only
    // looked at which types there are or the transfer failed for good.
    virtual void setPasteFinishedHandler(PasteFinishedHandler handler) = 0;

    // Forgets the answers kept for the requests of process `pid`, so that its
    // next request is asked again: what decided an answer (a browser's page
    // address) has become known or changed. Backends that keep no answers
    // have nothing to do.
    virtual void forgetAnswers(int32_t pid) { (void)pid; }

    // Calls `then` on the main thread once what was published last is what
    // the clipboard serves: a key that makes an application paste must not
    // reach it before. Backends that publish at once call it at once.
    virtual void afterPublished(std::function<void()> then) { then(); }

    // For terminals whose only paste key reads the primary selection (X11's
    // PRIMARY; Shift+Insert in xterm): keeps what it holds, puts the text of
    // `items` there and calls `ready` on the main thread with whether that
    // worked (only then is the key worth typing). After the first paste that
    // receives the text, or a few seconds without one, the old text goes
    // back, unless the user has selected something else meanwhile. The
    // clipboard itself is not touched. Desktops without a primary selection
    // answer false.
    virtual bool hasPrimarySelection() const { return false; }
    virtual void offerPrimaryOnce(Rendition items, std::function<void(bool)> ready) {
        (void)items;
        ready(false);
    }
};

}  // namespace dz
