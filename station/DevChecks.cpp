#include "DevChecks.h"

#include "CommonHelpers.h"
#include "DevInfo.h"
#include "DevTypeInfo.h"

#include <QStringList>
#include <QtGlobal>

#include <cstring>

namespace {

constexpr char kSignSalt[] = "QUARLN";
constexpr char kPlaceholderModel[] = "QV207L";
constexpr int kModelMax = 63;

template <size_t N>
QByteArray FieldText(const char (&field)[N])
{
    return QByteArray(field, int(strnlen(field, N)));
}

bool Unusable(const QByteArray& model)
{
    return model.isEmpty() || model == kPlaceholderModel;
}

}  // namespace

bool IsValidSN(const QString& sn)
{
    if (sn.size() != 16)
        return false;
    return !sn.startsWith(QLatin1String("FFFFFFFF")) && !sn.startsWith(QLatin1String("ffffffff")) &&
           !sn.startsWith(QLatin1String("00000000"));
}

int GetAuthorizeSign(const QString& first, const QString& second, QString& sign)
{
    if (first.isEmpty())
        return -1;
    QString text = first.mid(1, 8);
    if (!second.isEmpty())
        text += second.mid(4, 8);
    text += QLatin1String(kSignSalt);
    char digest[33] = {};
    GetTextMd5(text.toUtf8().constData(), digest);
    sign = QString::fromLatin1(digest);
    return 0;
}

const char* TestModelMismatchText(int devType, int testType)
{
    switch (devType) {
    case 1:
    case 2:
        return testType == 0 ? nullptr
                             : QT_TRANSLATE_NOOP("LeftTopWidget",
                                                 "current dev type wifi plug in card, no match the selected test type");
    case 3:
        return testType == 2 ? nullptr
                             : QT_TRANSLATE_NOOP("LeftTopWidget", "current dev type 4G, no match the selected test type");
    case 4:
        return testType == 1 ? nullptr
                             : QT_TRANSLATE_NOOP("LeftTopWidget", "current dev type wired, no match the selected test type");
    case 5:
        return testType == 3
                   ? nullptr
                   : QT_TRANSLATE_NOOP("LeftTopWidget", "current dev type intelligent, no match the selected test type");
    case 0:
        return (testType == 3 || testType == 4)
                   ? nullptr
                   : QT_TRANSLATE_NOOP("LeftTopWidget", "current dev type default wired, no match the selected test type");
    default:
        return nullptr;
    }
}

bool ParseManualAutoStep(const QString& step, QString* key, int* seconds)
{
    const QStringList parts = step.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return false;
    bool ok = false;
    const int value = parts[1].trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 3600)
        return false;
    *key = parts[0];
    *seconds = value;
    return true;
}

bool DevTypeSupportsPrint(const DevTypeInfo& info)
{
    return info.eTypeDevMainType == DevTypeInfo::kPrintableMainType && info.eType >= 1 && info.eType <= 6;
}

int DeriveSpecialModel(const DevInfo& dev, QByteArray* model)
{
    const QByteArray fsIdentify = FieldText(dev.szFileSystemIdentify);
    if (fsIdentify.isEmpty())
        return -1;
    QByteArray candidate;
    const QList<QByteArray> parts = fsIdentify.split('_');
    if (parts.size() >= 3)
        candidate = parts.at(1);
    if (Unusable(candidate))
        candidate = FieldText(dev.szDeviceIdentify).split('-').first();
    if (Unusable(candidate)) {
        const QByteArray firmware = FieldText(dev.szFirmwareVersion);
        if (firmware.isEmpty())
            return -2;
        candidate = firmware.split('-').first();
    }
    if (model)
        *model = candidate.left(kModelMax);
    return 0;
}
