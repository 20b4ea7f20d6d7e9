#include "CustomItemsText.h"

#include "TestConfig.h"

QByteArray JoinCustomItems(const QVector<CustomizeItem>& items, int maxBytes, QStringList* leftOut)
{
    QByteArray text;
    for (const CustomizeItem& item : items) {
        const QByteArray mark = item.mark.toUtf8();
        const QByteArray pair = mark + '=' + QByteArray::number(item.result);
        const int needed = pair.size() + (text.isEmpty() ? 0 : 1);
        if (mark.contains('&') || mark.contains('=') || text.size() + needed > maxBytes) {
            if (leftOut)
                leftOut->append(QString::fromUtf8(pair));
            continue;
        }
        if (!text.isEmpty())
            text += '&';
        text += pair;
    }
    return text;
}
