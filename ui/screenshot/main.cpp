// Renders the windows to PNG files without any network service: the main
// window in both languages with sample rows, the IP settings dialog and the
// About box. Usage: quillane_screenshot OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "about_dlg.h"
#include "costrel_dlg.h"
#include "edit_ip_dlg.h"
#include "model/device_types.h"
#include "model/texts.h"

using namespace quillane;

namespace {

void WriteLanguage(const QString& dir, int language) {
    QFile config(dir + QStringLiteral("/Config.ini"));
    if (config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        config.write(QStringLiteral("[LANGUAGE]\r\nCurLanguage=%1\r\n").arg(language).toUtf8());
}

void AddSampleRows(DeviceTable& table, int language) {
    const TextTable& t = Texts(language);
    const char* versions[] = {"1.9.0.0", "1.10.0.0", "2.0.3.1"};
    for (int i = 0; i < 12; ++i) {
        DeviceRow row;
        row[kColNo] = std::to_string(i + 1);
        row[kColChoice] = (i % 3 == 0) ? kCheckMark : "";
        row[kColVersion] = versions[i % 3];
        row[kColState] = i == 1 ? t.stateUpgrading : (i == 2 ? "45%" : (i == 4 ? t.stateNoSegment : ""));
        row[kColIP] = "192.168.40." + std::to_string(20 + i);
        row[kColMask] = "255.255.255.0";
        row[kColGateway] = "192.168.40.1";
        row[kColServer] = "192.168.40.250";
        row[kColStandbyServer] = "192.168.40.251";
        row[kColType] =
            DeviceTypeName(kDeviceTypes[static_cast<size_t>(i) % kDeviceTypes.size()].code, language);
        row[kColDeviceNo] = std::to_string(1000 + 7 * i);
        row[kColMarker] = "0";
        table.AppendRow(row);
    }
}

void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool Save(QWidget& widget, const QString& path) {
    widget.show();
    Settle();
    const bool saved = widget.grab().save(path);
    widget.hide();
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);
    bool ok = true;
    for (const int language : {1, 2}) {
        QTemporaryDir appDir;
        WriteLanguage(appDir.path(), language);
        const std::string dir = appDir.path().toStdString() + "/";
        const QString suffix = language == 2 ? QStringLiteral("en") : QStringLiteral("zh");

        COstrelDlg window(dir, StationNetwork{.startServices = false});
        AddSampleRows(window.GetStation().m_DeviceList, language);
        window.SetProgress(45);
        ok = Save(window, out + QStringLiteral("/main-window-%1.png").arg(suffix)) && ok;

        IpDeviceValues device{0xC0A82814, 0xFFFFFF00, 0xC0A82801, 0xC0A828FA, 0xC0A828FB};
        CEditIP settings(dir, language, device);
        ok = Save(settings, out + QStringLiteral("/ip-settings-%1.png").arg(suffix)) && ok;
    }
    CAboutDlg about;
    ok = Save(about, out + QStringLiteral("/about.png")) && ok;
    return ok ? 0 : 1;
}
