#include "WifiSettingCheck.h"

#include "DevCommand.h"

#include <QCoreApplication>
#include <QTextCodec>
#include <QVector>

namespace {

constexpr int kCharactersNamed = 8;       // the message names at most this many

QString Tr(const char* text)
{
    return QCoreApplication::translate("SysConfigWidget", text);
}

// The characters of text config.ini's codec has no bytes for, each once.
QString UnstorableCharacters(const QString& text)
{
    const QTextCodec* codec = QTextCodec::codecForName("GB2312");
    QString found;
    int named = 0;
    for (const uint code : text.toUcs4()) {
        const QString character = QString::fromUcs4(&code, 1);
        if (code < 0x7F || (codec && codec->canEncode(character)) || found.contains(character))
            continue;
        if (++named > kCharactersNamed)
            break;
        found += character;
    }
    return found;
}

QString FieldProblem(const char* field, const QString& value)
{
    const QString unstorable = UnstorableCharacters(value);
    if (!unstorable.isEmpty())
        return Tr("%1 holds \"%2\", which config.ini can't store: please use other characters")
            .arg(Tr(field), unstorable);
    if (HasControlCharacter(value.toUtf8()))
        return Tr("%1 holds a control character the camera can't receive: please remove it").arg(Tr(field));
    return QString();
}

}  // namespace

QString WifiSettingProblem(const QString& ssid, const QString& password)
{
    QString problem = FieldProblem(QT_TRANSLATE_NOOP("SysConfigWidget", "SSID"), ssid);
    if (problem.isEmpty())
        problem = FieldProblem(QT_TRANSLATE_NOOP("SysConfigWidget", "Password"), password);
    if (problem.isEmpty() && !WifiValuesFit(ssid.toUtf8(), password.toUtf8()))
        problem = Tr("SSID and Password are too long for the camera: please shorten them");
    return problem;
}
