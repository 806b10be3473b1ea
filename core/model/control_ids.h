#pragma once

// Numeric ids of the windows' controls. Each Qt widget's objectName is its id
// in decimal ("1001"), so tests and automation find controls by id.
namespace quillane {

// Main window (template 102)
inline constexpr int kIdMainWindow = 102;  // SetCaption on it sets the window title
inline constexpr int kIdDeviceList = 1000;
inline constexpr int kIdFind = 1001;
inline constexpr int kIdSelectAll = 1002;
inline constexpr int kIdCancel = 1003;
inline constexpr int kIdStartIP = 1004;
inline constexpr int kIdEndIP = 1005;
inline constexpr int kIdKeyboard = 1006;
inline constexpr int kIdFilePath = 1007;
inline constexpr int kIdOpen = 1008;
inline constexpr int kIdUpgrade = 1009;
inline constexpr int kIdModifyIP = 1010;
inline constexpr int kIdFindType = 1011;
inline constexpr int kIdNoteLine = 1025;
inline constexpr int kIdPlayDev = 1028;
inline constexpr int kIdTypeLabel = 1029;
inline constexpr int kIdMorePlayDev = 1030;
inline constexpr int kIdPowerDev = 1031;
inline constexpr int kIdSoundBoxDev = 1032;
inline constexpr int kIdAlarmDev = 1033;
inline constexpr int kIdTelCallDev = 1034;
inline constexpr int kIdSoundCollectionDev = 1035;
inline constexpr int kIdFileLabel = 1036;
inline constexpr int kIdSmallPoxSoundBoxDev = 1046;  // hidden
inline constexpr int kIdProgress = 1047;
inline constexpr int kIdAmpMonitorDev = 1048;
inline constexpr int kIdPowerManageDev = 1049;
inline constexpr int kIdSenseInterfaceDev = 1050;

// About box (template 100) and IP settings dialog (template 129)
inline constexpr int kIdAboutDialog = 100;
inline constexpr int kIdIpSettingsDialog = 129;
inline constexpr int kIdOk = 1;
inline constexpr int kIdDialogCancel = 2;
inline constexpr int kIdEditIP = 1012;
inline constexpr int kIdEditMask = 1013;
inline constexpr int kIdEditGateway = 1014;
inline constexpr int kIdEditServer = 1015;
inline constexpr int kIdEditBackupServer = 1016;
inline constexpr int kIdCheckIP = 1017;
inline constexpr int kIdCheckMask = 1018;
inline constexpr int kIdCheckGateway = 1019;
inline constexpr int kIdCheckServer = 1020;
inline constexpr int kIdCheckBackupServer = 1021;
inline constexpr int kIdEditType = 1023;
inline constexpr int kIdEditKeyboard = 1024;
inline constexpr int kIdOctetLabel1 = 1037;
inline constexpr int kIdOctetLabel4 = 1040;
inline constexpr int kIdLabelIP = 1041;
inline constexpr int kIdLabelBackupServer = 1045;

}  // namespace quillane
