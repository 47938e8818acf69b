#pragma once
// The remaining desktop services as fakes: page addresses answered from a
// table, system services recorded, a spelling list.

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/platform/PageAddressLookup.h"
#include "app/platform/Scheduler.h"
#include "app/platform/SpellChecker.h"
#include "app/platform/SystemServices.h"

namespace dz::fake {

class FakePageAddressLookup final : public PageAddressLookup {
  public:
    struct Answer {
        std::optional<std::string> address;
        double after = 0.1;  // seconds from the start of the look-up
    };

    explicit FakePageAddressLookup(Scheduler& scheduler) : scheduler_(scheduler) {}

    // Browsers not in `answers` answer nothing after 0.1 s.
    void lookUp(const std::string& bundleID, int32_t pid, Completion done) override {
        ++lookups;
        lastPID = pid;
        Answer answer;
        if (auto it = answers.find(bundleID); it != answers.end())
            answer = it->second;
        scheduler_.after(answer.after, [done = std::move(done), address = answer.address] { done(address); });
    }

    bool available() const override { return isAvailable; }

    std::map<std::string, Answer, std::less<>> answers;
    bool isAvailable = true;
    int lookups = 0;
    int32_t lastPID = 0;

  private:
    Scheduler& scheduler_;
};

class FakeSystemServices final : public SystemServices {
  public:
    void beep() override {
        ++beeps;
        if (onBeep)
            onBeep();
    }
    void notify(const std::string& text) override {
        notices.push_back(text);
        if (onNotify)
            onNotify(text);
    }
    bool openAddress(const std::string& address) override {
        opened.push_back(address);
        return true;
    }
    bool launchesAtLogin() const override { return launchAtLogin; }
    bool setLaunchAtLogin(bool on, std::string* error) override {
        if (launchAtLoginError) {
            if (error)
                *error = *launchAtLoginError;
            return false;
        }
        launchAtLogin = on;
        return true;
    }

    int beeps = 0;
    std::vector<std::string> notices;
    std::vector<std::string> opened;
    bool launchAtLogin = false;
    std::optional<std::string> launchAtLoginError;  // set: changing it fails so
    std::function<void()> onBeep;
    std::function<void(const std::string&)> onNotify;
};

// Knows the words it is given, and nothing else.
class FakeSpellChecker final : public SpellChecker {
  public:
    bool isWord(std::string_view text) const override { return words.count(std::string(text)) > 0; }
    std::set<std::string> words;
};

}  // namespace dz::fake
