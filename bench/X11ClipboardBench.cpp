// The X clipboard's latencies that users feel: a copy's change notice to a
// captured snapshot, a paste request answered from a cached rendition, and
// quitting while an owner trickles its data; and the cost of a hostile
// MULTIPLE request. Needs an X display (run under xvfb-run); skipped without
// one.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <condition_variable>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

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

// An owner that answers every read of its text in INCR parts of one byte,
// 20 ms apart, without end: the reader's idle limit never runs out.
class TricklingOwner {
  public:
    TricklingOwner() : c_(xcb_connect(nullptr, nullptr)) {
        win_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, win_,
                          xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        clipboard_ = intern("CLIPBOARD"), targets_ = intern("TARGETS"), utf8_ = intern("UTF8_STRING"),
        incr_ = intern("INCR");
        thread_ = std::thread([this] { run(); });
    }
    ~TricklingOwner() {
        stop_ = true;
        thread_.join();
        xcb_disconnect(c_);
    }
    // Takes the clipboard anew, so that a new reader reads it.
    void own() {
        xcb_set_selection_owner(c_, win_, clipboard_, XCB_CURRENT_TIME);
        xcb_flush(c_);
    }
    uint64_t partsSent() const { return parts_; }

  private:
    struct Reader {
        xcb_window_t window;
        xcb_atom_t property;
        std::chrono::steady_clock::time_point next;
        bool due = false;
    };
    xcb_atom_t intern(const char* name) {
        auto* r =
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr);
        xcb_atom_t a = r ? r->atom : 0;
        free(r);
        return a;
    }
    void answer(const xcb_selection_request_event_t& e) {
        xcb_atom_t prop = e.property ? e.property : e.target;
        if (e.target == targets_) {
            xcb_atom_t list[] = {targets_, utf8_};
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, e.requestor, prop, XCB_ATOM_ATOM, 32, 2, list);
        } else {
            uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE, size = 1u << 30;
            xcb_change_window_attributes(c_, e.requestor, XCB_CW_EVENT_MASK, &mask);
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, e.requestor, prop, incr_, 32, 1, &size);
            readers_.push_back({e.requestor, prop, {}});
        }
        xcb_selection_notify_event_t n{};
        n.response_type = XCB_SELECTION_NOTIFY;
        n.time = e.time, n.requestor = e.requestor, n.selection = e.selection, n.target = e.target;
        n.property = prop;
        xcb_send_event(c_, 0, e.requestor, 0, reinterpret_cast<const char*>(&n));
    }
    void run() {
        while (!stop_) {
            while (xcb_generic_event_t* ev = xcb_poll_for_event(c_)) {
                int type = ev->response_type & 0x7F;
                if (type == XCB_SELECTION_REQUEST)
                    answer(*reinterpret_cast<xcb_selection_request_event_t*>(ev));
                if (type == XCB_PROPERTY_NOTIFY) {
                    auto* e = reinterpret_cast<xcb_property_notify_event_t*>(ev);
                    for (auto& r : readers_)
                        if (e->state == XCB_PROPERTY_DELETE && e->window == r.window && e->atom == r.property)
                            r.next = std::chrono::steady_clock::now() + std::chrono::milliseconds(20),
                            r.due = true;
                }
                free(ev);
            }
            for (auto& r : readers_) {
                if (!r.due || std::chrono::steady_clock::now() < r.next)
                    continue;
                r.due = false;
                xcb_change_property(c_, XCB_PROP_MODE_REPLACE, r.window, r.property, utf8_, 8, 1, "x");
                ++parts_;
            }
            xcb_flush(c_);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    xcb_connection_t* c_;
    xcb_window_t win_;
    xcb_atom_t clipboard_, targets_, utf8_, incr_;
    std::vector<Reader> readers_;
    std::atomic<uint64_t> parts_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Quit (with no clipboard manager running) while a copy is being read from
// an owner that never finishes sending it.
void BM_QuitWhileAnOwnerTrickles(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display (run under xvfb-run)");
        return;
    }
    keepServer();
    TricklingOwner owner;
    for (auto _ : state) {
        std::string error;
        auto reader = X11Clipboard::create({}, &error);
        if (!reader) {
            state.SkipWithError(error.c_str());
            return;
        }
        const uint64_t parts = owner.partsSent();
        owner.own();
        while (owner.partsSent() < parts + 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        auto start = std::chrono::steady_clock::now();
        reader->shutdown(true);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_QuitWhileAnOwnerTrickles)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

// One MULTIPLE request of 40,000 pairs, each for an item large enough to be
// sent in parts, from request to answer.
void BM_MultipleOfFortyThousandPairs(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display (run under xvfb-run)");
        return;
    }
    keepServer();
    std::string error;
    auto owner = X11Clipboard::create({}, &error);
    if (!owner) {
        state.SkipWithError(error.c_str());
        return;
    }
    owner->own({{std::string(pt::string), "x"}, {std::string(pt::html), std::string(20'000'000, 'h')}});
    while (!owner->ownsClipboard()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto intern = [&](const std::string& name) {
        auto* r =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.data()), nullptr);
        xcb_atom_t a = r->atom;
        free(r);
        return a;
    };
    xcb_atom_t clipboard = intern("CLIPBOARD"), multiple = intern("MULTIPLE"), pair = intern("ATOM_PAIR"),
               html = intern("text/html"), request = intern("DZ_BENCH_MULTIPLE");
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (int i = 0; i < 40'000; ++i) {
        std::string name = "DZ_BENCH_P" + std::to_string(i);
        cookies.push_back(xcb_intern_atom(c, 0, uint16_t(name.size()), name.data()));
    }
    std::vector<xcb_atom_t> pairs;
    for (auto cookie : cookies) {
        auto* r = xcb_intern_atom_reply(c, cookie, nullptr);
        pairs.push_back(html);
        pairs.push_back(r->atom);
        free(r);
    }
    for (auto _ : state) {
        // A fresh window each time: no transfer left from the last request.
        state.PauseTiming();
        xcb_window_t win = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, win, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, request, pair, 32, uint32_t(pairs.size()),
                            pairs.data());
        state.ResumeTiming();
        xcb_convert_selection(c, win, clipboard, multiple, request, XCB_CURRENT_TIME);
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
        state.PauseTiming();
        xcb_destroy_window(c, win);
        xcb_flush(c);
        state.ResumeTiming();
    }
    xcb_disconnect(c);
    owner->shutdown(false);
}
BENCHMARK(BM_MultipleOfFortyThousandPairs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
