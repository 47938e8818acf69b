#include "linux/wayland/DataControlClipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <tuple>

#include "linux/wayland/OfferedTypes.h"
#include "wayland/ext-data-control-v1-client.h"
#include "wayland/wlr-data-control-unstable-v1-client.h"

namespace dz::wayland {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// ext-data-control-v1 is wlr-data-control version 2 under new names, with
// the same requests and events in the same order: one set of calls drives
// both, only the manager is bound under the name the compositor offers.
struct DataControlClipboard::Glue {
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version) {
        auto* self = static_cast<DataControlClipboard*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
            self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (std::strcmp(interface, ext_data_control_manager_v1_interface.name) == 0) {
            if (self->manager_ && self->protocol_ == DataControlProtocol::ext)
                return;
            if (self->manager_)
                ext_data_control_manager_v1_destroy(self->manager_);
            self->manager_ = static_cast<ext_data_control_manager_v1*>(
                wl_registry_bind(registry, name, &ext_data_control_manager_v1_interface, 1));
            self->protocol_ = DataControlProtocol::ext;
        } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 &&
                   !self->manager_ && version >= 2) {
            self->manager_ = static_cast<ext_data_control_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 2));
            self->protocol_ = DataControlProtocol::wlr;
        }
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener registry{global, globalRemove};

    static void dataOffer(void* data, ext_data_control_device_v1*, ext_data_control_offer_v1* offer) {
        static_cast<DataControlClipboard*>(data)->onDataOffer(offer);
    }
    static void selection(void* data, ext_data_control_device_v1*, ext_data_control_offer_v1* offer) {
        static_cast<DataControlClipboard*>(data)->onSelection(offer);
    }
    static void finishedDevice(void* data, ext_data_control_device_v1*) {
        static_cast<DataControlClipboard*>(data)->alive_ = false;
    }
    static void primarySelection(void* data, ext_data_control_device_v1*, ext_data_control_offer_v1* offer) {
        static_cast<DataControlClipboard*>(data)->onPrimarySelection(offer);
    }
    static constexpr ext_data_control_device_v1_listener device{dataOffer, selection, finishedDevice,
                                                                primarySelection};

    static void offerType(void* data, ext_data_control_offer_v1* offer, const char* type) {
        static_cast<DataControlClipboard*>(data)->onOfferType(offer, type);
    }
    static constexpr ext_data_control_offer_v1_listener offer{offerType};

    static void send(void* data, ext_data_control_source_v1* source, const char* type, int32_t fd) {
        static_cast<DataControlClipboard*>(data)->onSend(source, type, fd);
    }
    static void cancelled(void* data, ext_data_control_source_v1* source) {
        static_cast<DataControlClipboard*>(data)->onCancelled(source);
    }
    static constexpr ext_data_control_source_v1_listener source{send, cancelled};

    static void synced(void* data, wl_callback* callback, uint32_t) {
        auto* self = static_cast<DataControlClipboard*>(data);
        self->syncs_.erase(callback);
        wl_callback_destroy(callback);
        self->onOwnSynced();
    }
    static constexpr wl_callback_listener sync{synced};

    static void waited(void* data, wl_callback* callback, uint32_t) {
        auto* self = static_cast<DataControlClipboard*>(data);
        auto it = self->waiters_.find(callback);
        wl_callback_destroy(callback);
        if (it == self->waiters_.end())
            return;
        auto then = std::move(it->second);
        self->waiters_.erase(it);
        then();
    }
    static constexpr wl_callback_listener wait{waited};
};

std::unique_ptr<DataControlClipboard> DataControlClipboard::create(Callbacks callbacks, std::string* error,
                                                                   const char* display, Limits limits) {
    std::unique_ptr<DataControlClipboard> clipboard(new DataControlClipboard(std::move(callbacks), limits));
    if (!clipboard->connect(display, error))
        return nullptr;
    clipboard->thread_ = std::thread([self = clipboard.get()] { self->run(); });
    return clipboard;
}

DataControlClipboard::DataControlClipboard(Callbacks callbacks, Limits limits)
    : callbacks_(std::move(callbacks)), limits_(limits) {}

