#include "tools/scenario/ScenarioRunner.h"

#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/controller/AppController.h"
#include "app/controller/StartUp.h"
#include "app/controller/StatusItemBridge.h"
#include "app/input/KeyNames.h"
#include "app/menu/ShortTime.h"
#include "app/menu/StatusItemController.h"
#include "app/platform/fakes/FakePlatform.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"
#include "core/clipboard/PasteboardTypes.h"

namespace dz::scenario {

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;

// The longest a single wait or a late browser answer may be: the virtual
// clock runs every timer on the way, so absurd spans would take forever.
constexpr double maximumSpan = 86'400;
// And the longest a whole scenario may run.
constexpr double maximumDuration = 31 * 86'400;

// A step that cannot be run; the message is the reason.
struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Counts the saves of the settings document.
class ObservedStorage final : public MemorySettingsStorage {
  public:
    std::function<void()> onSave;
    bool write(std::string_view key, std::string_view bytes, std::string* error = nullptr) override {
        bool written = MemorySettingsStorage::write(key, bytes, error);
        if (written && key == AppSettings::storageKey && onSave)
            onSave();
        return written;
    }
};

std::optional<std::string> decodeBase64(std::string_view text) {
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    };
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    std::string out;
    uint32_t buffer = 0;
    int bits = 0;
    for (char c : text) {
        int v = value(c);
        if (v < 0)
            return std::nullopt;
        buffer = (buffer << 6) | uint32_t(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(char((buffer >> bits) & 0xFF));
        }
    }
    if (bits >= 6)
        return std::nullopt;
    return out;
}

ojson writtenJSON(const Written& w) {
    ojson j;
    j["format"] = std::string(outputformat::rawValue(w.format));
    j["reflow"] = w.reflow;
    return j;
}

std::optional<std::string> plainText(const Clipboard::Rendition& items) {
    for (const auto& item : items)
        if (item.type == pasteboardtype::string)
            return item.data;
    return std::nullopt;
}

ojson typesJSON(const Clipboard::Rendition& items) {
    ojson types = ojson::array();
    for (const auto& item : items) types.push_back(item.type);
    return types;
}

ojson optionalText(const std::optional<std::string>& text) {
    return text ? ojson(*text) : ojson(nullptr);
}

const std::string& expectString(const json& value, const char* what) {
    if (!value.is_string())
        throw Malformed(std::string(what) + " must be a string");
    return value.get_ref<const std::string&>();
}

double expectSeconds(const json& value, const char* what) {
    if (!value.is_number())
        throw Malformed(std::string(what) + " must be a number");
    double seconds = value.get<double>();
    if (!std::isfinite(seconds) || seconds < 0 || seconds > maximumSpan)
        throw Malformed(std::string(what) + " must be between 0 and 86400 seconds");
    return seconds;
}

class Runner {
  public:
    Runner(std::ostream& out) : out_(out) {}

    void run(const json& steps) {
        if (!steps.is_array())
            throw Malformed("the scenario is not a JSON array");
        size_t first = 0;
        if (!steps.empty() && steps[0].is_object() && steps[0].size() == 1 && steps[0].contains("launch")) {
            stepNumber_ = 1;
            const json& doc = steps[0]["launch"];
            if (!doc.is_object())
                throw Malformed("launch must be a settings document object");
            std::string error;
            auto data = SettingsData::fromJSON(doc, &error);
            if (!data)
                throw Malformed("launch: " + error);
            auto encoded = data->encode(&error);
            if (!encoded)
                throw Malformed("launch: " + error);
            storage_.blobs[std::string(AppSettings::storageKey)] = *encoded;
            first = 1;
        }
        build();
        for (size_t i = first; i < steps.size(); ++i) {
            stepNumber_ = i + 1;
            step(steps[i]);
            fakes_.scheduler.runDue();
            flushClipboard();
        }
    }

    size_t stepNumber() const { return stepNumber_; }

