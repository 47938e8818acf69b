#pragma once
// The Wayland clipboard through a data-control protocol (ext-data-control-v1,
// else wlr-data-control) on its own connection and thread: reports each new
// selection of another client with the copy already read, offers and serves
// our own content, and asks, per pasting application, which content to serve.
// Every callback runs on the clipboard's thread and must hand its work on.
// The primary selection is left alone.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "linux/clipboard/MimeTypes.h"
#include "linux/wayland/PipePeers.h"
#include "linux/wayland/WaylandConnection.h"

struct wl_seat;
struct wl_callback;
struct ext_data_control_manager_v1;
struct ext_data_control_device_v1;
struct ext_data_control_source_v1;
struct ext_data_control_offer_v1;

namespace dz::wayland {

struct ClipboardLimits {
    using Duration = std::chrono::steady_clock::duration;
    Duration dataIdleTimeout = std::chrono::seconds(2);  // per type read, restarting with each chunk
    size_t maxItemBytes = 31'457'280;
    Duration answerTimeout = std::chrono::milliseconds(700);
    Duration answerKept = std::chrono::seconds(2);
    Duration servingIdleTimeout = std::chrono::seconds(5);  // a reader that stops reading
    Duration peerScanDeadline = std::chrono::milliseconds(100);
    // Scanning time allowed per second: a client asking without end for our
    // content must not keep the clipboard thread scanning.
    Duration peerScanBudget = std::chrono::milliseconds(300);
    size_t maxTransfers = 64;  // served at once; more are refused
};

enum class DataControlProtocol { ext, wlr };

class DataControlClipboard {
  public:
    using Duration = std::chrono::steady_clock::duration;
    using Limits = ClipboardLimits;

    // One or more new selections, with what the newest offers.
    struct Change {
        uint64_t serial = 0;   // numbers the reports, for `own`'s basis
        uint64_t changes = 1;  // selections this report covers
        bool empty = false;    // the selection was cleared
        std::optional<int32_t> ownerPID;
        std::optional<std::string> ownerID;  // from `identify`, while the copier still ran
        x11::ReadResult content;
    };

    struct Request {
        uint64_t id = 0;  // one per paste, for `pasteFinished`
        std::optional<int32_t> pid;
        std::optional<std::string> application;  // from `identify`
        std::string type;
    };
    // Nothing: serve the clipboard's content. Callable once, from any thread.
    using Answer = std::function<void(std::optional<std::vector<ClipboardSnapshot::Entry>>)>;

    struct Callbacks {
        // Names the application of a process found on the other end of a
        // transfer, at once: short-lived writers are gone soon after.
        std::function<std::optional<std::string>(int32_t pid)> identify;
        std::function<void(Change)> changed;
        std::function<void(const Request&, Answer)> pasteRequest;
        std::function<void(uint64_t id, bool delivered)> pasteFinished;
        std::function<void()> connectionLost;
    };

    // Nothing (with the reason) without a Wayland display or a data-control
    // global. `display` names the socket; by default WAYLAND_DISPLAY.
    static std::unique_ptr<DataControlClipboard> create(Callbacks callbacks, std::string* error = nullptr,
                                                        const char* display = nullptr, Limits limits = {});
    ~DataControlClipboard();
    DataControlClipboard(const DataControlClipboard&) = delete;
    DataControlClipboard& operator=(const DataControlClipboard&) = delete;

    // Offers this content as the selection, unless nothing of it can be
    // served, or it was made from report `basis` and a newer copy came since.
    // Thread-safe, returns at once.
    void own(std::vector<ClipboardSnapshot::Entry> items, std::vector<x11::ReadOrigin> origins = {},
             std::optional<uint64_t> basis = std::nullopt);
    // The processes looked at first when finding the other end of a
    // transfer: the application in front, which is most often the one
    // pasting. Thread-safe.
    void setFrontProcesses(std::vector<pid_t> pids);
    // Offers these types and bytes as they are (the clipboard keeper's content).
    void offer(std::vector<x11::MimeItem> content);
    // Calls `then` on the clipboard's thread once the compositor has handled
    // everything asked of it before (an `own` made earlier has become the
    // selection, or was refused). Never called when the connection is lost
    // first. Thread-safe, returns at once.
    void afterSynced(std::function<void()> then);
    // Stops the thread; the selection we own stays until the connection
    // closes, with the destructor. Call once before destruction.
    void shutdown();
    // What we offer, once the thread has stopped; nothing when we do not
    // hold the selection.
    std::optional<std::vector<x11::MimeItem>> ownedContent() const;

