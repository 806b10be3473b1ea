#include "station/station.h"

#include "link/tftp_server.h"
#include "model/control_ids.h"
#include "model/device_types.h"
#include "model/settings.h"
#include "model/texts.h"
#include "support/helper_program.h"

namespace quillane {

Station::Station(StationView& view, std::string appDir, StationNetwork network, SettingsFiles settings)
    : StationState(view, std::move(appDir), network, settings) {
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
    View().SetRange(settings.startIP, settings.endIP);
    m_nFindType = (settings.findType == 1) ? 1 : 0;
    SetUpdateFile(settings.updateFile);
    m_upgradeParallel = settings.upgradeParallel;
    m_upgradeMaxFailures = settings.upgradeMaxFailures;
    for (size_t i = 0; i < kDeviceTypes.size(); ++i) (this->*kDeviceTypes[i].flag) = settings.filters[i];

    View().SetCaption(kIdFilePath, UpdateFile());
    View().EnableControl(kIdFilePath, false);
    for (const DeviceType& type : kDeviceTypes) View().SetChecked(type.boxId, FilterAdmits(*this, type));

    ApplyTexts();

    View().EnableControl(kIdStartIP, m_nFindType == 1);
    View().EnableControl(kIdEndIP, m_nFindType == 1);
    View().SetProgressRange(0, 100);
    StartServices();
}

void Station::ApplyTexts() {
    const TextTable& t = Texts(m_nLanguage);
    View().SetTableColumns(t.columnHeaders, t.columnWidths);
    View().SetFindTypeItems(t.findTypes, m_nFindType);
    View().SetCaption(kIdNoteLine, t.noteLine);
    View().SetCaption(kIdMainWindow, t.windowTitle);
    View().SetCaption(kIdKeyboard, t.keyboard);
    View().SetCaption(kIdFind, t.find);
    View().SetCaption(kIdModifyIP, t.modifyIP);
    View().SetCaption(kIdTypeLabel, t.typeLabel);
    for (const DeviceType& type : kDeviceTypes)
        View().SetCaption(type.boxId, TypeBoxCaption(type, m_nLanguage));
    View().SetCaption(kIdFileLabel, t.fileLabel);
    View().SetCaption(kIdOpen, t.open);
    View().SetCaption(kIdUpgrade, t.upgrade);
    View().SetCaption(kIdSelectAll, t.selectAll);
    View().SetCaption(kIdCancel, t.cancel);
}

// A stop asked for twice, or while the run is already ending, changes nothing.
void Station::StopRun() {
    if (m_bModifyContinue.load() == 1 && m_bModifyRequest.load() == 1) m_bModifyContinue = 0;
    if (m_bUpgradeContinue.load() == 1 && m_bUpgrading.load() == 1) m_bUpgradeContinue = 0;
}

bool Station::Close() {
    if (m_bUpgradeContinue.load() == 1 || m_bUpgrading.load() == 1) {
        const TextTable& t = Texts(m_nLanguage);
        View().ShowMessage(t.msgCloseDuringUpgrade, t.captionHint);
        return false;
    }
    StopServices();
    return true;
}

void Station::CloseForSystem() {
    StopServices();
    if (m_pTftpServer) m_pTftpServer->LogServerMessage("stopped");
}

}  // namespace quillane
