// A label template file (INI, GB2312; current or legacy layout): loaded,
// printed, saved and loaded again. A line loads as the file writes it, and
// what a load reads must come back the same from the file its save wrote,
// whatever texts the lines hold.
#include "FuzzEnv.h"

#include "AppGlobals.h"
#include "IniText.h"
#include "LabelLine.h"
#include "LabelPaint.h"
#include "LabelPrintConfig.h"
#include "PrintTemplate.h"

#include <QFile>
#include <QTextCodec>

#include <cmath>
#include <cstring>

namespace {

bool SameFloat(float a, float b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// The texts a GB2312 file can hold: a byte the codec can't read became U+FFFD
// and can't be written back as it was.
bool Writable(const PrintTemplate& tpl)
{
    static QTextCodec* const codec = QTextCodec::codecForName("GB2312");
    for (const QString& line : tpl.labels) {
        if (line.contains(QChar::ReplacementCharacter) || !codec->canEncode(line))
            return false;
    }
    return true;
}

// The part of a line a legacy load keeps as it is (it renumbers the index).
QString WithoutIndex(const QString& line)
{
    return line.left(line.lastIndexOf(','));
}

// A line among the first iSize numbers with a field Qt would take for one of
// its typed values ("@...") is loaded as the file writes it.
void CheckLinesAsWritten(const PrintTemplate& loaded, const QByteArray& file)
{
    static QTextCodec* const codec = QTextCodec::codecForName("GB2312");
    QString text;
    const bool legacy = !IniText::RawValue(file, "SN_INDENTIFY/bShowMac", codec, &text);
    const int count = IniText::RawValue(file, "LABELS/iSize", codec, &text) ? text.toInt() : 0;
    for (int k = 0; k < count && k < 1000; ++k) {
        QString raw;
        // Only such fields make the store read the file's text itself.
        if (!IniText::RawValue(file, QString("LABELS/%1").arg(k), codec, &raw) || LabelLine::SplitFields(raw).isEmpty()
            || !(raw.startsWith('@') || raw.contains(",@")))
            continue;
        bool found = false;
        for (const QString& line : loaded.labels)
            found = found || (legacy ? WithoutIndex(line) == WithoutIndex(raw) : line == raw);
        if (!found)
            FuzzEnv::Fail("line %d '%s' was not loaded", k, qPrintable(raw));
    }
}

void CheckSame(const PrintTemplate& a, const PrintTemplate& b)
{
    if (!SameFloat(a.width, b.width) || !SameFloat(a.height, b.height) || !SameFloat(a.fontSize, b.fontSize)
        || !SameFloat(a.fPrintPaperSpace, b.fPrintPaperSpace))
        FuzzEnv::Fail("a size changed in a save");
    if (a.bShowSn != b.bShowSn || a.bShowIndentify != b.bShowIndentify || a.bShowTimeDate != b.bShowTimeDate
        || a.bShowMac != b.bShowMac || a.bShowEnglish != b.bShowEnglish || a.iPrintMode != b.iPrintMode
        || a.iPrintTimes != b.iPrintTimes || a.bSupportJumpDownloadApp != b.bSupportJumpDownloadApp)
        FuzzEnv::Fail("a switch changed in a save");
    if (a.labels.size() != b.labels.size())
        FuzzEnv::Fail("%d lines loaded, %d after a save", int(a.labels.size()), int(b.labels.size()));
    for (int i = 0; i < a.labels.size(); ++i) {
        if (a.labels.at(i) != b.labels.at(i))
            FuzzEnv::Fail("line %d '%s' came back as '%s'", i, qPrintable(a.labels.at(i)), qPrintable(b.labels.at(i)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzEnv::FreshPath(".ini");
    FuzzEnv::WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
    CurrentPrintConfigPath = path;
    PrintTemplate loaded;
    bool whole;
    {
        LabelPrintConfig store;
        whole = store.Load(loaded);
    }
    if (whole)
        CheckLinesAsWritten(loaded, QByteArray(reinterpret_cast<const char*>(data), int(size)));
    LabelPaint::Render(loaded);

    if (whole && Writable(loaded)) {
        const QString copy = FuzzEnv::FreshPath(".ini");
        CurrentPrintConfigPath = copy;
        LabelPrintConfig store;
        if (!store.Save(loaded))
            FuzzEnv::Fail("a template could not be saved");
        PrintTemplate again;
        if (!store.Load(again))
            FuzzEnv::Fail("a saved template does not load");
        CheckSame(loaded, again);
        QFile::remove(copy);
    }
    QFile::remove(path);
    CurrentPrintConfigPath.clear();
    return 0;
}
