#include "linux/portal/PortalShortcutBinding.h"

#include "app/controller/ShortcutActions.h"

namespace dz::portal {

std::vector<PortalGlobalShortcuts::Shortcut> PortalShortcutBinding::shortcutsFor(const SettingsData& data) {
    std::vector<PortalGlobalShortcuts::Shortcut> shortcuts;
    for (ShortcutAction action : shortcutaction::allCases) {
        PortalGlobalShortcuts::Shortcut s{std::string(shortcutaction::rawValue(action)),
                                          std::string(shortcutaction::title(action)), std::nullopt};
        if (auto combo = data.shortcut(action))
            s.preferredTrigger = PortalGlobalShortcuts::triggerFor(*combo);
        shortcuts.push_back(std::move(s));
    }
    return shortcuts;
}

std::unique_ptr<PortalShortcutBinding> PortalShortcutBinding::open(AppSettings& settings,
                                                                   ShortcutActions& actions,
                                                                   Scheduler& scheduler,
                                                                   std::function<void()> triggersChanged,
                                                                   std::string* error) {
    std::unique_ptr<PortalShortcutBinding> binding(new PortalShortcutBinding);
    auto* self = binding.get();
    self->triggersChanged_ = std::move(triggersChanged);
    // The portal's handlers run on the main thread and only while it
    // exists, which the binding's lifetime bounds.
    self->portal_ = PortalGlobalShortcuts::open(
        scheduler,
        [&actions](const std::string& id) {
            if (auto action = shortcutaction::fromRaw(id))
                actions.perform(*action);
        },
        [self](const PortalGlobalShortcuts::Triggers& triggers) {
            self->triggers_ = triggers;
            if (self->triggersChanged_)
                self->triggersChanged_();
        },
        error);
    if (!self->portal_)
        return nullptr;
    auto last = std::make_shared<std::optional<std::vector<PortalGlobalShortcuts::Shortcut>>>();
    self->subscription_ = settings.subscribe([self, last](const SettingsData& data) {
        auto shortcuts = shortcutsFor(data);
        if (*last && **last == shortcuts)
            return;
        *last = shortcuts;
        self->portal_->bind(std::move(shortcuts));
    });
    return binding;
}

std::optional<std::string> PortalShortcutBinding::trigger(ShortcutAction action) const {
    auto it = triggers_.find(std::string(shortcutaction::rawValue(action)));
    if (it == triggers_.end())
        return std::nullopt;
    return it->second;
}

}  // namespace dz::portal
