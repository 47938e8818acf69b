#pragma once
// Every desktop service the controller uses, passed in as one bundle. The
// executables' `main` builds the real ones; tests and the scenario runner
// build the fakes in app/platform/fakes.

namespace dz {

class Clipboard;
class HotKeyService;
class KeyEventSource;
class KeystrokeSender;
class PageAddressLookup;
class Scheduler;
class SpellChecker;
class SystemServices;
class WindowEvents;
class Worker;
class Workspace;

struct Platform {
    Clipboard& clipboard;
    Workspace& workspace;
    KeyEventSource& keys;
    HotKeyService& hotKeys;
    KeystrokeSender& keystrokes;
    PageAddressLookup& pageAddresses;
    SystemServices& system;
    SpellChecker& spelling;
    Scheduler& scheduler;
    Worker& worker;
    WindowEvents& windows;
};

}  // namespace dz
