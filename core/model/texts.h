#pragma once

// Every text the tool shows, in its Chinese and its English set; the device
// types' captions and names stand in their catalogue (device_types.h). No
// other file spells these texts. Language 2 selects English; every other value Chinese.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/language.h"

namespace quillane {

struct BilingualText;
struct DeviceType;

struct TextTable {
    // Main window (template 102)
    std::string windowTitle;               // "Quillane" in both sets
    std::string keyboard;                  // 1006
    std::string find;                      // 1001
    std::string modifyIP;                  // 1010, initial caption
    std::string modifyIPAfterRun;          // 1010 after an address-change run
    std::string stop;                      // 1009/1010 while a run is active
    std::string typeLabel;                 // 1029
    std::string fileLabel;                 // 1036
    std::string open;                      // 1008
    std::string upgrade;                   // 1009, also after an upgrade run
    std::string selectAll;                 // 1002
    std::string cancel;                    // 1003
    std::array<std::string, 2> findTypes;  // 1011 items: auto search, specified IP
    std::string noteLine;                  // 1025
    std::string noteTableFull;             // 1025 once replies were dropped because the table is full
    std::string noteUpgradeParallel;       // 1025 during a run of several at once; {1}: how many
    std::string
        noteBootUnanswered;  // 1025 at a run's first unanswered boot request; {1}: its hardware address
    std::array<std::string, 12> columnHeaders;
    std::array<int, 12> columnWidths;

    // IP settings dialog (template 129)
    std::string ipDialogTitle;
    std::array<std::string, 4> octetLabels;  // 1037-1040
    std::array<std::string, 5> fieldLabels;  // 1041-1045
    std::string modifyBox;                   // 1017-1021
    std::string ipDialogKeyboard;            // 1024
    std::string ok;                          // 1
    std::string dialogCancel;                // 2
    std::array<std::string, 4> editTypes;    // 1023 items

    // State column texts
    std::string stateSuccess;
    std::string stateFailure;
    std::string stateModifying;  // "修改..." in both sets
    std::string stateUpgrading;
    std::string stateNoSegment;
    std::string stateUpgradeFailed;  // "失败" in both sets
    std::string stateNotStarted;     // the upgrade run's failure limit ended it before this device

    // Message boxes
    std::string captionError;
    std::string captionHint;
    std::string msgStartAboveEnd;
    std::string msgNoDeviceType;
    std::string msgCloseDuringUpgrade;
    std::string msgNoDeviceToModify;
    std::string msgIpOutOfRange;
    std::string msgUpgradeFileMissing;
    std::string msgNoDeviceToUpgrade;
    std::string msgStopPending;
    std::string msgSearchPending;              // Upgrade or Modify IP before a pending search has run
    std::array<std::string, 4> msgFirstOctet;  // IP address, gateway, server, standby server
    std::string msgIpLoopback;                 // the new IP address is 127.x.x.x
    std::string msgIpNetworkAddress;           // ... its subnet's network address
    std::string msgIpBroadcastAddress;         // ... its subnet's broadcast address
    std::string msgMaskNotContiguous;          // the mask's ones are not one unbroken run

    std::string unknownDevice;

    // The device table's context menu: export to a CSV file, copy the chosen rows
    std::string menuExportList;
    std::string menuCopy;
    std::string exportFileFilter;  // label of the save dialog's only filter
    std::string msgExportFailed;

    // Windows Defender Firewall (the Windows window): its system-menu entry,
    // and the note line (1025) when the firewall blocks the tool or no rule
    // lets it receive the devices' traffic.
    std::string menuAllowFirewall;  // "Allow through Windows Firewall..."
    std::string noteFirewallBlocked;
    std::string noteFirewallUncovered;

    // Texts with values: "{1}", "{2}", ... stand for them (FillIn).
    std::string listSeparator;   // between items of a list on one line
    std::string labelSeparator;  // between a label and its value

    // Why a UDP port could not be had, after "UDP port N".
    std::string portInUse;
    std::string portNotPermitted;
    std::string portUnusable;

    // Upgrade: what must hold before the first command ({1} the port, {2} why).
    std::string msgFilePathTooLong;  // {1} the path's bytes, {2} the most a device takes
    std::string msgFileUnreadable;
    std::string msgFileEmpty;
    std::string msgBootServiceDown;
    std::string msgTftpServiceDown;

    // Address change: why a row gets nothing ({1} the new address, {2} the other device).
    std::string refusalNotSingleHost;
    std::string refusalSharedGroupNumber;
    std::string refusalSameNewAddress;
    std::string refusalAddressInUse;
    std::string refusalNotInPlan;
    std::string noteRefusedOne;   // {1} the count, {2} the devices and why
    std::string noteRefusedMany;  // the same for more than one
    std::string noteRefusedMore;  // ends the list when it holds only the first few

    // Search check: trouble in the fleet ({1} the devices, {2} the address or group number).
    std::string findingSharedAddress;
    std::string findingSharedGroupNumber;
    std::string findingOutsideSegments;
    std::string findingNonHostAddress;  // {3}: one of the three below
    std::string addressKindNetwork;
    std::string addressKindBroadcast;
    std::string addressKindMulticast;
};

// A text of the table with its values put in for "{1}", "{2}", ...
std::string FillIn(const std::string& text, const std::vector<std::string>& values);

// The text set of a language: English, or else Chinese.
const TextTable& Texts(Language language);

// Whether a language has texts at all: places that write nothing for other values ask this.
inline bool LanguageHasTexts(Language language) {
    return language.HasTexts();
}

// One of a text's two languages: English for 2, Chinese otherwise.
std::string InLanguage(const BilingualText& text, Language language);

// The caption of a device type's check box.
std::string TypeBoxCaption(const DeviceType& type, Language language);

// The device-type column text of a type code (the unknown-device name for
// code 6310 and for codes that are not device types).
std::string DeviceTypeName(int32_t code, Language language);

// The About box and its menu entry exist in Chinese only.
struct AboutTexts {
    std::string title;      // "关于 Ostrel"
    std::string text;       // "Ostrel，1.0 版"
    std::string ok;         // "确定"
    std::string menuEntry;  // "关于 Ostrel(&A)..."
};
const AboutTexts& About();

}  // namespace quillane