DataControlClipboard::~DataControlClipboard() {
    shutdown();
    for (auto& transfer : transfers_) close(transfer.fd);
    for (auto& [key, asking] : asking_)
        for (auto& [type, fd] : asking.waiting) close(fd);
    if (wl_.display()) {
        for (auto* sync : syncs_) wl_callback_destroy(sync);
        for (auto& [sync, then] : waiters_) wl_callback_destroy(sync);
        for (auto& [offer, state] : offers_) ext_data_control_offer_v1_destroy(offer);
        if (source_)
            ext_data_control_source_v1_destroy(source_);
        if (device_)
            ext_data_control_device_v1_destroy(device_);
        if (manager_)
            ext_data_control_manager_v1_destroy(manager_);
        if (seat_)
            wl_seat_destroy(seat_);
    }
}

bool DataControlClipboard::connect(const char* display, std::string* error) {
    auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    if (!wl_.open(display, &Glue::registry, this, error))
        return false;
    if (wl_display_roundtrip(wl_.display()) < 0)
        return fail("the Wayland display does not answer");
    if (!seat_)
        return fail("the Wayland display has no seat");
    if (!manager_)
        return fail("the compositor offers no data-control protocol");
    device_ = ext_data_control_manager_v1_get_data_device(manager_, seat_);
    ext_data_control_device_v1_add_listener(device_, &Glue::device, this);

    std::vector<pid_t> excluded{getpid()};
    if (auto compositor = wl_.compositorPID())
        excluded.push_back(*compositor);
    peers_ = std::make_unique<PipePeers>("/proc", std::move(excluded));

    if (!wl_.openWake(error))
        return false;
    // A reader that closes its end early must cost us a failed write, not the process.
    signal(SIGPIPE, SIG_IGN);
    if (wl_display_roundtrip(wl_.display()) < 0)
        return fail("the Wayland display does not answer");
    // The selection announced on binding is what the clipboard held before
    // us, not a copy to report (as on X11, where only changes are told).
    pendingChanges_ = 0;
    captureCancelled_ = false;
    return true;
}

void DataControlClipboard::shutdown() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    wl_.wake();
    thread_.join();
}

void DataControlClipboard::post(std::function<void()> task) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(task));
    }
    wl_.wake();
}

void DataControlClipboard::runPosted() {
    wl_.drainWake();
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(postedMutex_);
            if (posted_.empty())
                return;
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        task();
    }
}

void DataControlClipboard::own(std::vector<ClipboardSnapshot::Entry> items,
                               std::vector<x11::ReadOrigin> origins, std::optional<uint64_t> basis) {
    post([this, items = std::move(items), origins = std::move(origins), basis]() mutable {
        takeOwnership(std::move(items), std::move(origins), basis);
    });
}

void DataControlClipboard::afterSynced(std::function<void()> then) {
    post([this, then = std::move(then)]() mutable {
        // The compositor answers in order: this sync comes back after the
        // selection of an earlier `own`.
        wl_callback* sync = wl_display_sync(wl_.display());
        waiters_.emplace(sync, std::move(then));
        wl_callback_add_listener(sync, &Glue::wait, this);
        wl_display_flush(wl_.display());
    });
}

// ---------------------------------------------------------------- loop

void DataControlClipboard::run() {
    while (!stopping_ && alive_) {
        runPosted();
        if (pendingChanges_ > 0 && ownSyncs_ == 0)
            capture();
        if (stopping_)
            break;
        if (pump(untilNextDeadline()) < 0) {
            alive_ = false;
            break;
        }
        onDeadlines();
    }
    if (!alive_) {
        owns_ = false;
        holds_ = false;
        connected_ = false;
    }
    if (!alive_ && !stopping_ && callbacks_.connectionLost)
        callbacks_.connectionLost();
}

