#include "app/input/HotKeyCenter.h"

#include "app/platform/HotKeyService.h"

namespace dz {

HotKeyCenter::HotKeyCenter(HotKeyService& service) : service_(service) {}

HotKeyCenter::~HotKeyCenter() {
    unregisterAll();
    if (handlerInstalled_)
        service_.setPressHandler(nullptr);
}

std::vector<KeyCombo> HotKeyCenter::setHotKeys(const std::vector<std::pair<KeyCombo, Action>>& hotKeys) {
    unregisterAll();
    combos_.clear();
    handlers_.clear();
    if (!handlerInstalled_) {
        service_.setPressHandler([this](uint32_t id) { pressed(id); });
        handlerInstalled_ = true;
    }
    uint32_t id = 1;
    for (const auto& [combo, action] : hotKeys) {
        combos_[id] = combo;
        handlers_[id] = action;
        ++id;
    }
    if (isSuspended)
        return {};
    return registerAll();
}

std::vector<KeyCombo> HotKeyCenter::registerAll() {
    std::vector<KeyCombo> failed;
    for (const auto& [id, combo] : combos_) {
        if (live_.count(id))
            continue;
        if (service_.registerHotKey(id, combo))
            live_[id] = true;
        else
            failed.push_back(combo);
    }
    return failed;
}

void HotKeyCenter::unregisterAll() {
    for (const auto& [id, _] : live_) service_.unregisterHotKey(id);
    live_.clear();
}

void HotKeyCenter::pressed(uint32_t id) {
    if (isSuspended)
        return;
    auto it = handlers_.find(id);
    if (it == handlers_.end())
        return;
    Action action = it->second;  // the action may replace the registrations
    action();
}

}  // namespace dz
