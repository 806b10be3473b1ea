// Headless firmware server for the lab: the station's TFTP server (and with
// --station the whole station, boot-address responder included) on the real
// ports, serving one file. Runs until SIGTERM or SIGINT. Only ever started
// inside a lab network namespace.
//
//   tftp_server_e2e FILE [--station] [--app-dir DIR]

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/tftp_server.h"
#include "model/null_station_view.h"
#include "station/station.h"
#include "support/exe_dir.h"

using namespace quillane;

namespace {

class HeadlessView : public NullStationView {
public:
    void ShowMessage(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

struct TransferReporter : TransferObserver {
    void TransferProgressed(const sockaddr_in& client, const TransferDelivery& delivery) override {
        if (delivery.nextBlock % 4096 == 0)
            std::printf("progress %s block %u of %u bytes\n", FormatIPv4(client.sin_addr.s_addr).c_str(),
                        unsigned(delivery.nextBlock), unsigned(delivery.fileSize));
    }
    void TransferFinished(const sockaddr_in& client, bool delivered) override {
        std::printf("finished %s%s\n", FormatIPv4(client.sin_addr.s_addr).c_str(),
                    delivered ? "" : " undelivered");
        std::fflush(stdout);
    }
    void TransferAbandoned(const sockaddr_in& client) override {
        std::printf("abandoned %s\n", FormatIPv4(client.sin_addr.s_addr).c_str());
        std::fflush(stdout);
    }
};

int WaitForStopSignal(sigset_t& signals) {
    int received = 0;
    sigwait(&signals, &received);
    return received;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [--station] [--app-dir DIR]\n", argv[0]);
        return 2;
    }
    const std::string file = argv[1];
    bool wholeStation = false;
    std::string appDir = ExecutableDirectory();
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--station") == 0)
            wholeStation = true;
        else if (std::strcmp(argv[i], "--app-dir") == 0 && i + 1 < argc)
            appDir = argv[++i];
    }
    // Signals are taken by sigwait only; every thread started below inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    if (wholeStation) {
        HeadlessView view;
        Station station(view, appDir);
        station.Initialise();  // reads the settings files, which may name another file
        station.SetUpdateFile(file);
        std::printf("ready station tftp %s\n",
                    station.m_pTftpServer && station.m_pTftpServer->ListenPort() ? "up" : "down");
        std::fflush(stdout);
        WaitForStopSignal(signals);
        station.Close();
        return 0;
    }
    TftpServer server;
    TftpServerSettings settings;
    settings.executablePath = appDir + "/tftp_server_e2e";
    settings.servedFile = [file] { return file; };
    TransferReporter reporter;
    settings.observer = &reporter;
    if (!server.Start(settings)) {
        std::fprintf(stderr, "the TFTP server did not start\n");
        return 1;
    }
    std::printf("ready tftp port %u\n", unsigned(server.ListenPort()));
    std::fflush(stdout);
    WaitForStopSignal(signals);
    server.Stop();
    return 0;
}
