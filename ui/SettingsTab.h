#pragma once

#include <array>

namespace dz {

// The settings window's tabs in display order.
enum class SettingsTab { general, rules, cleaning, markdown, shortcuts, script, tryIt };

namespace settingstab {

inline constexpr std::array<SettingsTab, 7> allCases{
    SettingsTab::general,   SettingsTab::rules,  SettingsTab::cleaning, SettingsTab::markdown,
    SettingsTab::shortcuts, SettingsTab::script, SettingsTab::tryIt};

constexpr const char* title(SettingsTab tab) {
    constexpr const char* titles[] = {"General",   "Rules",  "Cleaning", "Markdown & PDF",
                                      "Shortcuts", "Script", "Try It"};
    return titles[int(tab)];
}

// Names from the freedesktop icon naming standard.
constexpr const char* iconName(SettingsTab tab) {
    constexpr const char* names[] = {"preferences-system", "network-transmit-receive",     "edit-clear",
                                     "text-x-generic",     "preferences-desktop-keyboard", "text-x-script",
                                     "system-run"};
    return names[int(tab)];
}

}  // namespace settingstab
}  // namespace dz
