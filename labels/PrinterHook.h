#pragma once

#include <functional>

class QPaintDevice;
class QPrinter;

// Every label job reaches paper through PrinterHook::Target, so tests print into
// an image without a modal loop or a real printer.
namespace PrinterHook {

// Receives the printer with paper size and copy count set and returns the device
// the label is painted on in its place (nullptr: the printer could not start).
// The label is drawn at the printer's resolution as it stands when this returns.
using Target = std::function<QPaintDevice*(QPrinter& printer)>;

void Set(Target target);
void Clear();
bool IsSet();
// The hook's device when one is set, else the printer itself.
QPaintDevice* Device(QPrinter& printer);

}  // namespace PrinterHook
