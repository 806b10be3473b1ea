#include "runs/address_conflicts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillane {
namespace {

IPv4Address A(const char* text) {
    return IPv4Address::Parse(text);
}

using Kind = AddressConflict::Kind;

struct Expected {
    size_t index;
    Kind kind;
    const char* address;
    int32_t other;
};

struct Case {
    const char* name;
    std::vector<PlannedAddress> planned;
    std::vector<ListedAddress> alsoListed;  // besides the planned devices
    std::vector<Expected> conflicts;
};

// The planned devices are listed too, with their present addresses.
std::vector<ListedAddress> Listed(const Case& c) {
    std::vector<ListedAddress> listed = c.alsoListed;
    for (const PlannedAddress& p : c.planned) listed.push_back({p.deviceNumber, p.present});
    return listed;
}

TEST(AddressConflicts, RefusesWhatWouldShareAnAddress) {
    const Case cases[] = {
        {"distinct new addresses",
         {{1, A("10.0.0.5"), A("10.0.1.1")}, {2, A("10.0.0.6"), A("10.0.1.2")}},
         {},
         {}},
        // Automatic increase without an IP change: two devices at .250 and .251 both move to x.y.(c+1).1.
        {"two devices pushed into one next block",
         {{1, A("10.0.0.250"), A("10.0.1.1")},
          {2, A("10.0.0.251"), A("10.0.1.1")},
          {3, A("10.0.0.7"), A("10.0.0.7")}},
         {},
         {{0, Kind::kSameNewAddress, "10.0.1.1", 2}, {1, Kind::kSameNewAddress, "10.0.1.1", 1}}},
        {"takes the address of a device not chosen",
         {{1, A("10.0.0.5"), A("10.0.0.9")}},
         {{7, A("10.0.0.9")}},
         {{0, Kind::kTakesListedAddress, "10.0.0.9", 7}}},
        // The rule is conservative: a swap would pass through a moment of two devices on one address.
        {"takes the present address of another chosen device that moves away",
         {{1, A("10.0.0.5"), A("10.0.0.6")}, {2, A("10.0.0.6"), A("10.0.0.7")}},
         {},
         {{0, Kind::kTakesListedAddress, "10.0.0.6", 2}}},
        {"a device keeping its address is never refused, the one moving onto it is",
         {{1, A("10.0.0.5"), A("10.0.0.5")}, {2, A("10.0.0.8"), A("10.0.0.5")}},
         {},
         {{1, Kind::kTakesListedAddress, "10.0.0.5", 1}}},
        {"two devices that already share an address and keep it",
         {{1, A("10.0.0.5"), A("10.0.0.5")}, {2, A("10.0.0.5"), A("10.0.0.5")}},
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<AddressConflict> found = FindAddressConflicts(c.planned, Listed(c));
        ASSERT_EQ(found.size(), c.conflicts.size());
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].index, c.conflicts[i].index);
            EXPECT_EQ(found[i].kind, c.conflicts[i].kind);
            EXPECT_EQ(found[i].address.ToString(), c.conflicts[i].address);
            EXPECT_EQ(found[i].otherDevice, c.conflicts[i].other);
        }
    }
}

}  // namespace
}  // namespace quillane
