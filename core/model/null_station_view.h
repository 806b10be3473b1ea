#pragma once

#include "model/station_view.h"

namespace quillane {

// A view that shows nothing: for headless stations (servers in a lab, benchmarks,
// tests that only watch the network). Auto search, empty range.
class NullStationView : public StationView {
public:
    void EnableControl(int, bool) override {}
    void SetCaption(int, const std::string&) override {}
    void SetProgress(int) override {}
    void ShowMessage(const std::string&, const std::string&) override {}
    int FindTypeSelection() const override { return 0; }
    uint32_t RangeStart() const override { return 0; }
    uint32_t RangeEnd() const override { return 0; }
};

}  // namespace quillane
