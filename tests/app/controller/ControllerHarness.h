#pragma once
// A controller on fake desktop services and in-memory settings.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/controller/AppController.h"
#include "app/platform/fakes/FakePlatform.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"
#include "core/clipboard/PasteboardTypes.h"

namespace dz::test {

struct ControllerHarness {
    fake::FakePlatform fakes;
    MemorySettingsStorage storage;
    AppSettings settings{storage};
    std::unique_ptr<AppController> controller;

    ControllerHarness() {
        fakes.workspace.running = {{"org.gnome.TextEditor", "Text Editor", 100},
                                   {"firefox-esr", "Firefox", 200},
                                   {"md.obsidian.Obsidian", "Obsidian", 300}};
        fakes.workspace.frontmost = "org.gnome.TextEditor";
        controller = std::make_unique<AppController>(settings, fakes.platform());
        controller->start();
        fakes.scheduler.runDue();
    }

    void edit(const std::function<void(SettingsData&)>& change) {
        SettingsData data = settings.data();
        change(data);
        settings.setData(std::move(data));
        fakes.scheduler.runDue();
    }
    void copy(std::vector<std::pair<std::string, std::string>> items,
              std::string from = "org.gnome.TextEditor") {
        fakes.clipboard.copy(items, Clipboard::Party{from, fakes.workspace.application(from).pid});
        fakes.scheduler.runDue();
    }
    void copyHTML(const std::string& html, const std::string& plain,
                  std::string from = "org.gnome.TextEditor") {
        copy({{std::string(pasteboardtype::html), html}, {std::string(pasteboardtype::string), plain}}, from);
    }
    // The plain text an application receives when it pastes now.
    std::string paste(const std::string& into) {
        std::string text = "<no answer>";
        fakes.clipboard.paste(Clipboard::Party{into, fakes.workspace.application(into).pid},
                              [&text](const fake::FakeClipboard::Served& served) {
                                  text = "<no text>";
                                  for (const auto& item : served.items)
                                      if (item.type == pasteboardtype::string)
                                          text = item.data;
                              });
        fakes.scheduler.runDue();
        return text;
    }
    std::string clipboardText() const {
        return fakes.clipboard.item(pasteboardtype::string).value_or("<none>");
    }
};

}  // namespace dz::test