  private:
    void build() {
        storage_.onSave = [this] { emit("settingsSaved"); };
        settings_ = std::make_unique<AppSettings>(storage_);
        controller_ = std::make_unique<AppController>(*settings_, fakes_.platform());
        tray_ = std::make_unique<StatusItemController>(
            *settings_, fakes_.scheduler, [this] { return statusItemState(*controller_); },
            statusItemActions(
                *controller_, [this] { emitOpenSettings(); }, [this] { emit("quit"); }),
            shorttime::pattern("HH:mm", "UTC"));

        fakes_.clipboard.willWrite = [this] { flushClipboard(); };
        fakes_.clipboard.didWrite = [this] {
            if (!clipboardWritten_)
                writeTime_ = fakes_.scheduler.elapsed();
            clipboardWritten_ = true;
        };
        fakes_.keystrokes.onPress = [this](uint32_t code, uint32_t modifiers) {
            ojson e = event("keystroke");
            e["keys"] = keynames::modifierPrefix(modifiers) + std::string(keynames::name(code).value_or("?"));
            print(e);
        };
        fakes_.clipboard.onPrimaryOffer = [this](const Clipboard::Rendition& items) {
            ojson e = event("primary");
            e["text"] = optionalText(plainText(items));
            print(e);
        };
        fakes_.system.onBeep = [this] { emit("beep"); };
        fakes_.system.onNotify = [this](const std::string& text) {
            ojson e = event("notice");
            e["text"] = text;
            print(e);
        };

        keep(controller_->lastCopy.subscribe(
            skipFirst<std::optional<LastCopy>>([this](const std::optional<LastCopy>& last) {
                if (!last)
                    return;
                ojson e = event("lastCopy");
                e["label"] = last->source.label();
                switch (last->outcome.kind()) {
                    case CleanOutcome::Kind::cleaned:
                        e["outcome"] = "cleaned";
                        e["reason"] = nullptr;
                        break;
                    case CleanOutcome::Kind::unchanged:
                        e["outcome"] = "unchanged";
                        e["reason"] = nullptr;
                        break;
                    case CleanOutcome::Kind::skipped:
                        e["outcome"] = "skipped";
                        e["reason"] = std::string(skipreason::rawValue(*last->outcome.reason()));
                        break;
                }
                e["detail"] = last->detail;
                print(e);
            })));
        keep(controller_->scriptError.subscribe(
            skipFirst<std::optional<std::string>>([this](const std::optional<std::string>& message) {
                ojson e = event("scriptError");
                e["message"] = optionalText(message);
                print(e);
            })));
        keep(controller_->failedShortcuts.subscribe(
            skipFirst<std::vector<KeyCombo>>([this](const std::vector<KeyCombo>& combos) {
                ojson e = event("failedShortcuts");
                e["combos"] = ojson::array();
                for (const KeyCombo& combo : combos) e["combos"].push_back(keynames::displayText(combo));
                print(e);
            })));
        keep(controller_->interceptorActive.subscribe(skipFirst<bool>([this](const bool& value) {
            ojson e = event("interceptorActive");
            e["value"] = value;
            print(e);
        })));
        keep(controller_->stateChanged.subscribe([this] {
            StatusItemController::Appearance look = tray_->appearance();
            ojson e = event("stateChanged");
            e["status"] = look.stateText;
            e["dimmed"] = look.dimmed;
            print(e);
        }));
        keep(controller_->settingsRequested.subscribe([this] { emitOpenSettings(); }));

        hooks_.installStatusItem = [this] { tray_->refresh(); };
        hooks_.openSettings = [this] { emitOpenSettings(); };
        hooks_.revealIcon = [this](double seconds) {
            ojson e = event("reveal");
            e["seconds"] = seconds;
            print(e);
            tray_->revealTemporarily(seconds);
        };
        startUp(*settings_, *controller_, hooks_);
        fakes_.scheduler.runDue();
        flushClipboard();
    }

    template <typename S>
    void keep(S&& subscription) {
        subscriptions_.push_back(std::make_shared<std::decay_t<S>>(std::move(subscription)));
    }

