// One line of a label template ("type,x,y,width,height,fontSize,text,picture,index"):
// split, parsed, and printed on a label of the default size in both column modes.
// The input is the line's bytes as the GB2312 template file holds them.
#include "FuzzEnv.h"

#include "LabelLine.h"
#include "LabelPaint.h"
#include "PrintTemplate.h"

#include <QTextCodec>

#include <cmath>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTextCodec* const codec = QTextCodec::codecForName("GB2312");
    const QString line = codec->toUnicode(reinterpret_cast<const char*>(data), int(size));

    const QStringList fields = LabelLine::SplitFields(line);
    if (!fields.isEmpty() && (fields.size() != LabelLine::FieldCount || fields.join(',') != line))
        FuzzEnv::Fail("the fields of a line do not make the line again");
    LabelLine parsed;
    if (LabelLine::Parse(line, &parsed)) {
        for (double v : {parsed.x, parsed.y, parsed.width, parsed.height, parsed.fontSize}) {
            if (!std::isfinite(v) || std::fabs(v) > LabelLine::MaxMillimetres)
                FuzzEnv::Fail("a parsed position or size of %g mm", v);
        }
    }

    PrintTemplate tpl;
    tpl.width = 90;
    tpl.height = 40;
    tpl.bShowSn = tpl.bShowIndentify = tpl.bShowTimeDate = tpl.bShowMac = true;
    tpl.fontSize = 20;
    tpl.fPrintPaperSpace = 2;
    tpl.labels << line;
    for (int mode : {0, 1}) {
        tpl.iPrintMode = mode;
        LabelPaint::Render(tpl);
    }
    return 0;
}
