#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "about_dlg.h"
#include "costrel_app.h"
#include "costrel_dlg.h"
#include "device_table_model.h"
#include "edit_ip_dlg.h"
#include "ip_address_edit.h"
#include "link/tftp_server.h"
#include "message_box.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/command_loop.h"
#include "runs/run_controls.h"
#include "single_instance.h"
#include "sort_list_ctrl.h"
#include "support/bounded_thread.h"
#include "support/stop_signals.h"
#include "testing/loopback_devices.h"
#include "testing/loopback_network.h"
#include "testing/paced_fetcher.h"

using namespace quillane;

namespace {

struct Message {
    QString text, caption;
};

// A fresh application folder with the given language, and a window in it that
// starts no service (or its services on loopback addresses only).
class WindowFixture {
public:
    // `mainSettings`: the lines of "Quillane.ini"'s section, if any.
    explicit WindowFixture(int language = 1, StationNetwork network = StationNetwork{.startServices = false},
                           const QString& mainSettings = {}) {
        QFile config(dir.filePath(QStringLiteral("Config.ini")));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("[LANGUAGE]\r\nCurLanguage=%1\r\n").arg(language).toUtf8());
        config.close();
        if (!mainSettings.isEmpty()) {
            QFile main(dir.filePath(QStringLiteral("Quillane.ini")));
            main.open(QIODevice::WriteOnly);
            main.write((QStringLiteral("[Quillane]\r\n") + mainSettings).toUtf8());
            main.close();
        }
        SetMessageBoxHook([this](QWidget*, const QString& text, const QString& caption) {
            messages.push_back({text, caption});
        });
        window = std::make_unique<COstrelDlg>(AppDir(), network);
        window->show();
    }
    ~WindowFixture() {
        window.reset();
        SetMessageBoxHook(nullptr);
    }
    std::string AppDir() const { return dir.path().toStdString() + "/"; }
    template <class T = QWidget>
    T* Control(int id) const {
        return qobject_cast<T*>(window->Control(id));
    }
    Station& station() { return window->GetStation(); }
    void AddRow(const std::string& ip, const std::string& number) {
        DeviceRow row;
        row[kColIP] = ip;
        row[kColDeviceNo] = number;
        station().m_DeviceList.AppendRow(row);
    }
    QStringList Column(int column) const {
        QStringList texts;
        const auto* model = window->DeviceList()->model();
        for (int r = 0; r < model->rowCount(); ++r) texts << model->index(r, column).data().toString();
        return texts;
    }

    QTemporaryDir dir;
    std::vector<Message> messages;
    std::unique_ptr<COstrelDlg> window;
};

constexpr char kStopSignalChild[] = "--stop-signal-child";

// The process that stopSignalEndsTheToolThroughItsOrderlyStop signals: a
// window during an upgrade run, with a dialog open on top of it, run as the
// application runs its window. Prints "ready" once the dialog's loop runs.
int RunStopSignalChild(int argc, char** argv) {
    InstallStopSignals();
    QApplication app(argc, argv);
    WindowFixture fixture;
    fixture.station().m_bUpgrading = 1;
    fixture.station().m_bUpgradeContinue = 1;
    QTimer::singleShot(0, fixture.window.get(), [&fixture] {
        QDialog nested(fixture.window.get());
        QTimer::singleShot(0, &nested, [] {
            std::puts("ready");
            std::fflush(stdout);
        });
        nested.exec();
        std::puts("nested dialog ended");
    });
    const int code = RunMainWindow(*fixture.window);
    std::puts("window ended");
    return code;
}

void TypeAddress(IpAddressEdit* edit, const QStringList& octets) {
    for (int i = 0; i < 4; ++i) {
        edit->Field(i)->clear();
        QTest::keyClicks(edit->Field(i), octets[i]);
    }
}

// Presses OK in the IP settings dialog as soon as it is open (it runs modally).
void ConfirmNextIpDialog() {
    QTimer::singleShot(0, [] {
        QTRY_VERIFY(qobject_cast<CEditIP*>(QApplication::activeModalWidget()));
        auto* dialog = qobject_cast<CEditIP*>(QApplication::activeModalWidget());
        QTest::mouseClick(dialog->Control(kIdOk), Qt::LeftButton);
    });
}

}  // namespace

class UiTest : public QObject {
    Q_OBJECT
private slots:
    // The icon comes from the resources compiled into the executable, in the
    // sizes the window system picks from (title bar, task bar, switcher).
    void windowCarriesTheApplicationIcon() {
        WindowFixture f;
        const QIcon icon = f.window->windowIcon();
        for (const int size : {16, 32, 48, 256}) QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        QCOMPARE(icon.pixmap(QSize(32, 32)).toImage(),
                 QPixmap(QStringLiteral(":/icon/quillane-32.png")).toImage());
    }