int DataControlClipboard::pump(milliseconds timeout, int extra, bool withWake) {
    while (wl_display_prepare_read(wl_.display()) != 0)
        if (wl_display_dispatch_pending(wl_.display()) < 0)
            return -1;
    if (wl_display_flush(wl_.display()) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(wl_.display());
        return -1;
    }
    std::vector<pollfd> fds{{wl_display_get_fd(wl_.display()), POLLIN, 0}};
    if (withWake)
        fds.push_back({wl_.wakeFD(), POLLIN, 0});
    size_t extraAt = fds.size();
    if (extra >= 0)
        fds.push_back({extra, POLLIN, 0});
    size_t transfersAt = fds.size();
    for (auto& transfer : transfers_) fds.push_back({transfer.fd, POLLOUT, 0});
    int n = poll(fds.data(), fds.size(), int(std::max<milliseconds::rep>(timeout.count(), 0)));
    if (n < 0 && errno != EINTR) {
        wl_display_cancel_read(wl_.display());
        return -1;
    }
    if (n > 0 && (fds[0].revents & POLLIN)) {
        if (wl_display_read_events(wl_.display()) < 0)
            return -1;
    } else {
        wl_display_cancel_read(wl_.display());
        if (n > 0 && (fds[0].revents & (POLLERR | POLLHUP)))
            return -1;
    }
    // Transfers started by these events are written on the next turn.
    std::vector<short> ready(transfers_.size());
    for (size_t i = 0; i < transfers_.size() && transfersAt + i < fds.size(); ++i)
        ready[i] = fds[transfersAt + i].revents;
    for (size_t i = 0; i < ready.size(); ++i)
        if (ready[i])
            writeSome(transfers_[i]);
    std::erase_if(transfers_, [](const Transfer& t) { return t.fd < 0; });
    if (wl_display_dispatch_pending(wl_.display()) < 0)
        return -1;
    return extra >= 0 ? fds[extraAt].revents : 0;
}

milliseconds DataControlClipboard::untilNextDeadline() {
    auto next = Clock::now() + std::chrono::seconds(10);
    for (auto& [key, asking] : asking_) next = std::min(next, asking.deadline);
    for (auto& transfer : transfers_) next = std::min(next, transfer.deadline);
    for (auto& [key, kept] : kept_)
        if (openPastes_.count(kept.id))
            next = std::min(next, kept.until);
    auto wait = std::chrono::ceil<milliseconds>(next - Clock::now());
    return std::max(wait, milliseconds(0));
}

void DataControlClipboard::onDeadlines() {
    auto now = Clock::now();
    std::vector<int32_t> late;
    for (auto& [key, asking] : asking_)
        if (asking.deadline <= now)
            late.push_back(key);
    for (auto key : late) answer(key, generation_, std::nullopt);
    for (auto& transfer : transfers_)
        if (transfer.deadline <= now) {
            close(transfer.fd);
            transfer.fd = -1;
        }
    std::erase_if(transfers_, [](const Transfer& t) { return t.fd < 0; });
    std::erase_if(kept_, [&](const auto& entry) {
        if (entry.second.until > now)
            return false;
        finished(entry.second.id, false);
        return true;
    });
}

// ---------------------------------------------------------------- events

void DataControlClipboard::onDataOffer(ext_data_control_offer_v1* offer) {
    offers_[offer];
    ext_data_control_offer_v1_add_listener(offer, &Glue::offer, this);
}

void DataControlClipboard::onOfferType(ext_data_control_offer_v1* offer, const char* type) {
    if (auto it = offers_.find(offer); it != offers_.end() && type)
        addOfferedType(it->second.types, type);
}

void DataControlClipboard::destroyOffer(ext_data_control_offer_v1* offer) {
    if (!offer || offer == reading_)
        return;  // the offer being read goes once the read is over
    offers_.erase(offer);
    ext_data_control_offer_v1_destroy(offer);
}

void DataControlClipboard::onSelection(ext_data_control_offer_v1* offer) {
    if (current_ != offer)
        destroyOffer(current_);
    current_ = offer;
    if (ownSyncs_ > 0) {
        // Ours or another client's: the compositor's answer to our sync tells.
        selectedWhileSyncing_ = true;
        return;
    }
    if (source_)
        return;  // our own selection, announced late
    foreignSelection();
}

