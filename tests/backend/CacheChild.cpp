// Child of the cache kill test: hands records to the offline cache while its
// upload thread posts them, printing "added N" once each call has returned.
//   backend_cache_child <program folder> <back-end host:port> <count>
#include "AppGlobals.h"
#include "CacheRecordFixture.h"
#include "TestDataManageDialog.h"

#include <QApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    AppDir = QString::fromLocal8Bit(argv[1]);
    ServerHost = QString::fromLocal8Bit(argv[2]);
    WholeMachineTestMode = true;
    const int count = atoi(argv[3]);

    TestDataManageDialog cache;
    cache.StartUploadCacheData();
    printf("ready\n");
    fflush(stdout);
    for (int i = 1; i <= count; ++i) {
        cache.AddCacheTestData(KillTestRecord(i));
        printf("added %d\n", i);
        fflush(stdout);
        QThread::usleep(1500);
    }
    printf("all added\n");
    fflush(stdout);
    for (;;)   // until killed
        QThread::msleep(10);
}
