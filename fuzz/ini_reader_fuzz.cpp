// libFuzzer target: an initialisation file of any bytes, read and edited
// through the profile calls. Reading never fails or reads out of bounds; a
// write that succeeds reads back as written, and neither it nor a removal
// changes what another key of the section reads.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "support/profile.h"

using namespace quillane;

namespace {

// A folder of this process's own, removed when the fuzzer exits.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char pattern[] = "/tmp/quillane-ini-fuzz-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// Names match without regard to ASCII case or to blanks at either end.
bool SameName(std::string_view a, std::string_view b) {
    auto trim = [](std::string_view text) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
        return text;
    };
    a = trim(a);
    b = trim(b);
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

constexpr size_t kWhole = 1u << 20;  // no cut: reads give back whole values

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFolder folder;
    static const std::string path = folder.path + "/Quillane.ini";
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(24);
    const std::string key = input.ConsumeRandomLengthString(24);
    const std::string otherKey = input.ConsumeRandomLengthString(24);
    const std::string value = input.ConsumeRandomLengthString(64);
    const bool removeKey = input.ConsumeBool();
    const std::string file = input.ConsumeRemainingBytesAsString();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(file.data(), static_cast<std::streamsize>(file.size()));
    }

    (void)ParseProfileInt(file);
    (void)ReadProfileInt(path, section, key, 7);
    const std::string shortRead = ReadProfileString(path, section, key, "default", 5);
    if (shortRead.size() > 5 * 4) std::abort();  // five characters of at most four bytes
    const std::string otherBefore = ReadProfileString(path, section, otherKey, "<none>", kWhole);

    if (removeKey) {
        WriteProfileString(path, section, key, std::nullopt);
    } else if (WriteProfileString(path, section, key, value)) {
        if (ReadProfileString(path, section, key, "<none>", kWhole) != value) std::abort();
    }
    if (!SameName(key, otherKey) &&
        ReadProfileString(path, section, otherKey, "<none>", kWhole) != otherBefore)
        std::abort();
    return 0;
}