    void findWithStartAboveEndShowsTheErrorAndRequestsNothing() {
        WindowFixture f;
        auto* findType = f.Control<QComboBox>(kIdFindType);
        findType->setCurrentIndex(1);
        emit findType->activated(1);
        QVERIFY(f.Control(kIdStartIP)->isEnabled());
        TypeAddress(f.Control<IpAddressEdit>(kIdStartIP), {"192", "168", "1", "200"});
        TypeAddress(f.Control<IpAddressEdit>(kIdEndIP), {"192", "168", "1", "10"});
        QTest::mouseClick(f.Control(kIdFind), Qt::LeftButton);
        QCOMPARE(f.messages.size(), size_t{1});
        QCOMPARE(f.messages[0].text, QStringLiteral("开始IP必需小于结束IP"));
        QCOMPARE(f.messages[0].caption, QStringLiteral("错误"));
        QCOMPARE(f.station().m_bSearchRequest.load(), 0);

        // Blank fields read 0: start 1.0.0.0 is below the end.
        f.Control<IpAddressEdit>(kIdStartIP)->Clear();
        QTest::keyClicks(f.Control<IpAddressEdit>(kIdStartIP)->Field(0), "1");
        QCOMPARE(f.window->RangeStart(), 0x01000000u);
        QTest::mouseClick(f.Control(kIdFind), Qt::LeftButton);
        QCOMPARE(f.messages.size(), size_t{1});
        QCOMPARE(f.station().m_bSearchRequest.load(), 1);
    }