    template <typename T>
    static std::function<void(const T&)> skipFirst(std::function<void(const T&)> callback) {
        auto initial = std::make_shared<bool>(true);
        return [initial, callback](const T& value) {
            if (*initial) {
                *initial = false;
                return;
            }
            callback(value);
        };
    }

    ojson event(const char* name, std::optional<double> at = std::nullopt) const {
        ojson e;
        e["t"] = std::round(at.value_or(fakes_.scheduler.elapsed()) * 1000) / 1000;
        e["event"] = name;
        return e;
    }
    void emit(const char* name) { print(event(name)); }
    void emitOpenSettings() {
        ojson e = event("openSettings");
        e["tab"] = nullptr;
        print(e);
    }
    void print(const ojson& e) {
        flushClipboard();
        out_ << e.dump(-1, ' ', false, ojson::error_handler_t::replace) << "\n";
    }
    // Reports a finished write by the program, before anything that followed it.
    void flushClipboard() {
        if (!clipboardWritten_)
            return;
        clipboardWritten_ = false;
        Clipboard::Rendition items = fakes_.clipboard.contents().items;
        ojson e = event("clipboard", writeTime_);
        e["types"] = typesJSON(items);
        e["text"] = optionalText(plainText(items));
        print(e);
    }

    std::optional<Clipboard::Party> party(const std::string& bundleID) const {
        Workspace::RunningApplication app = fakes_.workspace.application(bundleID);
        return Clipboard::Party{app.bundleID, app.pid};
    }
    std::optional<std::string> frontmost() const { return fakes_.workspace.frontmost; }

    void step(const json& step) {
        if (!step.is_object() || step.size() != 1)
            throw Malformed("a step is an object with exactly one key");
        const std::string& key = step.begin().key();
        const json& value = step.begin().value();
        if (key == "settings")
            return settingsStep(value);
        if (key == "apps")
            return appsStep(value);
        if (key == "front") {
            if (value.is_null())
                fakes_.workspace.frontmost.reset();
            else
                fakes_.workspace.frontmost = expectString(value, "front");
            return;
        }
        if (key == "copy")
            return copyStep(value);
        if (key == "paste")
            return pasteStep(value);
        if (key == "key")
            return keyStep(value);
        if (key == "press")
            return pressStep(value);
        if (key == "url" || key == "link") {
            controller_->commands().open(
                {expectString(value, key.c_str())},
                key == "link" ? AutomationCommands::Origin::link : AutomationCommands::Origin::user);
            return;
        }

        if (key == "menu")
            return menuStep(value);
        if (key == "click") {
            if (expectString(value, "click") != "toggle")
                throw Malformed("click: unknown click \"" + value.get<std::string>() + "\"");
            tray_->toggleClicked();
            return;
        }
        if (key == "reopen") {
            if (!value.is_boolean())
                throw Malformed("reopen must be true or false");
            if (value.get<bool>())
                reopen(*settings_, hooks_);
            return;
        }
        if (key == "shortcuts_taken")
            return takenStep(value);
        if (key == "keystrokes") {
            if (!value.is_boolean())
                throw Malformed("keystrokes must be true or false");
            fakes_.keystrokes.canSend = value.get<bool>();
            return;
        }
        if (key == "browser")
            return browserStep(value);
        if (key == "window")
            return windowStep(value);
        if (key == "keeps_answers") {
            fakes_.clipboard.keepsAnswers = expectSeconds(value, "keeps_answers");
            return;
        }
        if (key == "browser_access") {
            if (!value.is_boolean())
                throw Malformed("browser_access must be true or false");
            fakes_.pageAddresses.isAvailable = value.get<bool>();
            return;
        }
        if (key == "wait") {
            double seconds = expectSeconds(value, "wait");
            if (fakes_.scheduler.elapsed() + seconds > maximumDuration)
                throw Malformed("the scenario would run longer than 31 days");
            fakes_.scheduler.advance(seconds);
            return;
        }
        if (key == "show")
            return showStep(value);
        if (key == "launch")
            throw Malformed("launch can only be the first step");
        throw Malformed("unknown step \"" + key + "\"");
    }

