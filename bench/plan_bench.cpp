// The address plan reader and the matching of a plan to the devices found,
// on generated files: the time of each, and the peak memory of a process that
// holds the file, before and after reading it (each case in a child process
// of its own, so one case's peak does not hide another's). Figures go to the
// terminal.
//
//   plan_bench            every case
//   plan_bench NAME...    the cases named

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "change_plan.h"
#include "plan_file.h"

using namespace quillane;
using namespace quillane::cli;

namespace {

// `head`, `part` repeated, then `tail`, made in place (no temporary copy
// raises the process's peak before the reader runs).
std::string Repeated(const std::string& head, const std::string& part, size_t times,
                     const std::string& tail) {
    std::string text;
    text.reserve(head.size() + part.size() * times + tail.size());
    text += head;
    for (size_t i = 0; i < times; ++i) text += part;
    text += tail;
    return text;
}

long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string Dotted(uint32_t n) {
    return std::to_string(n >> 24) + "." + std::to_string(n >> 16 & 0xFF) + "." +
           std::to_string(n >> 8 & 0xFF) + "." + std::to_string(n & 0xFF);
}

std::string PlanOfRows(int rows) {
    std::string content = "device,ip\n";
    for (int i = 0; i < rows; ++i) content += std::to_string(i) + "," + Dotted(0x0A000000u + 1 + i) + "\n";
    return content;
}

std::vector<DeviceRow> FoundRows(int rows) {
    std::vector<DeviceRow> found(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        DeviceRow& row = found[static_cast<size_t>(i)];
        row[kColDeviceNo] = std::to_string(rows - 1 - i);  // table order is not the file's
        row[kColIP] = Dotted(0x0B000000u + 1 + i);
        row[kColMask] = "255.0.0.0";
    }
    return found;
}

struct Case {
    const char* name;
    std::function<std::string()> file;  // made before the clock starts
    int matchRows = 0;                  // > 0: time MatchPlan against this many found rows
};

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void RunCase(const Case& c) {
    const std::string content = c.file();
    const std::vector<DeviceRow> found = c.matchRows > 0 ? FoundRows(c.matchRows) : std::vector<DeviceRow>();
    const long peakBefore = PeakResidentKb();
    const auto start = std::chrono::steady_clock::now();
    const PlanReading reading = ReadAddressPlan(content);
    const auto read = std::chrono::steady_clock::now();
    std::string matched;
    if (reading.plan && c.matchRows > 0) {
        const MatchedPlan m = MatchPlan(*reading.plan, found);
        matched = "  matched " + std::to_string(m.devices.size()) + " rows in " +
                  std::to_string(Seconds(std::chrono::steady_clock::now() - read)) + " s";
    }
    const long peakAfter = PeakResidentKb();
    std::printf(
        "%-30s %9zu bytes  read in %.4f s  %s%s\n%30s peak resident %ld kB before reading, %ld kB after\n",
        c.name, content.size(), Seconds(read - start),
        reading.plan ? ("plan of " + std::to_string(reading.plan->rows.size()) + " rows").c_str()
                     : ("fault on line " + std::to_string(reading.error.line)).c_str(),
        matched.c_str(), "", peakBefore, peakAfter);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const size_t tenMegabytes = 10u << 20;
    const std::vector<Case> cases = {
        {"header-80000-ignored-columns", [] { return Repeated("device", ",no.", 80000, "\n1\n"); }},
        {"header-10MB", [=] { return Repeated("device", ",state", tenMegabytes / 6, "\n1\n"); }},
        {"line-of-10MB-separators", [=] { return Repeated("device,ip\n", ",", tenMegabytes, "\n"); }},
        {"cell-of-10MB", [=] { return Repeated("device,ip\n1,", "9", tenMegabytes, "\n"); }},
        {"lone-cr-65536-rows",
         [] {
             std::string plan = PlanOfRows(65536);
             for (char& c : plan)
                 if (c == '\n') c = '\r';
             return plan;
         }},
        {"plan-65536-rows", [] { return PlanOfRows(65536); }},
        {"plan-65537-rows", [] { return PlanOfRows(65537); }},
        {"match-20000-x-20000", [] { return PlanOfRows(20000); }, 20000},
        {"match-65536-x-65536", [] { return PlanOfRows(65536); }, 65536},
    };
    for (const Case& c : cases) {
        bool wanted = argc == 1;
        for (int i = 1; i < argc; ++i) wanted = wanted || c.name == std::string(argv[i]);
        if (!wanted) continue;
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            RunCase(c);
            std::_Exit(0);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child) return 1;
    }
    return 0;
}