    void addressControlTakesDottedTyping() {
        IpAddressEdit edit;
        edit.resize(200, 24);
        edit.show();
        edit.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        edit.Field(0)->setFocus();
        QVERIFY(QApplication::focusWidget());
        QTest::keyClicks(QApplication::focusWidget(), "10");
        QTest::keyClick(QApplication::focusWidget(), '.');
        QTest::keyClicks(QApplication::focusWidget(), "200");  // a full field moves on by itself
        QTest::keyClicks(QApplication::focusWidget(), "3");
        QCOMPARE(edit.Address(), 0x0AC80300u);  // the last field is blank: 0
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(edit.Address(), 0x0AC80000u);
        QTest::keyClick(QApplication::focusWidget(),
                        Qt::Key_Backspace);  // back to the end of the second field
        QCOMPARE(QApplication::focusWidget(), edit.Field(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(edit.Address(), 0x0A140000u);
        QSignalSpy changed(&edit, &IpAddressEdit::AddressChanged);
        edit.SetAddress(0xC0A82801);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(edit.Field(3)->text(), QStringLiteral("1"));
    }

    void typeBoxClickChangesTheFilter() {
        WindowFixture f;
        QTest::mouseClick(f.Control(kIdAlarmDev), Qt::LeftButton);
        QVERIFY(!f.Control<QCheckBox>(kIdAlarmDev)->isChecked());
        QCOMPARE(f.station().m_bAlarmDev.load(), 0);
        QVERIFY(!f.Control(kIdSmallPoxSoundBoxDev)->isVisible());
        QVERIFY(!f.Control(kIdFilePath)->isEnabled());
    }

    void rowClickTogglesTheMark() {
        WindowFixture f;
        f.AddRow("10.0.0.1", "1");
        f.AddRow("10.0.0.2", "2");
        QTRY_COMPARE(f.window->DeviceList()->model()->rowCount(), 2);
        CSortListCtrl* list = f.window->DeviceList();
        const QPoint cell = list->visualRect(list->model()->index(1, kColIP)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(QString::fromStdString(f.station().m_DeviceList.Cell(1, kColChoice)),
                 QString::fromUtf8(kCheckMark));
        QTRY_COMPARE(f.Column(kColChoice), (QStringList{"", QString::fromUtf8(kCheckMark)}));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
        QTRY_COMPARE(f.Column(kColChoice), (QStringList{"", ""}));

        f.station().m_bUpgrading = 1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
        QTest::qWait(20);
        QCOMPARE(f.Column(kColChoice), (QStringList{"", ""}));
        f.station().m_bUpgrading = 0;

        QTest::mouseClick(f.Control(kIdSelectAll), Qt::LeftButton);
        QTRY_COMPARE(f.Column(kColChoice), QStringList(2, QString::fromUtf8(kCheckMark)));
        QTest::mouseClick(f.Control(kIdCancel), Qt::LeftButton);
        QTRY_COMPARE(f.Column(kColChoice), (QStringList{"", ""}));
    }

    void headerClicksSort() {
        WindowFixture f;
        f.AddRow("192.168.1.9", "9");
        f.AddRow("192.168.1.10", "10");
        f.AddRow("192.168.1.2", "2");
        QTRY_COMPARE(f.window->DeviceList()->model()->rowCount(), 3);
        QHeaderView* header = f.window->DeviceList()->horizontalHeader();
        const QPoint ipHeader(header->sectionViewportPosition(kColIP) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, ipHeader);
        QTRY_COMPARE(f.Column(kColIP), (QStringList{"192.168.1.10", "192.168.1.9", "192.168.1.2"}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, ipHeader);
        QTRY_COMPARE(f.Column(kColIP), (QStringList{"192.168.1.2", "192.168.1.9", "192.168.1.10"}));
        QTest::mouseClick(header->viewport(), Qt::RightButton, {}, ipHeader);
        QTest::qWait(20);
        QCOMPARE(f.station().m_DeviceList.m_bSortAscending, 1);
    }

    void bothFacesShowTheirCaptions() {
        {
            WindowFixture f(2);
            QCOMPARE(f.window->windowTitle(), QStringLiteral("Quillane"));
            QCOMPARE(f.Control<QPushButton>(kIdFind)->text(), QStringLiteral("Find"));
            QCOMPARE(f.Control<QPushButton>(kIdSelectAll)->text(), QStringLiteral("Select all"));
            QCOMPARE(f.Control<QCheckBox>(kIdPlayDev)->text(), QStringLiteral("Play terminal"));
            QCOMPARE(f.Control<QComboBox>(kIdFindType)->itemText(1), QStringLiteral("Specified IP"));
            const auto* model = f.window->DeviceList()->model();
            QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("No."));
            QCOMPARE(f.window->DeviceList()->columnWidth(kColChoice), 45);
            QVERIFY(f.window->DeviceList()->isColumnHidden(kColMarker));
        }
        {
            WindowFixture f(1);
            QCOMPARE(f.Control<QPushButton>(kIdFind)->text(), QStringLiteral("查找"));
            QCOMPARE(f.Control<QCheckBox>(kIdPowerManageDev)->text(), QStringLiteral("电源管理控制卡"));
            QCOMPARE(f.window->DeviceList()->model()->headerData(4, Qt::Horizontal).toString(),
                     QStringLiteral("IP地址"));
        }
    }

    void controlsSitWhereTheTemplatePutsThem() {
        WindowFixture f;
        // Every control is found by its id, inside the window, and none overlaps the table.
        const QRect table = f.Control(kIdDeviceList)->geometry();
        for (int id : {kIdFindType, kIdStartIP, kIdEndIP, kIdKeyboard, kIdFind, kIdModifyIP, kIdTypeLabel,
                       kIdPlayDev, kIdFileLabel, kIdFilePath, kIdOpen, kIdUpgrade, kIdSelectAll, kIdCancel,
                       kIdProgress, kIdNoteLine}) {
            QWidget* w = f.Control(id);
            QVERIFY2(w, qPrintable(QString::number(id)));
            QCOMPARE(w->objectName(), QString::number(id));
            QVERIFY(f.window->rect().contains(w->geometry()));
            QVERIFY(!w->geometry().intersects(table));
        }
        // Same row of the template, same top.
        QCOMPARE(f.Control(kIdOpen)->y(), f.Control(kIdCancel)->y());
        QVERIFY(f.Control(kIdFind)->x() > f.Control(kIdKeyboard)->x() + f.Control(kIdKeyboard)->width());
    }

    void aboutBoxComesFromTheContextMenuInChinese() {
        WindowFixture f(2);
        QString entry;
        QString aboutTitle;
        // The menu and the box run their own loops: inspect and close them from timers.
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || menu->actions().isEmpty()) return;
            entry = menu->actions().first()->text();
            QTimer::singleShot(50, [&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* about = qobject_cast<CAboutDlg*>(w); about && about->isVisible()) {
                        aboutTitle = about->windowTitle();
                        about->accept();
                    }
                }
            });
            menu->actions().first()->trigger();
            menu->close();
        });
        QTimer::singleShot(3000, [] {
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), f.window->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(f.window.get(), &event);
        QCOMPARE(entry, QStringLiteral("关于 Ostrel(&A)..."));
        QCOMPARE(aboutTitle, QStringLiteral("关于 Ostrel"));
    }

    // The file holds what the table shows: its current order, its visible
    // columns under their headers, Chinese texts readable by a spreadsheet.
    void exportListWritesTheShownTableAsCsv() {
        WindowFixture f(1);
        DeviceRow row;
        row[kColType] = "播放终端";
        row[kColVersion] = "1.2.3.4";
        row[kColState] = "say \"hi\", twice";
        int added = 0;
        for (const auto& [ip, number] :
             {std::pair{"10.0.0.9", "9"}, {"10.0.0.10", "10"}, {"10.0.0.2", "2"}}) {
            row[kColNo] = std::to_string(++added);
            row[kColIP] = ip;
            row[kColDeviceNo] = number;
            row[kColMarker] = "1";
            f.station().m_DeviceList.AppendRow(row);
        }
        f.station().m_DeviceList.HeaderClick(kColIP);  // descending: .10, .9, .2
        QTRY_COMPARE(f.Column(kColIP), (QStringList{"10.0.0.10", "10.0.0.9", "10.0.0.2"}));
        const QString path = f.dir.filePath(QStringLiteral("列表.csv"));
        f.window->ExportListTo(path);
        QVERIFY(f.messages.empty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5);  // headers, three rows, nothing after the last line end
        QCOMPARE(lines[0], QStringLiteral("序号,选择,版本号,状态,IP地址,子网掩码,默认网关,服务器IP地址,"
                                          "备用服务器IP地址,设备类型,设备号"));
        QCOMPARE(lines[1], QStringLiteral("2,,1.2.3.4,\"say \"\"hi\"\", twice\",10.0.0.10,,,,,播放终端,10"));
        QVERIFY(lines[2].contains(QStringLiteral(",10.0.0.9,")));
        QVERIFY(lines[3].endsWith(QStringLiteral(",播放终端,2")));
        QCOMPARE(lines[4], QString());

        // A file that cannot be written is reported, not left half-written.
        f.window->ExportListTo(f.dir.filePath(QStringLiteral("no/such/folder/list.csv")));
        QCOMPARE(f.messages.size(), size_t{1});
        QCOMPARE(f.messages[0].text, QStringLiteral("无法写入该文件"));
        QCOMPARE(f.messages[0].caption, QStringLiteral("错误"));
    }

    void ctrlCCopiesTheSelectedRowsAsTabSeparatedText() {
        WindowFixture f(2);
        f.AddRow("10.0.0.1", "1");
        f.AddRow("10.0.0.2", "2");
        f.AddRow("10.0.0.3", "3");
        QTRY_COMPARE(f.window->DeviceList()->model()->rowCount(), 3);
        CSortListCtrl* list = f.window->DeviceList();
        list->setFocus();
        list->selectRow(2);
        list->selectionModel()->select(list->model()->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::clipboard()->clear();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("\t\t\t\t10.0.0.1\t\t\t\t\t\t1\n"
                                                                   "\t\t\t\t10.0.0.3\t\t\t\t\t\t3\n"));
    }

    void tableMenuOffersExportCopyAndAbout() {
        WindowFixture f(2);
        QStringList entries;
        QTimer::singleShot(50, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    if (!action->isSeparator()) entries << action->text();
                menu->close();
            }
        });
        QWidget* viewport = f.window->DeviceList()->viewport();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                viewport->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(viewport, &event);
        QCOMPARE(entries, (QStringList{"Export list...", "Copy", QStringLiteral("关于 Ostrel(&A)...")}));
    }

    void escapeRunsTheClosingProcedure() {
        WindowFixture f;
        f.station().m_bUpgrading = 1;
        QTest::keyClick(f.window.get(), Qt::Key_Escape);
        QCOMPARE(f.messages.size(), size_t{1});
        QCOMPARE(f.messages[0].text, QStringLiteral("升级完成再关闭"));
        QCOMPARE(f.messages[0].caption, QStringLiteral("提示"));
        QVERIFY(f.window->isVisible());
        f.window->close();
        QVERIFY(f.window->isVisible());

        f.station().m_bUpgrading = 0;
        f.AddRow("10.0.0.1", "1");
        QTRY_COMPARE(f.window->DeviceList()->model()->rowCount(), 1);
        f.Control(kIdSelectAll)->setFocus();
        QTest::keyClick(f.Control(kIdSelectAll), Qt::Key_Return);  // a focused button is pressed
        QTRY_COMPARE(f.Column(kColChoice), QStringList{QString::fromUtf8(kCheckMark)});
        QVERIFY(f.window->isVisible());
        f.window->DeviceList()->setFocus();
        QTest::keyClick(f.window->DeviceList(), Qt::Key_Return);
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.window->result(), int(QDialog::Rejected));
    }

    // UpgradeParallel=4: four devices get their command at once, the note line
    // says so, each row shows its own percentage and the bar the run's; the
    // fifth device begins when a slot is free, and the run ends as usual.
    void aRunOfFourAtOnceFromTheSettingsFile() {
        const std::vector<std::string> addresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5",
                                                    "127.0.0.6"};
        test::LoopbackDevices devices(addresses);
        StationNetwork network = test::LoopbackNetwork(devices.Port());
        network.startServices = true;
        WindowFixture f(2, network, QStringLiteral("UpgradeParallel=4\r\n"));
        Station& station = f.station();
        station.m_queryLocalAddresses = [] { return LocalAddressLists{{"127.0.0.1"}, {"255.0.0.0"}}; };
        // Loopback devices have no hardware address: the test's neighbour table
        // gives each one (a device without one would go alone).
        station.m_learnHardwareAddress = [](IPv4Address device) {
            return std::optional<HardwareAddress>(
                HardwareAddress{0x02, 0x51, 0x7F, 0, 0, static_cast<uint8_t>(device.Octet(3))});
        };
        const QString firmware = f.dir.filePath(QStringLiteral("unit.bin"));
        QFile file(firmware);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(40 * 512, 'f'));
        file.close();
        station.SetUpdateFile(firmware.toStdString());
        for (const std::string& address : addresses) {
            DeviceRow row;
            row[kColIP] = address;
            row[kColMask] = "255.255.255.0";
            station.m_DeviceList.AppendRow(row);
        }
        QTest::mouseClick(f.Control(kIdSelectAll), Qt::LeftButton);
        QTest::mouseClick(f.Control(kIdUpgrade), Qt::LeftButton);
        QTRY_COMPARE(f.Column(kColState).mid(0, 4), QStringList(4, QStringLiteral("Upgrade...")));
        QCOMPARE(f.Column(kColState).value(4), QString());
        QCOMPARE(f.Control<QLabel>(kIdNoteLine)->text(), QStringLiteral("Upgrading 4 devices at a time"));
        for (size_t i = 0; i < 4; ++i) QVERIFY(!devices.Received(i).empty());
        QVERIFY(devices.Received(4, 0).empty());

        const uint16_t tftpPort = station.m_pTftpServer->ListenPort();
        {
            std::vector<std::unique_ptr<test::PacedFetcher>> fetchers;
            for (size_t i = 0; i < 4; ++i)
                fetchers.push_back(std::make_unique<test::PacedFetcher>(
                    addresses[i], tftpPort, firmware.toStdString(), std::chrono::milliseconds(2)));
            QTRY_VERIFY(f.Control<QProgressBar>(kIdProgress)->value() >= 60);
            QTRY_COMPARE(f.Column(kColState).value(4), QStringLiteral("Upgrade..."));
            QTRY_COMPARE(f.Column(kColState).mid(0, 4), QStringList(4, QStringLiteral("100%")));
            // The rows show 100% at the last full block; the empty block that
            // ends the transfer follows. A fetcher gone before it would leave
            // its device in flight until the server gives up on it.
            for (const auto& fetcher : fetchers) QTRY_COMPARE(fetcher->BlocksReceived(), 41u);
        }
        QCOMPARE(f.Control<QPushButton>(kIdUpgrade)->text(), QStringLiteral("Stop"));
        test::PacedFetcher last(addresses[4], tftpPort, firmware.toStdString(), std::chrono::milliseconds(2));
        QTRY_COMPARE(f.Control<QPushButton>(kIdUpgrade)->text(), QStringLiteral("Upgrade"));
        // Rows reach the model through its own queue, not the captions': the
        // last percentage may follow the caption by a moment.
        QTRY_COMPARE(f.Column(kColState), QStringList(5, QStringLiteral("100%")));
        // The note of several at once goes with the run.
        QVERIFY(f.Control<QLabel>(kIdNoteLine)->text().startsWith(QStringLiteral("The play terminal")));
    }

    // The operator starts a run, devices fetch their image, the window refuses
    // to close; then the application quits with transfers in flight and a
    // range walk holding the list lock. Every worker ends within its bound
    // before the window goes (faults show under the sanitizers).
    void quittingMidRunEndsEveryWorkerFirst() {
        std::vector<std::string> missed;
        BoundedThread::SetMissedBoundHandler([&](const std::string& name) { missed.push_back(name); });
        test::LoopbackDevices devices({"127.0.0.2", "127.0.0.3"});
        StationNetwork network = test::LoopbackNetwork(devices.Port());
        network.startServices = true;
        WindowFixture f(2, network);
        Station& station = f.station();
        station.m_queryLocalAddresses = [] { return LocalAddressLists{{"127.0.0.1"}, {"255.0.0.0"}}; };
        const QString firmware = f.dir.filePath(QStringLiteral("unit.bin"));
        QFile file(firmware);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(200 * 512, 'f'));
        file.close();
        station.SetUpdateFile(firmware.toStdString());
        for (const char* address : {"127.0.0.2", "127.0.0.3"}) {
            DeviceRow row;
            row[kColIP] = address;
            row[kColMask] = "255.255.255.0";
            station.m_DeviceList.AppendRow(row);
        }
        QTest::mouseClick(f.Control(kIdSelectAll), Qt::LeftButton);
        QTest::mouseClick(f.Control(kIdUpgrade), Qt::LeftButton);
        QTRY_COMPARE(f.Control<QPushButton>(kIdUpgrade)->text(), QStringLiteral("Stop"));
        QVERIFY(!f.Control(kIdFind)->isEnabled());

        const uint16_t tftpPort = station.m_pTftpServer->ListenPort();
        test::PacedFetcher first("127.0.0.2", tftpPort, firmware.toStdString(), std::chrono::milliseconds(5));
        test::PacedFetcher stray("127.0.0.3", tftpPort, firmware.toStdString(), std::chrono::milliseconds(5));
        QTRY_VERIFY(f.Column(kColState).value(0).endsWith(QLatin1Char('%')));
        f.window->close();
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.messages.back().caption, QStringLiteral("Hint"));

        f.window->SetRange(0x7F010000, 0x7F01FFFF);  // half a minute of probing with the list lock held
        station.m_nFindType = 1;
        f.Control<QComboBox>(kIdFindType)->setCurrentIndex(1);
        station.RequestSearch(quillane::SearchRequest{1, 0x7F010000, 0x7F01FFFF});
        QTest::qWait(100);

        const auto start = std::chrono::steady_clock::now();
        f.window.reset();
        const auto took = std::chrono::steady_clock::now() - start;
        QTest::qWait(20);  // whatever the workers queued for the window is dropped
        BoundedThread::SetMissedBoundHandler(nullptr);
        QVERIFY2(missed.empty(), missed.empty() ? "" : missed.front().c_str());
        QVERIFY(took < std::chrono::seconds(3));
    }

