#pragma once
// The clipboard of a desktop that lets no other program see it: always empty,
// never changes, and drops what is published, so that whatever the
// controller does with it (a one-shot conversion, a paste shortcut) ends
// without effect rather than failing.

#include "app/platform/Clipboard.h"

namespace dz {

class InertClipboard final : public Clipboard {
  public:
    const Contents& contents() const override { return contents_; }
    // Refused: the counter stays, so nothing reads as our own copy.
    void publish(Rendition) override {}
    // No change ever comes.
    void setChangeHandler(ChangeHandler) override {}
    bool canIdentifyRequesters() const override { return false; }
    // No paste ever asks.
    void setPasteHandler(PasteHandler) override {}
    void setPasteFinishedHandler(PasteFinishedHandler) override {}

  private:
    Contents contents_;
};

}  // namespace dz
