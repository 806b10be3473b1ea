#include "mainwindow/station.h"

#include "firmware/tftp_server.h"
#include "mainwindow/control_ids.h"
#include "mainwindow/device_types.h"
#include "mainwindow/settings.h"
#include "mainwindow/texts.h"
#include "support/helper_program.h"

namespace quillane {

namespace {

std::string WithTrailingSeparator(std::string dir) {
    if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
    return dir;
}

}  // namespace

Station::Station(StationView& view, std::string appDir, StationNetwork network, SettingsFiles settings)
    : m_strAppDir(WithTrailingSeparator(std::move(appDir))),
      m_view(view),
      m_network(network),
      m_settingsFiles(settings),
      m_localAddresses(std::make_shared<LocalAddressLists>()) {
    m_startHelperProgram = [this](const std::string& commandLine) {
        StartHelperProgram(m_strAppDir, commandLine);
    };
}

Station::~Station() {
    StopServices();
    // Drain what the receive thread queued and the loop never handled.
    while (true) {
        AutoLock lock(&m_QueueLock);
        if (m_CmdQueue.empty()) break;
        m_CmdQueue.pop_front();
    }
}

// The window's initialisation: settings and texts first, services last, so
// no worker sees a half-built window. Without settings files the language
// set beforehand stays and every setting starts from its default.
void Station::Initialise() {
    RefreshLocalAddresses();
    if (UsesSettingsFiles()) m_nLanguage = ReadLanguage(m_strAppDir);

    const MainSettings settings =
        UsesSettingsFiles() ? LoadOrCreateMainSettings(m_strAppDir) : MainSettings{};
    m_view.SetRange(settings.startIP, settings.endIP);
    m_nFindType = (settings.findType == 1) ? 1 : 0;
    SetUpdateFile(settings.updateFile);
    for (size_t i = 0; i < kDeviceTypes.size(); ++i) (this->*kDeviceTypes[i].flag) = settings.filters[i];

    m_view.SetCaption(kIdFilePath, UpdateFile());
    m_view.EnableControl(kIdFilePath, false);
    for (const DeviceType& type : kDeviceTypes) m_view.SetChecked(type.boxId, FilterAdmits(*this, type));

    ApplyTexts();

    m_view.EnableControl(kIdStartIP, m_nFindType == 1);
    m_view.EnableControl(kIdEndIP, m_nFindType == 1);
    m_view.SetProgressRange(0, 100);
    StartServices();
}

void Station::ApplyTexts() {
    const TextTable& t = Texts(m_nLanguage);
    m_view.SetTableColumns(t.columnHeaders, t.columnWidths);
    m_view.SetFindTypeItems(t.findTypes, m_nFindType);
    m_view.SetCaption(kIdNoteLine, t.noteLine);
    m_view.SetCaption(kIdMainWindow, t.windowTitle);
    m_view.SetCaption(kIdKeyboard, t.keyboard);
    m_view.SetCaption(kIdFind, t.find);
    m_view.SetCaption(kIdModifyIP, t.modifyIP);
    m_view.SetCaption(kIdTypeLabel, t.typeLabel);
    for (const DeviceType& type : kDeviceTypes)
        m_view.SetCaption(type.boxId, TypeBoxCaption(type, m_nLanguage));
    m_view.SetCaption(kIdFileLabel, t.fileLabel);
    m_view.SetCaption(kIdOpen, t.open);
    m_view.SetCaption(kIdUpgrade, t.upgrade);
    m_view.SetCaption(kIdSelectAll, t.selectAll);
    m_view.SetCaption(kIdCancel, t.cancel);
}

bool Station::Close() {
    if (m_bUpgradeContinue.load() == 1 || m_bUpgrading.load() == 1) {
        const TextTable& t = Texts(m_nLanguage);
        m_view.ShowMessage(t.msgCloseDuringUpgrade, t.captionHint);
        return false;
    }
    StopServices();
    return true;
}

void Station::CloseForSystem() {
    StopServices();
    if (m_pTftpServer) m_pTftpServer->LogServerMessage("stopped");
}

void Station::RefreshLocalAddresses() {
    SetLocalAddresses(m_queryLocalAddresses ? m_queryLocalAddresses() : QueryLocalAddresses());
}

std::shared_ptr<const LocalAddressLists> Station::LocalAddresses() const {
    std::lock_guard lock(m_sharedTextMutex);
    return m_localAddresses;
}

void Station::SetLocalAddresses(LocalAddressLists lists) {
    auto snapshot = std::make_shared<const LocalAddressLists>(std::move(lists));
    std::lock_guard lock(m_sharedTextMutex);
    m_localAddresses = std::move(snapshot);
}

std::string Station::UpdateFile() const {
    std::lock_guard lock(m_sharedTextMutex);
    return m_strUpdateFile;
}

void Station::SetUpdateFile(std::string path) {
    std::lock_guard lock(m_sharedTextMutex);
    m_strUpdateFile = std::move(path);
}

}  // namespace quillane
