// The plan reader against files made to exhaust it: its memory stays within
// a few times the file's size, and it stops at the first fault instead of
// reading on. The allocations of this test program are counted (operator new
// below); the exact figures, and the times, are measured by bench/plan_bench.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "plan_file.h"

namespace {

std::atomic<size_t> g_liveBytes{0}, g_peakBytes{0};
constexpr size_t kHeaderBytes = 16;  // keeps the block's size, and malloc's alignment

}  // namespace

void* operator new(size_t size) {
    void* block = std::malloc(size + kHeaderBytes);
    if (!block) throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    const size_t live = g_liveBytes += size;
    size_t peak = g_peakBytes.load();
    while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + kHeaderBytes;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    char* block = static_cast<char*>(p) - kHeaderBytes;
    g_liveBytes -= *reinterpret_cast<size_t*>(block);
    std::free(block);
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace quillane::cli {
namespace {

std::string Repeated(const std::string& part, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += part;
    return text;
}

// The most the reader held at once beyond what was live before it ran.
size_t PeakBytesOfReading(const std::string& content, PlanReading& reading) {
    const size_t before = g_liveBytes.load();
    g_peakBytes = before;
    reading = ReadAddressPlan(content);
    return g_peakBytes.load() - before;
}

TEST(PlanFileBounds, HostileFilesEndAtTheirFaultWithinAFewTimesTheirSize) {
    const size_t tenMegabytes = 10u << 20;
    const struct {
        const char* name;
        std::string content;
        int line;
        const char* messageStart;
    } cases[] = {
        {"80,000 ignored columns", "device" + Repeated(",no.", 80000) + "\n", 1,
         "the header has more than 64 columns"},
        {"a line of 10 MB of separators", "device,ip\n" + std::string(tenMegabytes, ',') + "\n", 2,
         "more fields than the header has columns"},
        {"a 10 MB header cell", "device," + std::string(tenMegabytes, 'x') + "\n", 1, "unknown column"},
        {"a 10 MB address cell", "device,ip\n1," + std::string(tenMegabytes, '9') + "\n", 2, "\""},
        {"a quoted cell of 10 MB of line breaks",
         "device,state\n1,\"" + std::string(tenMegabytes, '\r') + "\n", 2, "a quoted field is never closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlanReading reading;
        const size_t peak = PeakBytesOfReading(c.content, reading);
        ASSERT_FALSE(reading.plan);
        EXPECT_EQ(reading.error.line, c.line);
        EXPECT_EQ(reading.error.message.rfind(c.messageStart, 0), 0u) << reading.error.message.substr(0, 200);
        EXPECT_LT(peak, 4 * c.content.size() + (1u << 20)) << "bytes held at most";
        EXPECT_LT(DescribePlanError("plan.csv", reading.error).size(), 400u) << "long cells are cut";
    }
}

std::string PlanOfRows(int rows) {
    std::string content = "device,ip\n";
    for (int i = 0; i < rows; ++i)
        content += std::to_string(i) + ",10." + std::to_string(i >> 16) + "." +
                   std::to_string(i >> 8 & 0xFF) + "." + std::to_string(i & 0xFF) + "\n";
    return content;
}

TEST(PlanFileBounds, APlanHoldsAtMostAFullDeviceTable) {
    PlanReading reading;
    const std::string full = PlanOfRows(65536);
    const size_t peak = PeakBytesOfReading(full, reading);
    ASSERT_TRUE(reading.plan) << reading.error.message;
    EXPECT_EQ(reading.plan->rows.size(), 65536u);
    EXPECT_LT(peak, 16 * full.size()) << "a full table's plan, about 20 bytes a line";

    reading = ReadAddressPlan(PlanOfRows(65537));
    ASSERT_FALSE(reading.plan);
    EXPECT_EQ(reading.error.line, 65538);
    EXPECT_EQ(reading.error.message, "more than 65536 devices, more than the device table holds");
}

}  // namespace
}  // namespace quillane::cli
