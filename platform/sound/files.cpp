#include <cstdlib>
#include <string>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace sound {

int openSoundFile(const char* path, LoadError& error) {
    if (!path) {
        error = LoadError::InvalidArgument;
        return -1;
    }
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case ENOENT: case ENOTDIR: case ENAMETOOLONG: case ELOOP:
            error = LoadError::NotFound;
            break;
        case ENOMEM:
            error = LoadError::Memory;
            break;
        default:
            error = LoadError::Unreadable;  // no permission, too many open files, ...
        }
        return -1;
    }
    struct stat status {};
    // Only regular files: a folder cannot be read, and a pipe could not be looped.
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = LoadError::Unreadable;
        return -1;
    }
    error = LoadError::None;
    return fd;
}

bool environmentFlag(const char* name) {
    const char* value = std::getenv(name);
    return value && *value && std::string(value) != "0";
}

}  // namespace sound
