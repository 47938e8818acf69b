// The X clipboard's two latencies that users feel: a copy's change notice to
// a captured snapshot, and a paste request answered from a cached rendition.
// Needs an X display (run under xvfb-run); skipped without one.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <condition_variable>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/MemoryPasteboard.h"
#include "core/clipboard/PasteboardTypes.h"
#include "linux/clipboard/X11Clipboard.h"

namespace {

using namespace dz;
using namespace dz::x11;
namespace pt = pasteboardtype;

// A bare Xvfb resets when its last client leaves, refusing connections for a
// moment; one connection held for the whole run keeps it up between runs.
void keepServer() {
    static xcb_connection_t* keep = xcb_connect(nullptr, nullptr);
    (void)keep;
}

std::string html10k() {
    std::string html = "<meta charset=utf-8><article><h1>Title</h1>";
    while (html.size() < 10'000)
        html += "<p>Some <b>bold</b> text and <a href=\"https://example.org/x\">a link</a>.</p>";
    return html + "</article>";
}

void BM_ChangeNoticeToSnapshot(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display (run under xvfb-run)");
        return;
    }
    std::mutex m;
    std::condition_variable cv;
    int captured = 0;
    X11Clipboard::Callbacks reader;
    reader.changed = [&](X11Clipboard::Change change) {
        std::vector<std::pair<std::string, std::string>> items;
        for (auto& i : change.content.items) items.emplace_back(i.type, i.data);
        MemoryPasteboard board(std::move(items));
        auto capture = ClipboardSnapshot::capture(board, false);
        benchmark::DoNotOptimize(capture);
        std::lock_guard lock(m);
        ++captured;
        cv.notify_all();
    };
    keepServer();
    std::string error;
    auto watcher = X11Clipboard::create(std::move(reader), &error);
    auto owner = X11Clipboard::create({}, &error);
    if (!watcher || !owner) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<ClipboardSnapshot::Entry> items{{std::string(pt::string), "Title\nSome bold text"},
                                                {std::string(pt::html), html10k()}};
    for (auto _ : state) {
        int before;
        {
            std::lock_guard lock(m);
            before = captured;
        }
        owner->own(items);
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return captured > before; });
    }
    owner->shutdown(false);
    watcher->shutdown(false);
}
BENCHMARK(BM_ChangeNoticeToSnapshot)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PasteRequestAnsweredFromCache(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display (run under xvfb-run)");
        return;
    }
    // The owner runs in a child process, so that each request comes from
    // another process and goes through the paste hook, which answers with the
    // rendition the controller has cached.
    int ready[2];
    if (pipe(ready) != 0) {
        state.SkipWithError("pipe");
        return;
    }
    pid_t child = fork();
    if (child == 0) {
        std::vector<ClipboardSnapshot::Entry> cached{{std::string(pt::string), "**Markdown** rendition"},
                                                     {std::string(pt::markerType), ""}};
        X11Clipboard::Callbacks callbacks;
        callbacks.pasteRequest = [&](const X11Clipboard::Request&, X11Clipboard::Answer answer) {
            answer(cached);
        };
        auto owner = X11Clipboard::create(std::move(callbacks));
        if (!owner)
            _exit(1);
        owner->own({{std::string(pt::string), "plain rendition"}});
        while (!owner->ownsClipboard()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        (void)!write(ready[1], "r", 1);
        for (;;) pause();
    }
    char byte;
    if (read(ready[0], &byte, 1) != 1) {
        state.SkipWithError("the owner process failed");
        return;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto intern = [&](const char* name) {
        auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        xcb_atom_t a = r->atom;
        free(r);
        return a;
    };
    xcb_atom_t clipboard = intern("CLIPBOARD"), utf8 = intern("UTF8_STRING"), prop = intern("DZ_BENCH");
    std::string got;
    for (auto _ : state) {
        // A fresh window per paste: no kept answer, the hook is asked each time.
        xcb_window_t win = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, win, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_convert_selection(c, win, clipboard, utf8, prop, XCB_CURRENT_TIME);
        xcb_flush(c);
        for (;;) {
            xcb_generic_event_t* ev = xcb_wait_for_event(c);
            if (!ev)
                break;
            bool done = (ev->response_type & 0x7F) == XCB_SELECTION_NOTIFY;
            free(ev);
            if (done)
                break;
        }
        auto* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 1, win, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
        if (reply) {
            got.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                       size_t(xcb_get_property_value_length(reply)));
            free(reply);
        }
        xcb_destroy_window(c, win);
    }
    if (got != "**Markdown** rendition")
        state.SkipWithError(("the requester got " + got).c_str());
    xcb_disconnect(c);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}
BENCHMARK(BM_PasteRequestAnsweredFromCache)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
