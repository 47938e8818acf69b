#include "app/settings/FileSettingsStorage.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace dz {

namespace {

// Anything larger is not a settings document; refusing it keeps a stray
// file from exhausting memory.
constexpr size_t maxBlobSize = 256u << 20;

bool validKey(std::string_view key) {
    return !key.empty() && key != "." && key != ".." && key.find('/') == std::string_view::npos &&
           key.find('\0') == std::string_view::npos;
}

std::string errnoText(const std::string& what, const std::filesystem::path& path, int error) {
    return what + " " + path.string() + ": " + std::strerror(error);
}

bool setError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
    return false;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::optional<std::filesystem::path> homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir && *result->pw_dir)
        return std::filesystem::path(result->pw_dir);
    return std::nullopt;
}

}  // namespace

FileSettingsStorage::FileSettingsStorage(std::filesystem::path directory)
    : directory_(std::move(directory)) {}

std::optional<std::filesystem::path> FileSettingsStorage::defaultDirectory() {
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config && config[0] == '/')
        return std::filesystem::path(config) / "dozuzavuvu";
    if (auto home = homeDirectory())
        return *home / ".config" / "dozuzavuvu";
    return std::nullopt;
}

std::filesystem::path FileSettingsStorage::path(std::string_view key) const {
    return directory_ / std::string(key);
}

SettingsStorage::Stored FileSettingsStorage::read(std::string_view key) const {
    if (!validKey(key))
        return {Stored::Status::failed, {}, "invalid storage key"};
    std::filesystem::path file = path(key);
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return {Stored::Status::failed, {}, errnoText("cannot open", file, errno)};
    }
    Stored stored;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {Stored::Status::failed, {}, file.string() + " is not a regular file"};
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            ::close(fd);
            return {Stored::Status::failed, {}, errnoText("cannot read", file, error)};
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > maxBlobSize) {
            ::close(fd);
            return {Stored::Status::failed, {}, file.string() + " is too large"};
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return {Stored::Status::present, std::move(bytes), {}};
}

bool FileSettingsStorage::write(std::string_view key, std::string_view bytes, std::string* error) {
    if (!validKey(key))
        return setError(error, "invalid storage key");
    std::error_code ec;
    std::filesystem::create_directories(directory_, ec);
    if (ec)
        return setError(error, "cannot create " + directory_.string() + ": " + ec.message());

    std::filesystem::path target = path(key);
    std::string temp = (directory_ / ("." + std::string(key) + ".XXXXXX")).string();
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return setError(error, errnoText("cannot create a temporary file in", directory_, errno));

    auto fail = [&](const char* what) {
        int saved = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.c_str());
        return setError(error, errnoText(what, temp, saved));
    };
    if (!writeAll(fd, bytes))
        return fail("cannot write");
    if (::fsync(fd) != 0)
        return fail("cannot flush");
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail("cannot close");
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return fail("cannot rename");
    // Make the rename itself durable; failing here loses nothing.
    int dir = ::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace dz
