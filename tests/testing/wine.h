#pragma once

namespace quillane::test {

// Whether the Windows tests run under wine (on Linux) rather than on Windows.
// Wine passes every socket call through its server, so a test of a hundred
// thousand datagrams that takes seconds on Windows takes many minutes there;
// and it binds only the loopback address its interface list shows
// (127.0.0.1), not the rest of 127.0.0.0/8 that Windows routes to loopback.
bool RunsUnderWine();

}  // namespace quillane::test
