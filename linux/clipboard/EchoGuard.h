#pragma once
// Tells our own content coming back from another clipboard tool. Tools that
// re-copy every new selection (a watcher running a copier) offer only its
// text and drop our marker type; cleaning that copy again would make them
// copy again, without end. A foreign copy of nothing but text, equal to the
// text we last published, is that echo and is left alone. So is one equal to
// the text of the copy that publish replaced: such a watcher also re-copies
// each copy it saw, ours or not, over and over.

#include <optional>
#include <string>
#include <vector>

#include "core/clipboard/ClipboardSnapshot.h"

namespace dz {

class EchoGuard {
  public:
    using Items = std::vector<ClipboardSnapshot::Entry>;

    // Our publish of `items`, made in place of another application's copy
    // `replaced` (empty when it replaces a publish of ours).
    void published(const Items& items, const Items& replaced);
    // Whether this foreign copy is our last publish (or what it replaced)
    // coming back; a copy that is not forgets the publish.
    bool isEcho(const Items& foreign);

  private:
    std::optional<std::string> text_;
    std::optional<std::string> replacedText_;
};

}  // namespace dz
