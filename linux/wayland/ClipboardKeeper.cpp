#include "linux/wayland/ClipboardKeeper.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "linux/wayland/DataControlClipboard.h"
#include "linux/wayland/OfferedTypes.h"

extern char** environ;

namespace dz::wayland {

namespace {

void putLength(std::string& out, uint64_t n) {
    for (int i = 0; i < 8; ++i) out.push_back(char((n >> (8 * i)) & 0xFF));
}

bool getLength(std::string_view& in, uint64_t& n) {
    if (in.size() < 8)
        return false;
    n = 0;
    for (int i = 0; i < 8; ++i) n |= uint64_t(uint8_t(in[size_t(i)])) << (8 * i);
    in.remove_prefix(8);
    return true;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

}  // namespace

std::string ClipboardKeeper::encode(const std::vector<x11::MimeItem>& content) {
    std::string out;
    putLength(out, content.size());
    for (const auto& item : content) {
        putLength(out, item.target.size());
        out += item.target;
        putLength(out, item.data().size());
        out += item.data();
    }
    return out;
}

std::optional<std::vector<x11::MimeItem>> ClipboardKeeper::decode(std::string_view bytes) {
    uint64_t count = 0;
    if (!getLength(bytes, count) || count > maxOfferedTypes)
        return std::nullopt;
    std::vector<x11::MimeItem> content;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t length = 0;
        if (!getLength(bytes, length) || length > bytes.size())
            return std::nullopt;
        std::string target(bytes.substr(0, length));
        bytes.remove_prefix(length);
        if (!getLength(bytes, length) || length > bytes.size())
            return std::nullopt;
        content.emplace_back(std::move(target), std::string(bytes.substr(0, length)));
        bytes.remove_prefix(length);
    }
    if (!bytes.empty())
        return std::nullopt;
    return content;
}

bool ClipboardKeeper::start(const std::vector<x11::MimeItem>& content, std::string* error, int waitMs,
                            const std::string& program) {
    auto fail = [&](const char* why) {
        if (error)
            *error = why;
        return false;
    };
    // No close-on-exec: the keeper inherits both descriptors.
    int data = memfd_create("dozuzavuvu-clipboard", 0);
    if (data < 0)
        return fail("cannot create the hand-over file");
    int ready[2];
    if (pipe(ready) != 0) {
        close(data);
        return fail("cannot create the hand-over pipe");
    }
    fcntl(ready[0], F_SETFD, FD_CLOEXEC);
    bool written = writeAll(data, encode(content)) && lseek(data, 0, SEEK_SET) == 0;
    pid_t pid = 0;
    int spawned = -1;
    if (written) {
        std::string dataArg = std::to_string(data), readyArg = std::to_string(ready[1]);
        char* argv[] = {const_cast<char*>("dozuzavuvu"), const_cast<char*>(argument.data()), dataArg.data(),
                        readyArg.data(), nullptr};
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        spawned = posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv, environ);
        posix_spawnattr_destroy(&attributes);
    }
    close(data);
    close(ready[1]);
    bool held = false;
    if (spawned == 0) {
        // The keeper is not our child to wait for: it outlives us.
        pollfd fd{ready[0], POLLIN, 0};
        char byte = 0;
        held = poll(&fd, 1, waitMs) == 1 && read(ready[0], &byte, 1) == 1;
    }
    close(ready[0]);
    if (!written)
        return fail("cannot write the hand-over file");
    if (spawned != 0)
        return fail("cannot start the clipboard keeper");
    return held || fail("the clipboard keeper did not take the selection in time");
}

int ClipboardKeeper::run(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2)
        return 2;
    int data = std::atoi(arguments[0].c_str()), ready = std::atoi(arguments[1].c_str());
    fcntl(data, F_SETFD, FD_CLOEXEC);
    fcntl(ready, F_SETFD, FD_CLOEXEC);
    std::string bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = read(data, buffer, sizeof buffer)) > 0) bytes.append(buffer, size_t(n));
    close(data);
    auto content = decode(bytes);
    if (!content || content->empty())
        return 1;
    // No change handler: the keeper never reads other copies.
    auto clipboard = DataControlClipboard::create({});
    if (!clipboard)
        return 1;
    clipboard->offer(std::move(*content));
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!clipboard->holdsSelection() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    (void)!write(ready, "1", 1);
    close(ready);
    // Until another copy replaces ours, or the compositor goes away.
    while (clipboard->ownsClipboard() && clipboard->connected())
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    clipboard->shutdown();
    return 0;
}

}  // namespace dz::wayland
