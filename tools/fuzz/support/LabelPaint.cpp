#include "LabelPaint.h"

#include "LabelPrintJob.h"
#include "LabelRenderer.h"

#include <QImage>

#include <cmath>

void LabelPaint::Render(const PrintTemplate& tpl)
{
    LabelPrintJob job;
    job.strQRCode = "https://app.example/download?bind=VT21AB0000000001|A1B2C3";
    job.strIndentityPart = "VT21AB0000000001|A1B2C3";
    job.strDevSN = "VT21AB0000000001";
    job.strIndentifyCode = "A1B2C3";
    job.strMac = "02:00:00:12:34:56";
    job.printTemplate = tpl;
    const LabelRenderer renderer(job);
    QSizeF paper;
    if (!LabelRenderer::PaperSizeMm(tpl, &paper))
        return;
    constexpr double kDpi = 25.4;
    QImage image(int(std::ceil(paper.width())) + 1, int(std::ceil(paper.height())) + 1, QImage::Format_RGB32);
    image.fill(Qt::white);
    renderer.Paint(&image, kDpi);
}
