#pragma once
// What the settings window needs from the running program beyond the
// settings store: the controller's published state and a few desktop
// services. The program implements it over the controller and the backend;
// widget tests use a fake.

#include "ui/ApplicationCatalog.h"
#include "ui/Bell.h"
#include "ui/BrowserAccess.h"
#include "ui/DefaultFormatControl.h"
#include "ui/DesktopApplication.h"
#include "ui/DisplaySession.h"
#include "ui/HotKeySuspension.h"
#include "ui/KeystrokeSupport.h"
#include "ui/LoginItem.h"
#include "ui/RefusedShortcuts.h"
#include "ui/ScriptStatus.h"
#include "ui/StateNotifier.h"
#include "ui/WordDictionary.h"

namespace dz {

// Every service at once, while the tabs move to the ones they use.
class DesktopServices : public StateNotifier,
                        public DefaultFormatControl,
                        public LoginItem,
                        public KeystrokeSupport,
                        public BrowserAccess,
                        public DisplaySession,
                        public ApplicationCatalog,
                        public HotKeySuspension,
                        public RefusedShortcuts,
                        public Bell,
                        public ScriptStatus,
                        public WordDictionary {
  public:
    using Application = DesktopApplication;

    using StateNotifier::StateNotifier;

    std::function<bool(std::string_view)> wordPredicate() const override { return {}; }
};

}  // namespace dz
