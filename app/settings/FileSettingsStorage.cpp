#include "app/settings/FileSettingsStorage.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

#include "app/support/WholeFile.h"

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

// Temporary files are "." + key + "." + six letters or digits from mkostemp.
bool isTemporaryOf(std::string_view key, std::string_view name) {
    constexpr size_t suffix = 6;
    if (name.size() != key.size() + 2 + suffix || name[0] != '.' || name.substr(1, key.size()) != key ||
        name[1 + key.size()] != '.')
        return false;
    for (char c : name.substr(name.size() - suffix))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
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
    removeStaleTemporaries(key);
    std::filesystem::path file = path(key);
    WholeFile whole = WholeFile::read(file, maxBlobSize, WholeFile::Accept::regularFiles);
    switch (whole.status) {
        case WholeFile::Status::read:
            return {Stored::Status::present, std::move(whole.bytes), {}};
        case WholeFile::Status::cannotOpen:
            if (whole.error == ENOENT || whole.error == ENOTDIR)
                return {};
            return {Stored::Status::failed, {}, errnoText("cannot open", file, whole.error)};
        case WholeFile::Status::wrongKind:
            return {Stored::Status::failed, {}, file.string() + " is not a regular file"};
        case WholeFile::Status::cannotRead:
            return {Stored::Status::failed, {}, errnoText("cannot read", file, whole.error)};
        case WholeFile::Status::tooLarge:
            return {Stored::Status::failed, {}, file.string() + " is too large"};
    }
    return {Stored::Status::failed, {}, "cannot read " + file.string()};
}

std::optional<std::string> FileSettingsStorage::writeTemporary(std::string_view key, std::string_view bytes,
                                                               std::string* error) const {
    std::error_code ec;
    std::filesystem::create_directories(directory_, ec);
    if (ec) {
        setError(error, "cannot create " + directory_.string() + ": " + ec.message());
        return std::nullopt;
    }
    std::string temp = (directory_ / ("." + std::string(key) + ".XXXXXX")).string();
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, errnoText("cannot create a temporary file in", directory_, errno));
        return std::nullopt;
    }
    auto fail = [&](const char* what) -> std::optional<std::string> {
        int saved = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.c_str());
        setError(error, errnoText(what, temp, saved));
        return std::nullopt;
    };
    if (!writeAll(fd, bytes))
        return fail("cannot write");
    if (::fsync(fd) != 0)
        return fail("cannot flush");
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail("cannot close");
    return temp;
}

void FileSettingsStorage::syncDirectory() const {
    // Makes a rename or link durable; failing here loses nothing.
    int dir = ::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool FileSettingsStorage::write(std::string_view key, std::string_view bytes, std::string* error) {
    if (!validKey(key))
        return setError(error, "invalid storage key");
    std::optional<std::string> temp = writeTemporary(key, bytes, error);
    if (!temp)
        return false;
    std::filesystem::path target = path(key);
    if (::rename(temp->c_str(), target.c_str()) != 0) {
        int saved = errno;
        ::unlink(temp->c_str());
        return setError(error, errnoText("cannot rename", *temp, saved));
    }
    syncDirectory();
    return true;
}

bool FileSettingsStorage::keepAside(std::string_view key, std::string_view bytes, std::string* error) {
    if (!validKey(key))
        return setError(error, "invalid storage key");
    auto existing = [&] {
        std::vector<unsigned> numbers;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(directory_, ec))
            if (unsigned number = keptAsideNumber(key, entry.path().filename().string()))
                numbers.push_back(number);
        return numbers;
    };
    std::optional<std::string> temp = writeTemporary(key, bytes, error);
    if (!temp)
        return false;
    std::vector<unsigned> numbers = existing();
    unsigned next = numbers.empty() ? 1 : *std::max_element(numbers.begin(), numbers.end()) + 1;
    // link() never replaces: a name taken meanwhile moves on to the next.
    for (int attempt = 0;; ++attempt, ++next) {
        std::filesystem::path target = path(keptAsideName(key, next));
        if (::link(temp->c_str(), target.c_str()) == 0)
            break;
        int saved = errno;
        if (saved != EEXIST || attempt >= 1000) {
            ::unlink(temp->c_str());
            return setError(error, errnoText("cannot keep a copy as", target, saved));
        }
    }
    ::unlink(temp->c_str());
    syncDirectory();
    for (unsigned surplus : keptAsideSurplus(existing())) ::unlink(path(keptAsideName(key, surplus)).c_str());
    return true;
}

void FileSettingsStorage::removeStaleTemporaries(std::string_view key) const {
    std::error_code ec;
    std::filesystem::directory_iterator entries(directory_, ec);
    if (ec)
        return;
    time_t now = ::time(nullptr);
    for (const auto& entry : entries) {
        std::string name = entry.path().filename().string();
        // Ours: "." + the key, or a key kept aside under it, + "." + the suffix.
        if (name.size() < 8 || name[0] != '.')
            continue;
        std::string_view middle = std::string_view(name).substr(1, name.size() - 8);
        if (!(middle == key ||
              (middle.starts_with(key) && middle.size() > key.size() && middle[key.size()] == '.')) ||
            !isTemporaryOf(middle, name))
            continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid())
            continue;
        if (now - info.st_mtime >= staleTemporarySeconds)
            ::unlink(entry.path().c_str());
    }
}

}  // namespace dz