#ifndef Q_OS_WIN
    // SIGTERM (logout, a service manager, kill) ends the tool through the
    // system's close even during an upgrade run and with a dialog open: the
    // process ends with status 0 and nothing waits for the operator.
    void stopSignalEndsTheToolThroughItsOrderlyStop() {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kStopSignalChild)});
        QVERIFY(child.waitForStarted());
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += child.readAllStandardOutput()).contains("ready"), 20000);
        QCOMPARE(::kill(static_cast<pid_t>(child.processId()), SIGTERM), 0);
        QVERIFY(child.waitForFinished(20000));
        output += child.readAllStandardOutput();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(output.contains("nested dialog ended") && output.contains("window ended"),
                 output.constData());
    }
#endif

    // The firmware file dialog shows its one filter once, "(*.bin)", and
    // lists .bin files only.
    void firmwareDialogFilterNamesItsPatternOnce() {
        WindowFixture f;
        QStringList filters;
        QTimer::singleShot(0, [&filters] {
            QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            filters = dialog->nameFilters();
            dialog->reject();
        });
        QVERIFY(!f.window->AskForFile(FirmwareFileFilter()));
        QCOMPARE(filters, QStringList{QStringLiteral("(*.bin)")});
    }

    void workerCallsAreQueuedAndNeverWait() {
        WindowFixture f;
        std::thread worker([&] {
            f.window->EnableControl(kIdFind, false);
            f.window->SetCaption(kIdUpgrade, "停止");
            f.window->SetProgress(45);
            f.window->ShowMessage("late", "Hint");
        });
        worker.join();  // returns although the GUI thread has not run yet
        QVERIFY(f.Control(kIdFind)->isEnabled());
        QTRY_VERIFY(!f.Control(kIdFind)->isEnabled());
        QCOMPARE(f.Control<QPushButton>(kIdUpgrade)->text(), QStringLiteral("停止"));
        QCOMPARE(f.messages.size(), size_t{1});
    }

    // A run ending on a worker gives the controls back through the queue; the
    // operator's next press, handled before the queue has run, locks them
    // again at once. The window ends as the events came: locked, "Stop",
    // the bar where the new run put it.
    void aRunsEndNeverUndoesTheNextRunsStart() {
        WindowFixture f(2);
        std::thread worker([&] {
            ReturnControlsAfterRun(*f.window, 2, RunButton::kUpgrade, false);
            f.window->SetProgress(100);
        });
        worker.join();
        LockControlsForRun(*f.window, 2, RunButton::kUpgrade);
        f.window->SetProgress(0);
        QCoreApplication::processEvents();
        QTest::qWait(50);
        QCOMPARE(f.Control<QPushButton>(kIdUpgrade)->text(), QStringLiteral("Stop"));
        QVERIFY(!f.Control(kIdFind)->isEnabled());
        QVERIFY(!f.Control(kIdSelectAll)->isEnabled());
        QCOMPARE(f.window->findChild<QProgressBar*>()->value(), 0);
    }

    void modelFollowsAWorkerThroughTheQueue() {
        DeviceTable table;
        DeviceTableModel model(table);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::thread worker([&] {
            for (int i = 0; i < 50; ++i) {
                DeviceRow row;
                row[kColIP] = "10.0.0." + std::to_string(i);
                row[kColDeviceNo] = std::to_string(i);
                table.AppendRow(row);
                table.SetCell(i, kColState, "45%");
            }
            table.HeaderClick(kColDeviceNo);
            table.SetCell(0, kColChoice, kCheckMark);
        });
        worker.join();
        QTRY_COMPARE(model.rowCount(), 50);
        QTRY_COMPARE(model.index(0, kColChoice).data().toString(), QString::fromUtf8(kCheckMark));
        QCOMPARE(model.index(0, kColDeviceNo).data().toString(), QStringLiteral("49"));
        QCOMPARE(model.index(49, kColState).data().toString(), QStringLiteral("45%"));
        table.DeleteAllRows();
        QTRY_COMPARE(model.rowCount(), 0);
    }

    // The GUI sorts and clicks while a worker clears, appends and writes
    // cells: once the queue is drained the copy equals the table.
    void modelEqualsTheTableAfterConcurrentChanges() {
        DeviceTable table;
        DeviceTableModel model(table);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::atomic<bool> done{false};
        std::thread worker([&] {
            for (int round = 0; round < 20; ++round) {
                table.DeleteAllRows();
                for (int i = 0; i < 30; ++i) {
                    DeviceRow row;
                    row[kColIP] = "10.0." + std::to_string(round) + "." + std::to_string(i);
                    row[kColDeviceNo] = std::to_string((i * 7) % 30);
                    const int index = table.AppendRow(row);
                    table.SetCell(index / 2, kColState, std::to_string(round * 100 + i) + "%");
                }
            }
            done = true;
        });
        int column = kColNo;
        while (!done) {
            table.HeaderClick(column);
            column = column == kColDeviceNo ? kColNo : column + 1;
            QCoreApplication::processEvents();
        }
        worker.join();
        QCoreApplication::processEvents();
        QCOMPARE(model.rowCount(), table.RowCount());
        for (int r = 0; r < table.RowCount(); ++r)
            for (int c = 0; c < kColumnCount; ++c)
                QCOMPARE(model.index(r, c).data().toString(), QString::fromStdString(table.Cell(r, c)));
    }

    void secondStartRaisesTheFirstAndEnds() {
        const QString name = QStringLiteral("quillane-test-%1").arg(QCoreApplication::applicationPid());
        SingleInstance first(name);
        QVERIFY(first.Listen());
        int raised = 0;
        first.SetRaiseHandler([&] { ++raised; });
        COstrelApp second(name);
        int exitCode = -1;
        std::thread starter([&] { exitCode = second.InitInstance(); });
        // The second copy waits for the first to accept; let the first's loop run meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(raised > 0, 5000);
        starter.join();
        QCOMPARE(exitCode, 0);
        QCOMPARE(raised, 1);
    }

    // Two copies started at the same moment both miss each other's socket;
    // the later one must not take the name away from the copy that listens.
    void listenNeverTakesTheNameFromALiveCopy() {
        const QString name = QStringLiteral("quillane-race-%1").arg(QCoreApplication::applicationPid());
        SingleInstance first(name);
        QVERIFY(first.Listen());
        int raised = 0;
        first.SetRaiseHandler([&] { ++raised; });
        SingleInstance second(name);
        QVERIFY(!second.Listen());
        SingleInstance third(name);
        std::thread asker([&] { QVERIFY(third.AskRunningInstanceToRaise()); });
        QTRY_VERIFY_WITH_TIMEOUT(raised > 0, 5000);
        asker.join();
    }