    void settingsStep(const json& doc) {
        if (!doc.is_object())
            throw Malformed("settings must be a settings document object");
        std::string error;
        if (!settings_->importJSON(doc.dump(), &error))
            throw Malformed("settings: " + error);
    }

    void appsStep(const json& apps) {
        if (!apps.is_array())
            throw Malformed("apps must be an array");
        std::vector<Workspace::RunningApplication> running;
        for (const json& app : apps) {
            if (!app.is_object() || !app.contains("id"))
                throw Malformed("each app is an object with an \"id\"");
            Workspace::RunningApplication entry;
            for (const auto& [field, v] : app.items()) {
                if (field == "id")
                    entry.bundleID = expectString(v, "apps: id");
                else if (field == "name")
                    entry.localizedName = expectString(v, "apps: name");
                else if (field == "pid") {
                    if (!v.is_number_integer() || v.get<int64_t>() < 0 || v.get<int64_t>() > INT32_MAX)
                        throw Malformed("apps: pid must be a process number");
                    entry.pid = int32_t(v.get<int64_t>());
                } else if (field == "exe") {
                    entry.executable = expectString(v, "apps: exe");
                } else {
                    throw Malformed("apps: unknown field \"" + field + "\"");
                }
            }
            running.push_back(std::move(entry));
        }
        fakes_.workspace.running = std::move(running);
    }

    void copyStep(const json& copy) {
        if (!copy.is_object() || !copy.contains("items"))
            throw Malformed("copy must be an object with \"items\"");
        std::optional<std::string> from = frontmost();
        std::vector<std::pair<std::string, std::string>> items;
        std::optional<std::string> declared;
        for (const auto& [field, v] : copy.items()) {
            if (field == "from") {
                from = v.is_null() ? std::nullopt : std::optional<std::string>(expectString(v, "copy: from"));
            } else if (field == "declared") {
                declared = expectString(v, "copy: declared");
            } else if (field == "items") {
                if (!v.is_array())
                    throw Malformed("copy: items must be an array");
                for (const json& item : v) {
                    if (!item.is_array() || item.size() != 2 || !item[0].is_string() || !item[1].is_string())
                        throw Malformed("copy: each item is [TYPE, TEXT]");
                    std::string text = item[1].get<std::string>();
                    if (text.starts_with("base64:")) {
                        auto bytes = decodeBase64(std::string_view(text).substr(7));
                        if (!bytes)
                            throw Malformed("copy: bad base64 data");
                        text = std::move(*bytes);
                    }
                    items.emplace_back(item[0].get<std::string>(), std::move(text));
                }
            } else {
                throw Malformed("copy: unknown field \"" + field + "\"");
            }
        }
        if (declared)
            items.emplace_back(std::string(pasteboardtype::sourceType), *declared);
        fakes_.clipboard.copy(items, from ? party(*from) : std::nullopt);
    }

    void pasteStep(const json& paste) {
        if (!paste.is_object())
            throw Malformed("paste must be an object");
        std::optional<std::string> into = frontmost();
        std::optional<std::optional<std::string>> url;
        auto reading = fake::FakeClipboard::Reading::data;
        for (const auto& [field, v] : paste.items()) {
            if (field == "into") {
                into =
                    v.is_null() ? std::nullopt : std::optional<std::string>(expectString(v, "paste: into"));
            } else if (field == "url") {
                url = v.is_null() ? std::optional<std::string>()
                                  : std::optional<std::string>(expectString(v, "paste: url"));
            } else if (field == "reads") {
                const std::string& reads = expectString(v, "paste: reads");
                if (reads == "types")
                    reading = fake::FakeClipboard::Reading::types;
                else if (reads == "save")
                    reading = fake::FakeClipboard::Reading::save;
                else if (reads != "data")
                    throw Malformed("paste: reads is \"data\", \"types\" or \"save\"");
            } else {
                throw Malformed("paste: unknown field \"" + field + "\"");
            }
        }
        std::optional<fake::FakePageAddressLookup::Answer> previous;
        if (url && into) {
            auto& answers = fakes_.pageAddresses.answers;
            if (auto it = answers.find(*into); it != answers.end())
                previous = it->second;
            answers[*into] = {*url, 0};
        }
        Clipboard::Party requester = into ? *party(*into) : Clipboard::Party{};
        fakes_.clipboard.paste(
            requester,
            [this, into, reading](const fake::FakeClipboard::Served& served) {
                ojson e = event("pasted");
                e["into"] = optionalText(into);
                // Types only: the text is not read.
                e["text"] = reading == fake::FakeClipboard::Reading::types
                                ? ojson(nullptr)
                                : optionalText(plainText(served.items));
                e["types"] = typesJSON(served.items);
                print(e);
            },
            reading);
        fakes_.scheduler.runDue();
        if (url && into) {
            if (previous)
                fakes_.pageAddresses.answers[*into] = *previous;
            else
                fakes_.pageAddresses.answers.erase(*into);
        }
    }

