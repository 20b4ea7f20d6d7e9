#include "SimThroughputClient.h"

#include "Log.h"
#include "TputClient.h"

#include <chrono>
#include <thread>

void RunSimThroughputClient(const SimThroughputRequest& request, const std::atomic<bool>& stop)
{
    TputClientOptions options;
    options.address = request.address.toStdString();   // already checked to be on loopback
    options.localAddress = request.cameraAddress.toStdString();   // the station tells cameras by their address
    options.port = uint16_t(request.port);
    options.durationSeconds = request.durationSec;
    options.rateBitsPerSecond = request.maxThroughput > 0 ? request.maxThroughput * 1e6 : 0;
    TputClient client(options);

    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done.load() && !stop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (stop.load())
            client.Stop();
    });
    const TputClientResult result = client.Run();
    done = true;
    watcher.join();
    LogPrint(LOG_INFO, "SimThroughputClient SN=%s to %s:%d, error=%d, bytes=%llu, %.0f bit/s",
             qPrintable(request.serial), qPrintable(request.address), request.port, result.error,
             static_cast<unsigned long long>(result.payloadBytes), result.bitsPerSecond);
}
