#include "app/support/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace dz {

namespace {

WholeFile failure(WholeFile::Status status, int error = 0) {
    WholeFile file;
    file.status = status;
    file.error = error;
    return file;
}

}  // namespace

WholeFile WholeFile::read(const std::filesystem::path& path, size_t maxBytes, Accept accept) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failure(Status::cannotOpen, errno);
    WholeFile file = readDescriptor(fd, maxBytes, accept);
    ::close(fd);
    return file;
}

WholeFile WholeFile::readDescriptor(int fd, size_t maxBytes, Accept accept) {
    struct stat info {};
    bool known = ::fstat(fd, &info) == 0;
    bool regular = known && S_ISREG(info.st_mode);
    bool directory = known && S_ISDIR(info.st_mode);
    if (accept == Accept::regularFiles ? !regular : directory)
        return failure(Status::wrongKind);
    WholeFile file;
    // A regular file's size is known up front: refuse it unread, else read it
    // into one allocation.
    if (regular && static_cast<uintmax_t>(info.st_size) > maxBytes)
        return failure(Status::tooLarge);
    if (regular && info.st_size > 0)
        file.bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failure(Status::cannotRead, errno);
        }
        if (n == 0)
            return file;
        if (file.bytes.size() + static_cast<size_t>(n) > maxBytes)
            return failure(Status::tooLarge);
        file.bytes.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace dz
