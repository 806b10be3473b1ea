#pragma once

// Opening a file to serve it to a device. The name may have been swapped for
// a link to a FIFO or a device since it was chosen: the open never blocks,
// and only a regular file is taken, with its size as found at that moment.

#include <cstdint>
#include <cstdio>
#include <string>

namespace quillane {

enum class ServedFileOpen {
    kOpened,
    kNotRegular,        // a FIFO, a device, a folder...
    kOutOfDescriptors,  // the process or the system has no descriptor left
    kNotFound,          // missing, or no access
};

struct ServedFile {
    ServedFileOpen result = ServedFileOpen::kNotFound;
    std::FILE* stream = nullptr;  // set when opened; the caller closes it
    uint64_t size = 0;            // bytes at the moment of opening
    int error = 0;                // errno of a failed open
};

// `textMode` reads as the C library's "rt" does (the same bytes off Windows).
ServedFile OpenServedFile(const std::string& path, bool textMode);

}  // namespace quillane
