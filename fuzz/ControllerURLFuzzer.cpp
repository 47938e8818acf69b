// Arbitrary automation addresses: the controller never crashes, a pause is
// always finite and at most a year, and the default format is never
// "original".
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "app/controller/AppController.h"
#include "app/platform/fakes/FakePlatform.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "automation address broke an invariant: %s\n", what);
        std::abort();
    }
}

struct Harness {
    dz::fake::FakePlatform fakes;
    dz::MemorySettingsStorage storage;
    dz::AppSettings settings{storage};
    dz::AppController controller{settings, fakes.platform()};
    Harness() {
        fakes.workspace.running = {{"org.gnome.TextEditor", "Text Editor", 100}};
        fakes.workspace.frontmost = "org.gnome.TextEditor";
        controller.start();
        fakes.clipboard.copy(
            {{"public.html", "<p>Some <b>rich</b> text</p>"}, {"public.utf8-plain-text", "Some rich text"}},
            dz::Clipboard::Party{"org.gnome.TextEditor", 100});
        fakes.scheduler.runDue();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness* h = new Harness();
    std::string_view url(reinterpret_cast<const char*>(data), size);
    h->controller.commands().handle(url);
    h->fakes.scheduler.advance(1);
    if (auto until = h->controller.pausedUntil.value()) {
        check(std::isfinite(*until), "a pause without an end");
        check(*until <= h->fakes.scheduler.now() + 525'600 * 60.0 + 1, "a pause longer than a year");
    }
    check(h->settings.data().defaultFormat != dz::OutputFormat::original,
          "the default format became original");
    return 0;
}
