#include "support/open_file_limit.h"

#ifdef _WIN32

namespace quillane {

long RaiseOpenFileLimit() {
    return -1;
}

}  // namespace quillane

#else

#include <sys/resource.h>

#include <climits>

namespace quillane {

long RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // Some systems report an unlimited hard limit yet refuse it as a soft one.
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? LONG_MAX : static_cast<long>(limit.rlim_cur);
}

}  // namespace quillane

#endif
