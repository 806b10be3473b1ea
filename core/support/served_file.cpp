#include "support/served_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "support/utf8_files.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quillane {
namespace {

ServedFile Failed(ServedFileOpen result, int error) {
    ServedFile file;
    file.result = result;
    file.error = error;
    return file;
}

ServedFileOpen OpenFailure(int error) {
    return (error == EMFILE || error == ENFILE) ? ServedFileOpen::kOutOfDescriptors
                                                : ServedFileOpen::kNotFound;
}

}  // namespace

#ifdef _WIN32

ServedFile OpenServedFile(const std::string& path, bool textMode) {
    const int fd =
        _wopen(PathFromUtf8(path).c_str(), _O_RDONLY | _O_NOINHERIT | (textMode ? _O_TEXT : _O_BINARY));
    if (fd < 0) return Failed(OpenFailure(errno), errno);
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        _close(fd);
        return Failed(ServedFileOpen::kNotRegular, 0);
    }
    std::FILE* stream = _fdopen(fd, textMode ? "rt" : "rb");
    if (!stream) {
        const int error = errno;
        _close(fd);
        return Failed(OpenFailure(error), error);
    }
    return ServedFile{ServedFileOpen::kOpened, stream, static_cast<uint64_t>(info.st_size), 0};
}

#else

ServedFile OpenServedFile(const std::string& path, bool textMode) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Failed(OpenFailure(errno), errno);
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return Failed(ServedFileOpen::kNotRegular, 0);
    }
    std::FILE* stream = fdopen(fd, textMode ? "r" : "rb");
    if (!stream) {
        const int error = errno;
        close(fd);
        return Failed(OpenFailure(error), error);
    }
    return ServedFile{ServedFileOpen::kOpened, stream, static_cast<uint64_t>(info.st_size), 0};
}

#endif

}  // namespace quillane
