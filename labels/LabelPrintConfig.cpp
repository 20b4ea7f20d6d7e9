#include "LabelPrintConfig.h"

#include "AppGlobals.h"
#include "IniText.h"
#include "LabelLine.h"
#include "Log.h"
#include "ModalHook.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTextCodec>
#include <QSettings>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

namespace {

std::atomic<LabelPrintConfig*> g_instance{nullptr};
std::mutex g_instanceMutex;

const char* const kLegacyMarkerKey = "SN_INDENTIFY/bShowMac";

QString Tr(const char* text)
{
    return QCoreApplication::translate("LabelPrintConfig", text);
}

// The numbers of the line keys of group LABELS ("0", "1", ...; not "01" or "+1"), ascending.
QList<int> LineNumbers(const QSettings& s)
{
    QList<int> numbers;
    const QString prefix = QStringLiteral("LABELS/");
    for (const QString& key : s.allKeys()) {
        if (!key.startsWith(prefix))
            continue;
        const QString name = key.mid(prefix.size());
        bool ok = false;
        const int n = name.toInt(&ok);
        if (ok && n >= 0 && QString::number(n) == name)
            numbers << n;
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// The legacy files numbered their items without the two barcodes and the MAC text.
QString ConvertLegacyIndex(const QString& field)
{
    const int index = field.toInt();
    qint64 converted = index;   // wide: the top int values must not wrap when raised
    if (index == 2)
        converted = 3;
    else if (index == 3)
        converted = 4;
    else if (index >= 4)
        converted += 3;
    return QString::number(converted);
}

}  // namespace

LabelPrintConfig::LabelPrintConfig() = default;
LabelPrintConfig::~LabelPrintConfig() = default;

LabelPrintConfig* LabelPrintConfig::Instance()
{
    LabelPrintConfig* instance = g_instance.load();
    if (instance)
        return instance;
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    instance = g_instance.load();
    if (!instance) {
        instance = new LabelPrintConfig();
        instance->OpenSettings();
        instance->SetDefaults();
        // A failure stays in LastLoadStatus: a box here would run an event loop
        // inside the creation lock. Every user loads its own copy and shows it then.
        instance->Load(instance->m_template);
        g_instance.store(instance);
    }
    return instance;
}

void LabelPrintConfig::SetDefaults()
{
    m_template = PrintTemplate();
    m_template.width = 90;
    m_template.height = 40;
    m_template.bShowSn = true;
    m_template.bShowIndentify = true;
    m_template.bShowTimeDate = true;
    m_template.bShowMac = true;
    m_template.bShowEnglish = false;
    m_template.fontSize = 20;
    m_template.fPrintPaperSpace = 2.0f;
    m_template.iPrintMode = 1;
    m_template.iPrintTimes = 0;
    m_template.bSupportJumpDownloadApp = false;
}

void LabelPrintConfig::OpenSettings()
{
    m_settings.reset();  // writes what the previous object still held
    // A file that could crash QSettings stays closed: loads and saves then fail.
    if (!IniText::EscapeBinaryValues(CurrentPrintConfigPath, QTextCodec::codecForName("GB2312")))
        return;
    m_settings = std::make_unique<QSettings>(CurrentPrintConfigPath, QSettings::IniFormat);
    m_settings->setIniCodec("GB2312");
}

bool LabelPrintConfig::Load(PrintTemplate& tpl)
{
    OpenSettings();
    if (!m_settings) {
        m_lastLoadStatus = LoadNoSettings;
        return false;
    }
    const QSettings& s = *m_settings;
    const bool legacy = !s.allKeys().contains(kLegacyMarkerKey, Qt::CaseSensitive);
    tpl.width = s.value("BASE_SIZE/width").toFloat();
    tpl.height = s.value("BASE_SIZE/height").toFloat();
    tpl.bShowSn = s.value("SN_INDENTIFY/bShowSn").toBool();
    tpl.bShowIndentify = s.value("SN_INDENTIFY/bShowIndentify").toBool();
    tpl.bShowTimeDate = s.value("SN_INDENTIFY/bShowTimeDate").toBool();
    tpl.bShowMac = s.value("SN_INDENTIFY/bShowMac").toBool();
    tpl.bShowEnglish = s.value("SN_INDENTIFY/bShowEnglish").toBool();
    tpl.fontSize = s.value("SN_INDENTIFY/fontSize").toFloat();
    tpl.fPrintPaperSpace = s.value("OTHER/fPrintPaperSpace").toFloat();
    tpl.iPrintMode = s.value("OTHER/iPrintMode").toInt();
    tpl.iPrintTimes = s.value("OTHER/iPrintTimes").toInt();
    tpl.bSupportJumpDownloadApp = s.value("OTHER/bSupportJumpDownloadApp").toBool();
    const int count = s.value("LABELS/iSize").toInt();
    tpl.labels.clear();
    const bool complete = ReadLabels(count, legacy, tpl.labels);
    m_lastLoadStatus = complete ? LoadOk : LoadLegacyFieldCount;
    return complete;
}

bool LabelPrintConfig::ReadLabels(int count, bool legacy, QStringList& labels)
{
    const QSettings& s = *m_settings;
    // The numbered keys present, in order, up to iSize of them: a line removed by
    // hand leaves a gap that the lines after it do not fall into.
    const QList<int> numbers = LineNumbers(s);
    int expected = 0;
    for (int k = 0; k < numbers.size() && k < count; ++k) {
        const int i = numbers.at(k);
        if (i != expected)
            LogPrint(LOG_GENERAL, "LabelPrintConfig::Load() %s: no line %d, line %d read next",
                     qPrintable(CurrentPrintConfigPath), expected, i);
        expected = i + 1;
        QString line = IniText::Read(s, QString("LABELS/%1").arg(i));
        if (legacy) {
            QStringList fields = line.split(',', Qt::KeepEmptyParts);
            if (fields.size() < LabelLine::FieldCount) {
                LogPrint(LOG_MAJOR, "LabelPrintConfig::Load() %s: legacy line %d has %d fields",
                         qPrintable(CurrentPrintConfigPath), i, int(fields.size()));
                return false;
            }
            fields.last() = ConvertLegacyIndex(fields.last());
            line = fields.join(',');
        } else if (LabelLine::SplitFields(line).isEmpty()) {
            LogPrint(LOG_GENERAL, "LabelPrintConfig::Load() %s: line %d skipped, fewer than %d fields",
                     qPrintable(CurrentPrintConfigPath), i, LabelLine::FieldCount);
            continue;
        }
        labels << line;
    }
    return true;
}

bool LabelPrintConfig::Save(PrintTemplate tpl)
{
    OpenSettings();
    if (!m_settings)
        return false;
    const int unstorable = UnstorableLine(tpl);
    if (unstorable >= 0) {
        LogPrint(LOG_MAJOR, "LabelPrintConfig::Save() %s not written: line %d holds characters GB2312 can't store",
                 qPrintable(CurrentPrintConfigPath), unstorable);
        return false;
    }
    QSettings& s = *m_settings;
    s.clear();
    s.setValue("VERINFO/ver", "V1.0.6.4");
    s.setValue("VERINFO/buildTime", BuildTime());
    s.setValue("BASE_SIZE/width", FloatText(tpl.width));
    s.setValue("BASE_SIZE/height", FloatText(tpl.height));
    s.setValue("SN_INDENTIFY/bShowSn", tpl.bShowSn);
    s.setValue("SN_INDENTIFY/bShowIndentify", tpl.bShowIndentify);
    s.setValue("SN_INDENTIFY/bShowTimeDate", tpl.bShowTimeDate);
    s.setValue("SN_INDENTIFY/bShowMac", tpl.bShowMac);
    s.setValue("SN_INDENTIFY/bShowEnglish", tpl.bShowEnglish);
    s.setValue("SN_INDENTIFY/fontSize", FloatText(tpl.fontSize));
    s.setValue("OTHER/fPrintPaperSpace", FloatText(tpl.fPrintPaperSpace));
    s.setValue("OTHER/iPrintMode", tpl.iPrintMode);
    s.setValue("OTHER/iPrintTimes", tpl.iPrintTimes);
    s.setValue("OTHER/bSupportJumpDownloadApp", tpl.bSupportJumpDownloadApp);
    s.setValue("LABELS/iSize", tpl.labels.size());
    for (int i = 0; i < tpl.labels.size(); ++i)
        s.setValue(QString("LABELS/%1").arg(i), tpl.labels.at(i));
    s.sync();
    if (s.status() != QSettings::NoError) {
        LogPrint(LOG_MAJOR, "LabelPrintConfig::Save() could not write %s", qPrintable(CurrentPrintConfigPath));
        return false;
    }
    PrintTemplate fresh;
    Load(fresh);
    m_template = fresh;
    return true;
}

int LabelPrintConfig::UnstorableLine(const PrintTemplate& tpl)
{
    const QTextCodec* codec = QTextCodec::codecForName("GB2312");
    for (int i = 0; i < tpl.labels.size(); ++i) {
        if (!IniText::CanStore(tpl.labels.at(i), codec))
            return i;
    }
    return -1;
}

void LabelPrintConfig::Reload()
{
    PrintTemplate fresh;
    Load(fresh);
    m_template = fresh;
}

void LabelPrintConfig::ShowLoadError(LoadStatus status)
{
    if (status != LoadLegacyFieldCount)
        return;
    QMessageBox box(QMessageBox::Critical, Tr("error"), Tr("moudle file's label field number is error"));
    box.addButton(Tr("ok"), QMessageBox::AcceptRole);
    ModalHook::Exec(&box);
}

QString LabelPrintConfig::BuildTime()
{
    return QString("%1 %2").arg(__DATE__, __TIME__);
}

QString LabelPrintConfig::FloatText(float value)
{
    if (!std::isfinite(value))
        return QString::number(double(value));
    // From Qt's default six digits, so that 90 stays "90" and not "9e+01".
    for (int precision = 6; precision < 9; ++precision) {
        const QString text = QString::number(double(value), 'g', precision);
        if (text.toFloat() == value)
            return text;
    }
    return QString::number(double(value), 'g', 9);
}
