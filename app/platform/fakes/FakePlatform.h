#pragma once
// Every fake desktop service, wired together on one virtual clock.

#include "app/platform/Platform.h"
#include "app/platform/fakes/FakeClipboard.h"
#include "app/platform/fakes/FakeInput.h"
#include "app/platform/fakes/FakeServices.h"
#include "app/platform/fakes/FakeWindowEvents.h"
#include "app/platform/fakes/FakeWorkspace.h"
#include "app/platform/fakes/InlineWorker.h"
#include "app/platform/fakes/VirtualScheduler.h"

namespace dz::fake {

struct FakePlatform {
    VirtualScheduler scheduler;
    FakeClipboard clipboard{scheduler};
    FakeWorkspace workspace;
    FakeKeyEventSource keys;
    FakeHotKeyService hotKeys;
    FakeKeystrokeSender keystrokes;
    FakePageAddressLookup pageAddresses{scheduler};
    FakeSystemServices system;
    FakeSpellChecker spelling;
    InlineWorker worker;
    FakeWindowEvents windows;

    Platform platform() {
        return Platform{clipboard, workspace, keys,      hotKeys, keystrokes, pageAddresses,
                        system,    spelling,  scheduler, worker,  windows};
    }
};

}  // namespace dz::fake