    void keyStep(const json& value) {
        const std::string& text = expectString(value, "key");
        size_t space = text.rfind(' ');
        if (space == std::string::npos)
            throw Malformed("key must read \"KEY down\" or \"KEY up\"");
        std::string name = text.substr(0, space), state = text.substr(space + 1);
        if (state != "down" && state != "up")
            throw Malformed("key must read \"KEY down\" or \"KEY up\"");
        KeyStateEvent e;
        e.down = state == "down";
        e.time = fakes_.scheduler.now();
        if (name == "Right Ctrl") {
            e.key = KeyStateEvent::Key::control;
            e.right = true;
        } else if (name == "Alt")
            e.key = KeyStateEvent::Key::alt;
        else if (name == "Ctrl")
            e.key = KeyStateEvent::Key::control;
        else if (name == "Shift")
            e.key = KeyStateEvent::Key::shift;
        else if (name == "Super")
            e.key = KeyStateEvent::Key::super;
        else if (keynames::keyCode(name))
            e.key = KeyStateEvent::Key::other;
        else
            throw Malformed("key: unknown key \"" + name + "\"");
        fakes_.keys.send(e);
    }

    void pressStep(const json& value) {
        auto combo = keynames::parse(expectString(value, "press"));
        if (!combo)
            throw Malformed("press: not a key combination");
        fakes_.hotKeys.press(combo->keyCode, combo->carbonModifiers);
    }

    void takenStep(const json& value) {
        if (!value.is_array())
            throw Malformed("shortcuts_taken must be an array");
        std::set<fake::FakeHotKeyService::Keys> taken;
        for (const json& item : value) {
            auto combo = keynames::parse(expectString(item, "shortcuts_taken"));
            if (!combo)
                throw Malformed("shortcuts_taken: not a key combination");
            taken.insert({combo->keyCode, combo->carbonModifiers});
        }
        fakes_.hotKeys.taken = std::move(taken);
    }

    void browserStep(const json& value) {
        if (!value.is_object())
            throw Malformed("browser must be an object");
        for (const auto& [id, answer] : value.items()) {
            fake::FakePageAddressLookup::Answer a;
            if (answer.is_null()) {
            } else if (answer.is_string()) {
                a.address = answer.get<std::string>();
            } else if (answer.is_object()) {
                for (const auto& [field, v] : answer.items()) {
                    if (field == "url")
                        a.address = v.is_null() ? std::nullopt
                                                : std::optional<std::string>(expectString(v, "browser: url"));
                    else if (field == "after")
                        a.after = expectSeconds(v, "browser: after");
                    else
                        throw Malformed("browser: unknown field \"" + field + "\"");
                }
            } else {
                throw Malformed("browser: an answer is an address, null or {\"url\", \"after\"}");
            }
            fakes_.pageAddresses.answers[id] = a;
        }
    }

