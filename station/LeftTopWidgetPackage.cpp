// Configuration package: unpacking, check and upload. Still to be built: only
// the path checks of the unpacking stand here.
#include "LeftTopWidget.h"

#include "Log.h"

#include <QFile>

int UnCompressLocalConfigFile(LeftTopWidget* widget)
{
    if (!widget)
        return -1;
    const QString path = widget->ConfigFilePathText();
    if (path.isEmpty())
        return -1;
    QFile package(path);
    if (!package.open(QIODevice::ReadOnly))
        return -2;
    LogPrint(LOG_DEBUG0, "UnCompressLocalConfigFile() unpacking not built yet, digests left empty");
    return 0;
}

void LeftTopWidget::GetConfigFileCheckNum(DevInfo*)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::GetConfigFileCheckNum() not built yet");
}

void LeftTopWidget::GetSearchDevsConfigFileCheck()
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::GetSearchDevsConfigFileCheck() not built yet");
}

void LeftTopWidget::WaitSearchDevsConfigFileCheckReturn(unsigned timeoutMs)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::WaitSearchDevsConfigFileCheckReturn() not built yet, dwTimeout=%u", timeoutMs);
}

void LeftTopWidget::WaitSearchDevsUploadConfigFileFinishReturn(unsigned timeoutMs)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::WaitSearchDevsUploadConfigFileFinishReturn() not built yet, dwTimeout=%u",
             timeoutMs);
}