void DataControlClipboard::onPrimarySelection(ext_data_control_offer_v1* offer) {
    if (offer != current_)
        destroyOffer(offer);
}

void DataControlClipboard::foreignSelection() {
    if (!callbacks_.changed)
        return;  // nobody reads other copies
    ++pendingChanges_;
    captureCancelled_ = true;
}

void DataControlClipboard::onOwnSynced() {
    if (--ownSyncs_ > 0)
        return;
    holds_ = source_ != nullptr;
    if (!selectedWhileSyncing_)
        return;
    selectedWhileSyncing_ = false;
    // Another client's selection cancels ours before it is announced; with
    // our source still standing, the last selection announced is our own.
    if (!source_)
        foreignSelection();
}

void DataControlClipboard::onCancelled(ext_data_control_source_v1* source) {
    ext_data_control_source_v1_destroy(source);
    if (source != source_)
        return;
    source_ = nullptr;
    owned_.reset();
    owns_ = false;
    holds_ = false;
    ++generation_;
    forgetAnswers();
}

// ---------------------------------------------------------------- reading

void DataControlClipboard::capture() {
    while (pendingChanges_ > 0 && !stopping_ && alive_) {
        if (source_) {
            // A selection announced before our own replaced it.
            pendingChanges_ = 0;
            return;
        }
        Change change;
        change.changes = pendingChanges_;
        pendingChanges_ = 0;
        captureCancelled_ = false;
        ext_data_control_offer_v1* offer = current_;
        if (!offer && lastRead_) {
            // The copying client went away: the copy stays on the clipboard,
            // served by us, and nothing changed for the main thread.
            x11::ReadResult read = std::move(*lastRead_);
            lastRead_.reset();
            if (takeOwnership(std::move(read.items), std::move(read.origins), std::nullopt))
                continue;
        }
        lastRead_.reset();
        if (offer) {
            reading_ = offer;
            bool scanned = false;
            auto types = offers_[offer].types;
            change.content =
                x11::readTargets(types, [&](const std::string& type) -> std::optional<std::string> {
                    if (captureCancelled_ || stopping_)
                        return std::nullopt;
                    return readType(offer, type, change, scanned);
                });
            reading_ = nullptr;
            if (offer != current_)
                destroyOffer(offer);
        } else {
            change.empty = true;
        }
        if (stopping_ || !alive_)
            return;
        if (captureCancelled_) {
            // A newer selection came while reading: report both with the newer content.
            pendingChanges_ += change.changes;
            continue;
        }
        if (offer)
            lastRead_ = change.content;
        change.serial = ++reported_;
        if (callbacks_.changed)
            callbacks_.changed(std::move(change));
    }
}

std::optional<std::string> DataControlClipboard::readType(ext_data_control_offer_v1* offer,
                                                          const std::string& type, Change& change,
                                                          bool& scanned) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    // Only our end: the copier's end stays blocking, as copiers expect.
    fcntl(ends[0], F_SETFL, O_NONBLOCK);
    ext_data_control_offer_v1_receive(offer, type.c_str(), ends[1]);
    close(ends[1]);
    std::string data;
    auto deadline = Clock::now() + limits_.dataIdleTimeout;
    char buffer[65536];
    const ssize_t capacity = fcntl(ends[0], F_GETPIPE_SZ);
    std::optional<std::string> result;
    for (;;) {
        auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
        if (left <= milliseconds(0))
            break;  // the owner stopped sending
        int events = pump(std::min(left, milliseconds(50)), ends[0], false);
        if (events < 0) {
            alive_ = false;
            break;
        }
        if (captureCancelled_ || stopping_)
            break;
        if (!events)
            continue;
        ssize_t n = read(ends[0], buffer, sizeof buffer);
        if (!scanned && n > 0 && n >= std::min<ssize_t>(capacity, ssize_t(sizeof buffer))) {
            // A full pipe: the copying client is still there, waiting to
            // write the rest. A small copy's writer is mostly gone by now, and
            // looking for it would hold up every copy for a whole scan; its
            // owner is left unknown (the controller falls back to the front
            // application).
            scanned = true;
            std::tie(change.ownerPID, change.ownerID) = peerOf(ends[0]);
        }
        if (n == 0) {
            result = std::move(data);
            break;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            break;
        }
        if (data.size() + size_t(n) > limits_.maxItemBytes)
            break;  // too large: left out
        data.append(buffer, size_t(n));
        deadline = Clock::now() + limits_.dataIdleTimeout;
    }
    close(ends[0]);
    return result;
}