    DataControlProtocol protocol() const { return protocol_; }
    bool ownsClipboard() const { return owns_; }
    // Our selection is the compositor's selection (it answered after taking it).
    bool holdsSelection() const { return holds_; }
    bool connected() const { return connected_; }
    std::optional<pid_t> compositorPID() const { return wl_.compositorPID(); }

    // Wayland's C callbacks reach these.
    struct Glue;

  private:
    using Content = std::shared_ptr<const std::vector<x11::MimeItem>>;
    struct OfferState {
        std::vector<std::string> types;
    };
    struct Transfer {
        int fd = -1;
        Content content;
        std::string_view data;
        size_t offset = 0;
        std::chrono::steady_clock::time_point deadline;
        uint64_t pasteID = 0;
    };
    struct Asking {
        uint64_t id = 0;
        uint64_t generation = 0;
        std::chrono::steady_clock::time_point deadline;
        std::vector<std::pair<std::string, int>> waiting;  // type and descriptor
    };
    struct Kept {
        Content content;
        std::chrono::steady_clock::time_point until;
        uint64_t id = 0;
    };

    DataControlClipboard(Callbacks callbacks, Limits limits);
    bool connect(const char* display, std::string* error);
    void run();
    void post(std::function<void()> task);
    void runPosted();
    // One wait for the display, our transfers and `extra`; the events of
    // `extra`, or -1 when the connection is lost.
    int pump(std::chrono::milliseconds timeout, int extra = -1, bool withWake = true);
    std::chrono::milliseconds untilNextDeadline();
    void onDeadlines();

    void capture();
    std::optional<std::string> readType(ext_data_control_offer_v1* offer, const std::string& type,
                                        Change& change, bool& scanned);
    bool takeOwnership(std::vector<ClipboardSnapshot::Entry> items, std::vector<x11::ReadOrigin> origins,
                       std::optional<uint64_t> basis);
    bool select(Content content);
    void foreignSelection();
    void destroyOffer(ext_data_control_offer_v1* offer);
    // The process on the other end of a pipe, with its application.
    std::pair<std::optional<int32_t>, std::optional<std::string>> peerOf(int fd);

    void onDataOffer(ext_data_control_offer_v1* offer);
    void onOfferType(ext_data_control_offer_v1* offer, const char* type);
    void onSelection(ext_data_control_offer_v1* offer);
    void onPrimarySelection(ext_data_control_offer_v1* offer);
    void onSend(ext_data_control_source_v1* source, const char* type, int fd);
    void onCancelled(ext_data_control_source_v1* source);
    void onOwnSynced();
    void answer(int32_t key, uint64_t generation, std::optional<std::vector<ClipboardSnapshot::Entry>> items);
    void startTransfer(const Content& content, const std::string& type, int fd, uint64_t pasteID);
    void writeSome(Transfer& transfer);
    void finished(uint64_t pasteID, bool delivered);
    void forgetAnswers();

    Callbacks callbacks_;
    Limits limits_;
    DataControlProtocol protocol_ = DataControlProtocol::ext;
    WaylandConnection wl_;
    wl_seat* seat_ = nullptr;
    ext_data_control_manager_v1* manager_ = nullptr;
    ext_data_control_device_v1* device_ = nullptr;
    std::unique_ptr<PipePeers> peers_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> owns_{false};
    std::atomic<bool> holds_{false};
    std::atomic<bool> connected_{true};
    bool alive_ = true;
    std::mutex postedMutex_;
    std::mutex frontMutex_;
    std::vector<pid_t> front_;
    std::deque<std::function<void()>> posted_;

    // Clipboard-thread state.
    std::map<ext_data_control_offer_v1*, OfferState> offers_;
    ext_data_control_offer_v1* current_ = nullptr;
    ext_data_control_offer_v1* reading_ = nullptr;
    uint64_t pendingChanges_ = 0;
    bool captureCancelled_ = false;
    uint64_t reported_ = 0;
    std::optional<x11::ReadResult> lastRead_;  // the last copy read, while its owner holds it
    ext_data_control_source_v1* source_ = nullptr;
    Content owned_;
    uint64_t generation_ = 0;
    int ownSyncs_ = 0;  // our selections the compositor has not confirmed yet
    std::set<wl_callback*> syncs_;
    std::map<wl_callback*, std::function<void()>> waiters_;  // of `afterSynced`
    bool selectedWhileSyncing_ = false;
    std::map<int32_t, Asking> asking_;  // by requester pid, 0 unknown
    std::map<int32_t, Kept> kept_;
    std::deque<Transfer> transfers_;
    uint64_t nextPasteID_ = 1;
    std::set<uint64_t> openPastes_;
    std::chrono::steady_clock::time_point scanWindow_;
    Duration scanSpent_{};
};

}  // namespace dz::wayland