#ifndef Q_OS_WIN
    // One copy per user: the socket lives in a folder that only this user can
    // enter, so no other account can take the name or answer in its place.
    void instanceSocketIsPrivateToTheUser() {
        const QString name = QStringLiteral("quillane-private-%1").arg(QCoreApplication::applicationPid());
        QByteArray path;
        {
            SingleInstance instance(name);
            QVERIFY(instance.Listen());
            const QFileInfo socket(instance.SocketPath());
            QVERIFY(socket.exists());
            const QFileInfo folder(socket.absolutePath());
            QCOMPARE(folder.ownerId(), uint(getuid()));
            QCOMPARE(folder.permissions() &
                         (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther),
                     QFileDevice::Permissions{});
            path = QFile::encodeName(instance.SocketPath());
        }

        // A crashed copy leaves its socket file behind; nobody answers on it,
        // so the next start takes the name over.
        const int leftover = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(),
                    std::min<size_t>(path.size(), sizeof address.sun_path - 1));
        QCOMPARE(::bind(leftover, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(leftover);  // the file stays, with nobody listening
        QVERIFY(QFileInfo::exists(QFile::decodeName(path)));
        SingleInstance next(name);
        QVERIFY(!next.AskRunningInstanceToRaise());
        QVERIFY(next.Listen());
        SingleInstance later(name);
        QVERIFY(!later.Listen());
    }
#endif

    // Modify IP from the window: the dialog, the locked controls with the Stop
    // caption, the stop press, and the controls given back by the batch.
    void modifyIpLocksTheWindowUntilTheBatchEnds() {
        WindowFixture f;
        QFile ini(f.dir.filePath(QStringLiteral("Ostrel.ini")));  // valid entries for OK
        ini.open(QIODevice::WriteOnly);
        ini.write(
            "[Ostrel]\r\nIP=172820737\r\nGateWay=172818686\r\nServerIP=172818433\r\n"
            "BackServerIP=172818434\r\nMask=-65536\r\n");
        ini.close();
        DeviceRow row;
        row[kColIP] = "10.77.1.5";
        row[kColMask] = "255.255.0.0";
        row[kColGateway] = row[kColServer] = row[kColStandbyServer] = "10.77.0.1";
        row[kColDeviceNo] = "5";
        f.station().m_DeviceList.AppendRow(row);
        QTRY_COMPARE(f.window->DeviceList()->model()->rowCount(), 1);

        ConfirmNextIpDialog();
        QTest::mouseClick(f.Control(kIdModifyIP), Qt::LeftButton);
        QCOMPARE(f.messages.size(), size_t{1});
        QCOMPARE(f.messages[0].text, QStringLiteral("请选择需要修改的设备"));
        QCOMPARE(f.messages[0].caption, QStringLiteral("错误"));
        QVERIFY(f.Control(kIdFind)->isEnabled());

        QTest::mouseClick(f.Control(kIdSelectAll), Qt::LeftButton);
        ConfirmNextIpDialog();
        QTest::mouseClick(f.Control(kIdModifyIP), Qt::LeftButton);
        QCOMPARE(f.messages.size(), size_t{1});
        QCOMPARE(f.Control<QPushButton>(kIdModifyIP)->text(), QStringLiteral("停止"));
        QVERIFY(f.Control(kIdModifyIP)->isEnabled());
        for (int id : {kIdStartIP, kIdEndIP, kIdFindType, kIdKeyboard, kIdFind, kIdOpen, kIdUpgrade,
                       kIdSelectAll, kIdCancel, kIdPlayDev, kIdSoundCollectionDev}) {
            QVERIFY2(!f.Control(id)->isEnabled(), qPrintable(QString::number(id)));
        }
        QVERIFY(f.Control(kIdAmpMonitorDev)->isEnabled());
        QCOMPARE(f.station().m_dwNewIP, 0x0A4D0105u);  // the chosen row's values came up
        QCOMPARE(f.station().m_bModifyRequest.load(), 1);

        QTest::mouseClick(f.Control(kIdModifyIP), Qt::LeftButton);  // Stop
        QCOMPARE(f.station().m_bModifyContinue.load(), 0);
        QCOMPARE(f.Control<QPushButton>(kIdModifyIP)->text(), QStringLiteral("停止"));

        // The command loop's pass on a worker thread: the batch ends at once
        // and gives the controls back through the window's queue.
        std::thread loop([&] {
            CommandLoopState state;
            RunCommandLoopPass(f.station(), state);
        });
        loop.join();
        QTRY_COMPARE(f.Control<QPushButton>(kIdModifyIP)->text(), QStringLiteral("编辑IP"));
        for (int id :
             {kIdFindType, kIdKeyboard, kIdFind, kIdOpen, kIdUpgrade, kIdSelectAll, kIdCancel, kIdPlayDev}) {
            QVERIFY2(f.Control(id)->isEnabled(), qPrintable(QString::number(id)));
        }
        QVERIFY2(!f.Control(kIdStartIP)->isEnabled(), "automatic search keeps the range off");
        QCOMPARE(f.station().m_bModifyRequest.load(), 0);
    }

    void ipSettingsDialogChecksAndSaves() {
        QTemporaryDir dir;
        const std::string appDir = dir.path().toStdString() + "/";
        std::vector<Message> messages;
        SetMessageBoxHook([&](QWidget*, const QString& text, const QString& caption) {
            messages.push_back({text, caption});
        });
        QFile file(dir.filePath(QStringLiteral("Ostrel.ini")));
        file.open(QIODevice::WriteOnly);
        file.write("[Ostrel]\r\nEditType=7\r\nIP=-1062721535\r\n");
        file.close();
        {
            CEditIP dialog(appDir, 2, IpDeviceValues{});
            dialog.show();
            QCOMPARE(qobject_cast<QComboBox*>(dialog.Control(kIdEditType))->currentIndex(), 0);
            QCOMPARE(qobject_cast<IpAddressEdit*>(dialog.Control(kIdEditIP))->Address(), 0xC0A82801u);
            auto* ip = qobject_cast<IpAddressEdit*>(dialog.Control(kIdEditIP));
            ip->Clear();
            QTest::mouseClick(dialog.Control(kIdOk), Qt::LeftButton);
            QCOMPARE(messages.size(), size_t{1});
            QCOMPARE(messages[0].text, QStringLiteral("A first bit IP address is between 1~223"));
            QCOMPARE(messages[0].caption, QStringLiteral("Error"));
            QVERIFY(dialog.isVisible());
            QCOMPARE(ReadIpSettings(appDir).ip, 0xC0A82801u);  // nothing written
            qobject_cast<QCheckBox*>(dialog.Control(kIdCheckIP))->setChecked(false);
            QTest::mouseClick(dialog.Control(kIdOk), Qt::LeftButton);  // the gateway (0.0.0.0) is next
            QCOMPARE(messages.size(), size_t{2});
            QVERIFY(messages[1].text != messages[0].text);
            for (int id : {kIdCheckGateway, kIdCheckServer, kIdCheckBackupServer})
                qobject_cast<QCheckBox*>(dialog.Control(id))->setChecked(false);
            QTest::mouseClick(dialog.Control(kIdOk), Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(messages.size(), size_t{2});
            QCOMPARE(dialog.Result().ip, 0u);
            QCOMPARE(dialog.Result().ipCheck, 0);
        }
        {
            // The shown device keeps its /16: 10.201.0.0 would be its subnet's network address.
            CEditIP dialog(appDir, 2,
                           IpDeviceValues{0x0AC90304, 0xFFFF0000, 0x0AC90001, 0x0AC90002, 0x0AC90003});
            dialog.show();
            qobject_cast<IpAddressEdit*>(dialog.Control(kIdEditIP))->SetAddress(0x0AC90000);
            qobject_cast<QCheckBox*>(dialog.Control(kIdCheckIP))->setChecked(true);
            qobject_cast<QCheckBox*>(dialog.Control(kIdCheckMask))->setChecked(false);
            QTest::mouseClick(dialog.Control(kIdOk), Qt::LeftButton);
            QCOMPARE(messages.size(), size_t{3});
            QCOMPARE(messages[2].text, QString::fromStdString(Texts(2).msgIpNetworkAddress));
            QVERIFY(dialog.isVisible());
            QCOMPARE(qobject_cast<IpAddressEdit*>(dialog.Control(kIdEditIP))->Address(), 0x0AC90000u);
        }
        {
            CEditIP dialog(appDir, 1, IpDeviceValues{0, 0, 0xC0A82801, 0, 0});
            QCOMPARE(qobject_cast<IpAddressEdit*>(dialog.Control(kIdEditGateway))->Address(), 0xC0A82801u);
            QCOMPARE(qobject_cast<IpAddressEdit*>(dialog.Control(kIdEditIP))->Address(), 0u);
            QCOMPARE(qobject_cast<QCheckBox*>(dialog.Control(kIdCheckIP))->text(),
                     QStringLiteral("是否修改"));
        }
        SetMessageBoxHook(nullptr);
    }

    // Enter presses the focused push button, as in any dialog; only elsewhere
    // does it mean OK. Enter on a focused Cancel must never save the entries.
    void ipSettingsEnterPressesTheFocusedButton() {
        QTemporaryDir dir;
        const std::string appDir = dir.path().toStdString() + "/";
        const IpDeviceValues device{0xC0A82814, 0xFFFFFF00, 0xC0A82801, 0xC0A828FA, 0xC0A828FB};
        struct Case {
            int focused;
            int result;
            bool saved;
        };
        for (const Case& c :
             {Case{kIdDialogCancel, QDialog::Rejected, false}, Case{kIdOk, QDialog::Accepted, true},
              Case{kIdEditIP, QDialog::Accepted, true}}) {
            QFile::remove(dir.filePath(QStringLiteral("Ostrel.ini")));
            CEditIP dialog(appDir, 1, device);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QWidget* target = dialog.Control(c.focused);
            target->setFocus();
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : target,
                            Qt::Key_Return);
            QVERIFY2(!dialog.isVisible(), qPrintable(QString::number(c.focused)));
            QCOMPARE(dialog.result(), c.result);
            QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("Ostrel.ini"))), c.saved);
        }
        // Enter on the focused Keyboard button opens the keyboard, not OK, and
        // through the starter it was given (the station's, which tests replace).
        std::vector<std::string> started;
        CEditIP dialog(appDir, 1, device, [&started](const std::string& line) { started.push_back(line); });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.Control(kIdEditKeyboard)->setFocus();
        QTest::keyClick(dialog.Control(kIdEditKeyboard), Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(started.size(), size_t{1});
        QVERIFY(started[0].starts_with("ScreenKeyBoard "));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], kStopSignalChild) == 0) return RunStopSignalChild(argc, argv);
    QApplication app(argc, argv);
    UiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ui_test.moc"