    // A window of a running application changes: {"id": N, "app": ID,
    // "event": "activated" | "title" | "closed"}.
    void windowStep(const json& value) {
        if (!value.is_object())
            throw Malformed("window must be an object");
        WindowEvents::Window window;
        std::optional<WindowEvents::Change> change;
        for (const auto& [field, v] : value.items()) {
            if (field == "id") {
                if (!v.is_number_unsigned())
                    throw Malformed("window: id must be a window number");
                window.id = v.get<uint64_t>();
            } else if (field == "app") {
                Workspace::RunningApplication app =
                    fakes_.workspace.application(expectString(v, "window: app"));
                window.bundleID = app.bundleID;
                window.pid = app.pid;
            } else if (field == "event") {
                const std::string& event = expectString(v, "window: event");
                if (event == "activated")
                    change = WindowEvents::Change::activated;
                else if (event == "title")
                    change = WindowEvents::Change::titleChanged;
                else if (event == "closed")
                    change = WindowEvents::Change::closed;
                else
                    throw Malformed("window: event is \"activated\", \"title\" or \"closed\"");
            } else {
                throw Malformed("window: unknown field \"" + field + "\"");
            }
        }
        if (!change)
            throw Malformed("window: an event is needed");
        fakes_.windows.send(*change, window);
    }

    void menuStep(const json& value) {
        if (!value.is_array() || value.empty())
            throw Malformed("menu must be a non-empty array of titles");
        std::vector<std::string> path;
        for (const json& title : value) path.push_back(expectString(title, "menu"));
        Menu menu = tray_->buildMenu();
        const MenuItem* item = menu::find(menu, path);
        if (!item)
            throw Malformed("menu: no item at that path");
        MenuItem chosen = *item;
        tray_->perform(chosen);
    }

    void showStep(const json& value) {
        const std::string& what = expectString(value, "show");
        if (what == "clip") {
            ojson e = event("clip");
            if (const auto& clip = controller_->clip()) {
                e["base"] = writtenJSON(clip->base);
                e["written"] = writtenJSON(clip->written);
                e["pinned"] = clip->pinned;
                e["baseFromDefault"] = clip->baseFromDefault;
            } else {
                e["clip"] = nullptr;
            }
            print(e);
        } else if (what == "menu") {
            ojson e = event("menu");
            e["items"] = menu::toJSON(tray_->buildMenu());
            print(e);
        } else if (what == "settings") {
            ojson e = event("settings");
            e["settings"] = settings_->data().toJSON();
            print(e);
        } else if (what == "status") {
            StatusItemController::Appearance look = tray_->appearance();
            ojson e = event("status");
            e["text"] = look.stateText;
            e["toolTip"] = look.toolTip;
            e["dimmed"] = look.dimmed;
            e["visible"] = look.visible;
            print(e);
        } else if (what == "lookups") {
            ojson e = event("lookups");
            e["count"] = fakes_.pageAddresses.lookups;
            print(e);
        } else {
            throw Malformed("show: unknown \"" + what + "\"");
        }
    }

    std::ostream& out_;
    size_t stepNumber_ = 0;
    bool clipboardWritten_ = false;
    double writeTime_ = 0;
    // Declared in build order, so they go away in reverse.
    fake::FakePlatform fakes_;
    ObservedStorage storage_;
    std::unique_ptr<AppSettings> settings_;
    std::unique_ptr<AppController> controller_;
    std::unique_ptr<StatusItemController> tray_;
    DesktopHooks hooks_;
    // Subscriptions of every kind, dropped first.
    std::vector<std::shared_ptr<void>> subscriptions_;
};

}  // namespace

int run(std::string_view bytes, std::ostream& out, std::string* error) {
    json steps = json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (steps.is_discarded()) {
        if (error)
            *error = "step 0: not JSON";
        return malformed;
    }
    Runner runner(out);
    try {
        runner.run(steps);
    } catch (const Malformed& problem) {
        if (error)
            *error = "step " + std::to_string(runner.stepNumber()) + ": " + problem.what();
        return malformed;
    } catch (const json::exception& problem) {
        if (error)
            *error = "step " + std::to_string(runner.stepNumber()) + ": " + problem.what();
        return malformed;
    }
    return 0;
}

}  // namespace dz::scenario
