#include "model/texts.h"

#include "model/device_table.h"
#include "model/device_types.h"

namespace quillane {
namespace {

TextTable MakeChinese() {
    TextTable t;
    t.windowTitle = "Quillane";
    t.keyboard = "键盘";
    t.find = "查找";
    t.modifyIP = "修改IP";
    t.modifyIPAfterRun = "编辑IP";
    t.stop = "停止";
    t.typeLabel = "设备类型:";
    t.fileLabel = "文件路径:";
    t.open = "打开";
    t.upgrade = "升级";
    t.selectAll = "全选";
    t.cancel = "取消";
    t.findTypes = {"自动搜索", "指定IP"};
    t.noteLine =
        "播放终端包括:网络化播放终端、求助对讲扩展控制器、网络化点播面板、网络化工业电话对讲终端、"
        "两用对讲扩展控制器、网络化报警终端、无线遥控控制器";
    t.noteUpgradeParallel = "同时升级{1}台设备";
    t.noteBootUnanswered = "未应答来自{1}的启动请求：它不属于本次升级的设备";
    t.noteTableFull = "设备表已满(" + std::to_string(kMaxDeviceRows) + "台)，其余设备的回复不再列出";
    t.columnHeaders = {"序号",     "选择",         "版本号",           "状态",     "IP地址", "子网掩码",
                       "默认网关", "服务器IP地址", "备用服务器IP地址", "设备类型", "设备号", ""};
    t.columnWidths = {30, 32, 90, 120, 105, 105, 105, 105, 105, 75, 75, 0};

    t.ipDialogTitle = "修改IP";
    t.octetLabels = {"第1位", "第2位", "第3位", "第4位( 范围(1~249) )"};
    t.fieldLabels = {"IP地址:", "子网掩码:", "默认网关:", "服务器IP地址:", "备用服务器IP地址:"};
    t.modifyBox = "是否修改";
    t.ipDialogKeyboard = "键盘";
    t.ok = "确定";
    t.dialogCancel = "取消";
    t.editTypes = {"自动增加", "第4位不改变", "第3、4位不改变", "第2、3、4位不改变"};

    t.stateSuccess = "成功";
    t.stateFailure = "失败";
    t.stateModifying = "修改...";
    t.stateUpgrading = "升级中...";
    t.stateNoSegment = "失败(没有该网段IP)";
    t.stateUpgradeFailed = "失败";
    t.stateNotStarted = "未开始";

    t.captionError = "错误";
    t.captionHint = "提示";
    t.msgStartAboveEnd = "开始IP必需小于结束IP";
    t.msgNoDeviceType = "请选择设备类型";
    t.msgCloseDuringUpgrade = "升级完成再关闭";
    t.msgNoDeviceToModify = "请选择需要修改的设备";
    t.msgIpOutOfRange = "IP地址超出了范围";
    t.msgUpgradeFileMissing = "升级的文件不存在";
    t.msgNoDeviceToUpgrade = "请选择需要升级的设备";
    t.msgStopPending = "升级完成当前设备再停止";
    t.msgSearchPending = "正在搜索设备，请在搜索完成后再操作";
    // The dialog accepts first octets 1 to 223; the messages say so.
    t.msgFirstOctet = {"IP地址第1位是1~223之间", "默认网关第1位是1~223之间", "服务器IP地址第1位是1~223之间",
                       "备用服务器IP地址第1位是1~223之间"};
    t.msgIpLoopback = "IP地址不能是环回地址(127.x.x.x)";
    t.msgIpNetworkAddress = "IP地址不能是所在子网的网络地址";
    t.msgIpBroadcastAddress = "IP地址不能是所在子网的广播地址";
    t.msgMaskNotContiguous = "子网掩码的1必须连续";

    t.unknownDevice = "未知设备";

    t.menuExportList = "导出列表...";
    t.menuCopy = "复制";
    t.exportFileFilter = "CSV 文件";
    t.msgExportFailed = "无法写入该文件";
    t.menuAllowFirewall = "允许通过 Windows 防火墙...";
    t.noteFirewallBlocked = "Windows 防火墙阻止了设备的回复。请在系统菜单中选择“允许通过 Windows 防火墙...”";
    t.noteFirewallUncovered =
        "没有 Windows 防火墙规则允许设备的回复。请在系统菜单中选择“允许通过 Windows 防火墙...”";

    t.listSeparator = "；";
    t.labelSeparator = "：";
    t.portInUse = "已被其他程序占用";
    t.portNotPermitted = "需要管理员权限(root或CAP_NET_BIND_SERVICE)";
    t.portUnusable = "无法使用";
    t.msgFilePathTooLong = "升级文件的路径太长({1}字节)，设备最多接受{2}字节。请把文件放到较短的路径下。";
    t.msgFileUnreadable = "无法读取升级文件。";
    t.msgFileEmpty = "升级文件是空的。";
    t.msgBootServiceDown = "引导地址应答服务未运行：UDP端口{1}{2}。";
    t.msgTftpServiceDown = "TFTP服务未运行：UDP端口{1}{2}。";
    t.refusalNotSingleHost = "设备地址不是单一主机地址";
    t.refusalSharedGroupNumber = "组播命令会同时到达设备号低16位相同的其他设备";
    t.refusalSameNewAddress = "地址{1}同时分配给了设备{2}";
    t.refusalAddressInUse = "地址{1}已被设备{2}使用";
    t.refusalNotInPlan = "地址计划中没有该设备";
    t.noteRefusedOne = "未发送给{1}台设备（{2}）";
    t.noteRefusedMany = "未发送给{1}台设备（{2}）";
    t.noteRefusedMore = "……";
    t.findingSharedAddress = "设备 {1} 使用同一IP地址 {2}";
    t.findingSharedGroupNumber = "设备 {1} 的设备号低16位相同({2})";
    t.findingOutsideSegments = "设备 {1} ({2}) 不在本机网段内";
    t.findingNonHostAddress = "设备 {1} 的IP地址 {2} 是{3}";
    t.addressKindNetwork = "网络地址";
    t.addressKindBroadcast = "广播地址";
    t.addressKindMulticast = "组播地址";
    return t;
}

TextTable MakeEnglish() {
    TextTable t;
    t.windowTitle = "Quillane";
    t.keyboard = "Keyboard";
    t.find = "Find";
    t.modifyIP = "Modify IP";
    t.modifyIPAfterRun = "Edit IP";
    t.stop = "Stop";
    t.typeLabel = "Device type:";
    t.fileLabel = "File path:";
    t.open = "Open";
    t.upgrade = "Upgrade";
    t.selectAll = "Select all";
    t.cancel = "Cancel";
    t.findTypes = {"Auto search", "Specified IP"};
    t.noteLine =
        "The play terminal comprises: a play terminal, help intercom extension controller, network video on "
        "demand, network industry panel telephone intercom, intercom extension controller, dual terminal "
        "network "
        "alarm terminal, the wireless remote control controller network";
    t.noteUpgradeParallel = "Upgrading {1} devices at a time";
    t.noteBootUnanswered = "Boot request from {1} not answered: it belongs to no device of this upgrade run";
    t.noteTableFull = "The device table is full (" + std::to_string(kMaxDeviceRows) +
                      " devices): replies from further devices are not listed";
    t.columnHeaders = {"No.",
                       "Choice",
                       "Version",
                       "State",
                       "IP address",
                       "Mask",
                       "gateway",
                       "Server IP address",
                       "Standby server IP",
                       "Device type",
                       "Device No.",
                       ""};
    t.columnWidths = {30, 45, 90, 120, 105, 105, 105, 115, 115, 90, 75, 0};

    t.ipDialogTitle = "Modify the IP";
    t.octetLabels = {"First", "Second", "Third", "Fourth (range (1~249))"};
    t.fieldLabels = {"IP address:", "Mask:", "Gateway:", "server IP address:", "standby server IP address:"};
    t.modifyBox = "Modify";
    t.ipDialogKeyboard = "KeyBoard";
    t.ok = "Ok";
    t.dialogCancel = "Cancel";
    t.editTypes = {"Automatic increase", "4 do not change", "3、4 do not change", "2、3、4 do not change"};

    t.stateSuccess = "Success";
    t.stateFailure = "Failure";
    t.stateModifying = "修改...";
    t.stateUpgrading = "Upgrade...";
    t.stateNoSegment = "Failure(not the segment IP)";
    t.stateUpgradeFailed = "失败";
    t.stateNotStarted = "not started";

    t.captionError = "Error";
    t.captionHint = "Hint";
    t.msgStartAboveEnd = "Start IP must be less than the end of IP";
    t.msgNoDeviceType = "Please select the type of device.";
    t.msgCloseDuringUpgrade = "The upgrade is complete the close";
    t.msgNoDeviceToModify = "Please select a need to modify the equipment";
    t.msgIpOutOfRange = "The IP address is beyond the scope of";
    t.msgUpgradeFileMissing = "The upgrade file does not exist";
    t.msgNoDeviceToUpgrade = "Please select the need to upgrade equipment";
    t.msgStopPending = "The upgrade is complete the current device and then stop";
    t.msgSearchPending = "A search is in progress; please try again when it has finished";
    t.msgFirstOctet = {"A first bit IP address is between 1~223",
                       "The default gateway is between first 1~223",
                       "The IP address of the server first is between 1~223",
                       "The standby server IP address first is between 1~223"};
    t.msgIpLoopback = "The IP address cannot be a loopback address (127.x.x.x)";
    t.msgIpNetworkAddress = "The IP address cannot be the network address of its subnet";
    t.msgIpBroadcastAddress = "The IP address cannot be the broadcast address of its subnet";
    t.msgMaskNotContiguous = "The subnet mask's ones must be contiguous";

    t.unknownDevice = "Unknown device";

    t.menuExportList = "Export list...";
    t.menuCopy = "Copy";
    t.exportFileFilter = "CSV files";
    t.msgExportFailed = "The file could not be written.";
    t.menuAllowFirewall = "Allow through Windows Firewall...";
    t.noteFirewallBlocked =
        "Windows Firewall blocks the devices' replies: choose \"Allow through Windows Firewall...\" in the "
        "system menu";
    t.noteFirewallUncovered =
        "No Windows Firewall rule lets the devices' replies in: choose \"Allow through Windows Firewall...\" "
        "in the "
        "system menu";

    t.listSeparator = "; ";
    t.labelSeparator = ": ";
    t.portInUse = "is already used by another program";
    t.portNotPermitted = "needs administrator rights (root or the CAP_NET_BIND_SERVICE capability)";
    t.portUnusable = "could not be opened";
    t.msgFilePathTooLong =
        "The firmware file's path is too long for the devices: {1} bytes, at most {2}. Move the file to a "
        "shorter path.";
    t.msgFileUnreadable = "The firmware file cannot be read.";
    t.msgFileEmpty = "The firmware file is empty.";
    t.msgBootServiceDown = "The boot responder is not running: UDP port {1} {2}.";
    t.msgTftpServiceDown = "The TFTP server is not running: UDP port {1} {2}.";
    t.refusalNotSingleHost = "its address is not a single host's";
    t.refusalSharedGroupNumber = "the group form would also reach another device with the same low 16 bits";
    t.refusalSameNewAddress = "address conflict: {1} would also go to device {2}";
    t.refusalAddressInUse = "address conflict: {1} is the address of device {2}";
    t.refusalNotInPlan = "the plan has no settings for it";
    t.noteRefusedOne = "Not sent to {1} device ({2})";
    t.noteRefusedMany = "Not sent to {1} devices ({2})";
    t.noteRefusedMore = "; ...";
    t.findingSharedAddress = "Devices {1} share the IP address {2}";
    t.findingSharedGroupNumber = "Devices {1} share the low 16 bits of their number ({2})";
    t.findingOutsideSegments = "Device {1} ({2}) is outside every local segment";
    t.findingNonHostAddress = "Device {1} has a {3}: {2}";
    t.addressKindNetwork = "network address";
    t.addressKindBroadcast = "broadcast address";
    t.addressKindMulticast = "multicast address";
    return t;
}

}  // namespace

const TextTable& Texts(Language language) {
    static const TextTable chinese = MakeChinese();
    static const TextTable english = MakeEnglish();
    return language.IsEnglish() ? english : chinese;
}

std::string FillIn(const std::string& text, const std::vector<std::string>& values) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        // "{N}" with N from 1 to 9; anything else stays as it stands.
        const bool slot = text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' &&
                          text[i + 2] == '}';
        const size_t index = slot ? static_cast<size_t>(text[i + 1] - '1') : 0;
        if (slot && index < values.size()) {
            out += values[index];
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string InLanguage(const BilingualText& text, Language language) {
    const char* chosen = language.IsEnglish() ? text.english : text.chinese;
    return chosen ? chosen : "";
}

std::string TypeBoxCaption(const DeviceType& type, Language language) {
    return InLanguage(type.caption, language);
}

std::string DeviceTypeName(int32_t code, Language language) {
    const DeviceType* type = FindDeviceType(code);
    if (!type || !type->name.chinese) return Texts(language).unknownDevice;
    return InLanguage(type->name, language);
}

const AboutTexts& About() {
    static const AboutTexts about{"关于 Ostrel", "Ostrel，" QUILLANE_VERSION_SHORT " 版", "确定",
                                  "关于 Ostrel(&A)..."};
    return about;
}

}  // namespace quillane
