#include "LabelPrinter.h"

#include "LabelLine.h"
#include "LabelRenderer.h"
#include "Log.h"
#include "PrinterHook.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <atomic>

namespace {

std::atomic<LabelPrinter*> g_instance{nullptr};
std::mutex g_instanceMutex;

bool IsPictureLine(const QString& line)
{
    return line.section(',', 0, 0).toInt() == LabelLine::Picture;
}

}  // namespace

LabelPrinter::LabelPrinter()
{
    CreatePrinter();
}

void LabelPrinter::CreatePrinter()
{
    m_printer = std::make_unique<QPrinter>(QPrinter::PrinterResolution);
    m_printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    m_printer->setPageOrientation(QPageLayout::Portrait);
    m_printer->setFullPage(true);
}

LabelPrinter::~LabelPrinter() = default;

LabelPrinter* LabelPrinter::Instance()
{
    LabelPrinter* instance = g_instance.load();
    if (instance)
        return instance;
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    instance = g_instance.load();
    if (!instance) {
        instance = new LabelPrinter();
        g_instance.store(instance);
    }
    return instance;
}

int LabelPrinter::PrintLabel(LabelPrintJob* job)
{
    if (!job || !m_printer)
        return -1;
    QSizeF paper;
    if (!LabelRenderer::PaperSizeMm(job->printTemplate, &paper)) {
        LogPrint(LOG_MAJOR, "LabelPrinter::PrintLabel() template size %gx%g mm is not printable",
                 double(job->printTemplate.width), double(job->printTemplate.height));
        return -1;
    }
    QStringList& lines = job->printTemplate.labels;
    std::stable_partition(lines.begin(), lines.end(), IsPictureLine);
    // Encoding may open a message box, so it is done before the lock is taken.
    const LabelRenderer renderer(*job);

    std::lock_guard<std::mutex> lock(m_jobMutex);
    m_printer->setCopyCount(LabelRenderer::CopyCount(job->printTemplate));
    m_printer->setPageSize(QPageSize(paper, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    m_printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    QPaintDevice* device = PrinterHook::Device(*m_printer);
    const double dpi = m_printer->resolution();
    QPainter painter;
    if (!device || !painter.begin(device)) {
        LogPrint(LOG_MAJOR, "LabelPrinter::PrintLabel() the printer could not start");
        // Qt leaves a printer that failed to start marked active, refusing every later
        // setting: the next job gets a fresh one.
        if (device == m_printer.get())
            CreatePrinter();
        return -1;
    }
    renderer.Paint(painter, dpi);
    const bool ended = painter.end();
    if (!ended || (device == m_printer.get() && m_printer->printerState() == QPrinter::Error)) {
        LogPrint(LOG_MAJOR, "LabelPrinter::PrintLabel() the printer reported an error");
        return -1;
    }
    if (renderer.UndrawnCodes() > 0) {
        LogPrint(LOG_MAJOR, "LabelPrinter::PrintLabel() SN=%s: %d code(s) of the label could not be drawn",
                 job->strDevSN.toUtf8().constData(), renderer.UndrawnCodes());
        return CodeNotDrawn;
    }
    return 0;
}
