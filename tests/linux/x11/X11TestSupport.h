#pragma once
// Child processes and waiting for the X11 tests.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace dz::x11::test {

using namespace std::chrono_literals;

// A child with its standard output on a pipe.
class Child {
  public:
    explicit Child(const std::vector<std::string>& args, const std::string& input = {}) {
        int out[2], in[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(in[0], 0);
            std::vector<char*> argv;
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        out_ = out[0];
        if (!input.empty())
            writer_ = std::thread([fd = in[1], input] {
                size_t done = 0;
                while (done < input.size()) {
                    ssize_t n = write(fd, input.data() + done, input.size() - done);
                    if (n <= 0)
                        break;
                    done += size_t(n);
                }
                close(fd);
            });
        else
            close(in[1]);
    }
    ~Child() {
        stop();
        if (writer_.joinable())
            writer_.join();
        if (out_ >= 0)
            close(out_);
    }
    pid_t pid() const { return pid_; }

    // The next line of output, or nothing after `timeout`.
    std::optional<std::string> line(std::chrono::milliseconds timeout = 5000ms) {
        auto until = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string l = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return l;
            }
            if (!fill(until))
                return std::nullopt;
        }
    }
    // Everything until the child closes its output (or `timeout`).
    std::string all(std::chrono::milliseconds timeout = 10000ms) {
        auto until = std::chrono::steady_clock::now() + timeout;
        while (fill(until)) {
        }
        return std::exchange(buffer_, {});
    }
    // The exit status, waiting at most `timeout`; nothing when still running.
    std::optional<int> wait(std::chrono::milliseconds timeout = 10000ms) {
        auto until = std::chrono::steady_clock::now() + timeout;
        while (pid_ > 0) {
            int status = 0;
            pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (std::chrono::steady_clock::now() >= until)
                return std::nullopt;
            std::this_thread::sleep_for(2ms);
        }
        return std::nullopt;
    }
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    bool fill(std::chrono::steady_clock::time_point until) {
        if (out_ < 0)
            return false;
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fd{out_, POLLIN, 0};
        if (poll(&fd, 1, int(left.count())) <= 0)
            return false;
        char buf[65536];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0)
            return false;
        buffer_.append(buf, size_t(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::thread writer_;
};

// Collects values handed over from another thread.
template <class T>
class Inbox {
  public:
    void push(T value) {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(value));
        cv_.notify_all();
    }
    // The next value, waiting at most `timeout`.
    std::optional<T> next(std::chrono::milliseconds timeout = 5000ms) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [&] { return read_ < items_.size(); }))
            return std::nullopt;
        return items_[read_++];
    }
    size_t count() {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<T> items_;
    size_t read_ = 0;
};

}  // namespace dz::x11::test
