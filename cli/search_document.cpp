#include "search_document.h"

#include <cstring>

#include "json_text.h"
#include "model/device_types.h"

namespace quillane::cli {
namespace {

std::string Member(const char* key, const std::string& json) {
    return JsonString(key) + ": " + json;
}

std::string DeviceJson(const DeviceRow& row) {
    const int32_t type = TypeCodeOfName(row[kColType]);
    return "{" + Member("device", std::to_string(ReadDecimal(row[kColDeviceNo]))) + ", " +
           Member("ip", JsonString(row[kColIP])) + ", " + Member("mask", JsonString(row[kColMask])) + ", " +
           Member("gateway", JsonString(row[kColGateway])) + ", " +
           Member("server", JsonString(row[kColServer])) + ", " +
           Member("standby", JsonString(row[kColStandbyServer])) + ", " +
           Member("type", type < 0 ? "null" : std::to_string(type)) + ", " +
           Member("version", JsonString(row[kColVersion])) + "}";
}

std::string FindingJson(const FleetFinding& finding) {
    std::string devices;
    for (int32_t device : finding.devices) devices += (devices.empty() ? "" : ", ") + std::to_string(device);
    return "{" + Member("kind", JsonString(FindingKindName(finding.kind))) + ", " +
           Member("devices", "[" + devices + "]") + ", " +
           Member("detail", JsonString(DescribeFinding(finding, kEnglish))) + "}";
}

template <class T, class F>
std::string JsonList(const std::vector<T>& items, F toJson) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ",\n  " : "\n  ") + toJson(items[i]);
    return out + (items.empty() ? "]" : "\n ]");
}

}  // namespace

std::string FindingKindName(FleetFinding::Kind kind) {
    switch (kind) {
        case FleetFinding::Kind::kSharedAddress:
            return "shared-address";
        case FleetFinding::Kind::kSharedGroupNumber:
            return "shared-group-number";
        case FleetFinding::Kind::kOutsideSegments:
            return "off-segment";
        case FleetFinding::Kind::kNonHostAddress:
            return "non-host";
    }
    return "unknown";
}

int32_t TypeCodeOfName(const std::string& name) {
    for (const DeviceType& type : kDeviceTypes) {
        if (type.name.english && (name == type.name.english || name == type.name.chinese)) return type.code;
    }
    return -1;
}

std::string FormatSearchDocument(const std::vector<ListedDevice>& rows,
                                 const std::vector<FleetFinding>& findings) {
    return "{" + JsonString("devices") + ": " +
           JsonList(rows, [](const ListedDevice& row) { return DeviceJson(row.cells); }) + ",\n " +
           JsonString("findings") + ": " + JsonList(findings, FindingJson) + "}\n";
}

}  // namespace quillane::cli