std::pair<std::optional<int32_t>, std::optional<std::string>> DataControlClipboard::peerOf(int fd) {
    auto inode = PipePeers::pipeInode(fd);
    if (!inode)
        return {};
    auto now = Clock::now();
    if (now - scanWindow_ >= std::chrono::seconds(1)) {
        scanWindow_ = now;
        scanSpent_ = {};
    }
    if (scanSpent_ >= limits_.peerScanBudget)
        return {};  // unknown: served the common content
    std::vector<pid_t> first;
    {
        std::lock_guard lock(frontMutex_);
        first = front_;
    }
    // Within the scan's deadline and what is left of this second's budget.
    auto left = [&] {
        const auto taken = Clock::now() - now;
        return std::min(limits_.peerScanDeadline - taken, limits_.peerScanBudget - scanSpent_ - taken);
    };
    auto scan = peers_->find(*inode, first, left());
    // Under load the holder can be missing from a first pass over /proc
    // (seen with wl-paste just started); one more pass a moment later finds it.
    if (!scan.pid && !scan.timedOut && left() > std::chrono::milliseconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        scan = peers_->find(*inode, first, left());
    }
    scanSpent_ += Clock::now() - now;
    if (!scan.pid)
        return {};
    auto pid = peers_->application(*scan.pid);
    if (!pid)
        return {};
    std::optional<std::string> application;
    if (callbacks_.identify)
        application = callbacks_.identify(int32_t(*pid));
    return {int32_t(*pid), std::move(application)};
}

void DataControlClipboard::setFrontProcesses(std::vector<pid_t> pids) {
    std::lock_guard lock(frontMutex_);
    front_ = std::move(pids);
}

// ---------------------------------------------------------------- owning

bool DataControlClipboard::takeOwnership(std::vector<ClipboardSnapshot::Entry> items,
                                         std::vector<x11::ReadOrigin> origins,
                                         std::optional<uint64_t> basis) {
    if (basis && *basis < reported_)
        return false;  // a newer copy is on the clipboard
    if (pendingChanges_ > 0 && basis)
        return false;  // and one is about to be read
    return select(std::make_shared<const std::vector<x11::MimeItem>>(offeredItems(items, origins)));
}

void DataControlClipboard::offer(std::vector<x11::MimeItem> content) {
    post([this, content = std::move(content)]() mutable {
        select(std::make_shared<const std::vector<x11::MimeItem>>(std::move(content)));
    });
}

std::optional<std::vector<x11::MimeItem>> DataControlClipboard::ownedContent() const {
    if (thread_.joinable() || !source_ || !owned_)
        return std::nullopt;
    return *owned_;
}

bool DataControlClipboard::select(Content content) {
    if (!content || content->empty())
        return false;
    auto* source = ext_data_control_manager_v1_create_data_source(manager_);
    ext_data_control_source_v1_add_listener(source, &Glue::source, this);
    for (const auto& item : *content) ext_data_control_source_v1_offer(source, item.target.c_str());
    ext_data_control_device_v1_set_selection(device_, source);
    if (source_)
        ext_data_control_source_v1_destroy(source_);
    source_ = source;
    owned_ = std::move(content);
    owns_ = true;
    ++generation_;
    forgetAnswers();
    lastRead_.reset();
    ++ownSyncs_;
    wl_callback* sync = wl_display_sync(wl_.display());
    syncs_.insert(sync);
    wl_callback_add_listener(sync, &Glue::sync, this);
    wl_display_flush(wl_.display());
    return true;
}

