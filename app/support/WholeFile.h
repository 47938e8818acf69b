#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace dz {

// A whole file read into memory with plain POSIX calls, or why it could not
// be. Reads stop at a limit, so a huge file, /dev/zero or an endless pipe
// cannot grow the process without end; callers word the failures themselves.
struct WholeFile {
    enum class Status {
        read,        // `bytes` holds all of it
        cannotOpen,  // `error` is the errno of open()
        wrongKind,   // not a kind of file `Accept` allows
        cannotRead,  // `error` is the errno of read()
        tooLarge,    // more than `maxBytes`
    };
    // Directories are never read; pipes, terminals and devices only when asked.
    enum class Accept { regularFiles, anythingButDirectories };

    Status status = Status::read;
    std::string bytes;
    int error = 0;

    static WholeFile read(const std::filesystem::path& path, size_t maxBytes, Accept accept);
    // Reads an open descriptor to its end and leaves it open.
    static WholeFile readDescriptor(int fd, size_t maxBytes, Accept accept);
};

}  // namespace dz
