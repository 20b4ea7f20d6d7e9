#include "ReplyFields.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdlib>
#include <cstring>

namespace {

struct LightModeRow {
    int code;
    const char* name;
};

const char* const kLightNames[] = {
    QT_TRANSLATE_NOOP("LeftTopWidget", "Ordinary infrared light board"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "PWM (BWM) white light board"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "PWM (BWM) warm light board"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "PWM (BWM) infrared light board"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Ordinary infrared +PWM (BWM) white light board"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "PWM (BWM) infrared + PWM (BWM) white light board"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "PWM (BWM) infrared + PWM (BWM) warm light board"),
};

// Lamp-board codes by LightMode value; -1 where the kind lists none.
const int kIotCodes[] = {4, 0, 1, 3, 5, -1};
const int kOtherCodes[] = {0, 2, 1, 3, 6, 5};

// A naive local time as a date-time without a zone, so that differences are
// plain calendar arithmetic whatever the station's time zone does.
QDateTime Naive(const QDate& date, const QTime& time)
{
    return QDateTime(date, time, Qt::UTC);
}

}  // namespace

int64_t WallClockMs(const WallTime& t)
{
    const QDateTime local(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, t.msec), Qt::LocalTime);
    return local.toMSecsSinceEpoch();
}

bool AppendCustomizedCode(char (&list)[32], int code)
{
    const QByteArray digit = QByteArray::number(code);
    const size_t used = strnlen(list, sizeof(list));
    const QByteArray current(list, int(used));
    if (current.split(',').contains(digit))
        return false;
    const QByteArray next = current.isEmpty() ? digit : current + "," + digit;
    if (size_t(next.size()) >= sizeof(list))
        return false;
    memcpy(list, next.constData(), size_t(next.size()));
    list[next.size()] = '\0';
    return true;
}

bool LightModeOf(int lightMode, bool iotDevice, int* code, const char** name)
{
    if (lightMode < 0 || lightMode > 5)
        return false;
    const int c = iotDevice ? kIotCodes[lightMode] : kOtherCodes[lightMode];
    if (c < 0)
        return false;
    if (code)
        *code = c;
    if (name)
        *name = kLightNames[c];
    return true;
}

int RtcResultOf(const QString& timeText, bool sinceEpochMode, const WallTime& now)
{
    // Date and time apart: a local time that a clock change skips is still a time.
    if (timeText.size() != 17 || timeText.at(8) != QLatin1Char(' '))
        return -1;
    const QDate date = QDate::fromString(timeText.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(timeText.mid(9), QStringLiteral("hh:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return -1;
    const QDateTime device = Naive(date, time);
    const QDateTime reference = sinceEpochMode
                                    ? Naive(QDate(1970, 1, 1), QTime(0, 0, 0))
                                    : Naive(QDate(now.year, now.month, now.day),
                                            QTime(now.hour, now.minute, now.second, now.msec));
    if (!reference.isValid())
        return -1;
    const qint64 hours = std::llabs(reference.secsTo(device)) / 3600;
    if (sinceEpochMode)
        return hours > 3 ? 1 : -1;
    return hours <= 5 ? 1 : -1;
}

QByteArray Utf8Within(const QString& text, int maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes)
        return bytes;
    int end = qMax(maxBytes, 0);
    // Back off over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (uchar(bytes.at(end)) & 0xC0) == 0x80)
        --end;
    bytes.truncate(end);
    return bytes;
}