void DataControlClipboard::onSend(ext_data_control_source_v1* source, const char* type, int fd) {
    size_t waiting = 0;
    for (auto& [key, asking] : asking_) waiting += asking.waiting.size();
    if (source != source_ || !owned_ || !type || transfers_.size() + waiting >= limits_.maxTransfers) {
        close(fd);
        return;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto [pid, application] = peerOf(fd);
    int32_t key = pid.value_or(0);
    auto now = Clock::now();
    if (auto kept = kept_.find(key); kept != kept_.end() && kept->second.until > now) {
        startTransfer(kept->second.content, type, fd, kept->second.id);
        return;
    }
    if (auto asking = asking_.find(key); asking != asking_.end()) {
        asking->second.waiting.emplace_back(type, fd);
        return;
    }
    uint64_t id = nextPasteID_++;
    openPastes_.insert(id);
    if (!callbacks_.pasteRequest) {
        kept_[key] = {owned_, now + limits_.answerKept, id};
        startTransfer(owned_, type, fd, id);
        return;
    }
    Asking& asking = asking_[key];
    asking.id = id;
    asking.generation = generation_;
    asking.deadline = now + limits_.answerTimeout;
    asking.waiting.emplace_back(type, fd);
    uint64_t generation = generation_;
    callbacks_.pasteRequest(
        Request{id, pid, application, type},
        [this, key, generation](std::optional<std::vector<ClipboardSnapshot::Entry>> items) {
            post([this, key, generation, items = std::move(items)]() mutable {
                answer(key, generation, std::move(items));
            });
        });
}

void DataControlClipboard::answer(int32_t key, uint64_t generation,
                                  std::optional<std::vector<ClipboardSnapshot::Entry>> items) {
    auto it = asking_.find(key);
    if (it == asking_.end() || it->second.generation != generation)
        return;  // answered already, or the content changed since
    Asking asking = std::move(it->second);
    asking_.erase(it);
    Content content = owned_;
    if (items) {
        auto own = std::make_shared<const std::vector<x11::MimeItem>>(offeredItems(*items));
        if (!own->empty())
            content = std::move(own);
    }
    kept_[key] = {content, Clock::now() + limits_.answerKept, asking.id};
    for (auto& [type, fd] : asking.waiting) startTransfer(content, type, fd, asking.id);
}

void DataControlClipboard::startTransfer(const Content& content, const std::string& type, int fd,
                                         uint64_t pasteID) {
    const x11::MimeItem* item = nullptr;
    if (content)
        for (const auto& candidate : *content)
            if (candidate.target == type) {
                item = &candidate;
                break;
            }
    if (!item) {
        close(fd);
        return;
    }
    Transfer transfer{fd, content, item->data(), 0, Clock::now() + limits_.servingIdleTimeout, pasteID};
    writeSome(transfer);
    if (transfer.fd >= 0)
        transfers_.push_back(std::move(transfer));
}

void DataControlClipboard::writeSome(Transfer& transfer) {
    while (transfer.fd >= 0) {
        if (transfer.offset == transfer.data.size()) {
            close(transfer.fd);
            transfer.fd = -1;
            finished(transfer.pasteID, true);
            return;
        }
        ssize_t n = write(transfer.fd, transfer.data.data() + transfer.offset,
                          transfer.data.size() - transfer.offset);
        if (n > 0) {
            transfer.offset += size_t(n);
            transfer.deadline = Clock::now() + limits_.servingIdleTimeout;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            return;
        } else {
            close(transfer.fd);  // the reader went away
            transfer.fd = -1;
        }
    }
}

void DataControlClipboard::finished(uint64_t pasteID, bool delivered) {
    if (!openPastes_.erase(pasteID))
        return;
    if (callbacks_.pasteFinished)
        callbacks_.pasteFinished(pasteID, delivered);
}

void DataControlClipboard::forgetAnswers() {
    for (auto& [key, asking] : asking_) {
        for (auto& [type, fd] : asking.waiting) close(fd);
        finished(asking.id, false);
    }
    asking_.clear();
    for (auto& [key, kept] : kept_) finished(kept.id, false);
    kept_.clear();
}

}  // namespace dz::wayland
