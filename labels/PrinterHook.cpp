#include "PrinterHook.h"

#include <QPrinter>

namespace {

PrinterHook::Target& Hook()
{
    static PrinterHook::Target hook;
    return hook;
}

}  // namespace

namespace PrinterHook {

void Set(Target target) { Hook() = std::move(target); }
void Clear() { Hook() = nullptr; }
bool IsSet() { return static_cast<bool>(Hook()); }

QPaintDevice* Device(QPrinter& printer)
{
    return Hook() ? Hook()(printer) : &printer;
}

}  // namespace PrinterHook
