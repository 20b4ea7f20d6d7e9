#pragma once

#include "LabelPrintJob.h"

#include <memory>
#include <mutex>

class QPrinter;

// The station's label printer: the operating system's default printer, driven
// without a dialog. One per process; jobs are serialised.
class LabelPrinter {
public:
    static LabelPrinter* Instance();

    // Prints the job's label (two side by side in double-column mode), one or two
    // copies. 0 once the page went to the printer; -1, with nothing reported as
    // printed, for a null job, a template size that is not positive, a printer that
    // cannot start or one that ends in an error; -2 when the page went out but a
    // barcode or QR code of it could not be drawn. Leaves the job's label lines in
    // drawing order (pictures first).
    int PrintLabel(LabelPrintJob* job);
    static constexpr int CodeNotDrawn = -2;

    QPrinter* Printer() const { return m_printer.get(); }

    LabelPrinter();
    ~LabelPrinter();
    LabelPrinter(const LabelPrinter&) = delete;
    LabelPrinter& operator=(const LabelPrinter&) = delete;

private:
    void CreatePrinter();


    std::unique_ptr<QPrinter> m_printer;
    std::mutex m_jobMutex;
};
