#include "QRCodePrintSettingHook.h"

#include <atomic>

namespace {
std::atomic<QRCodePrintSettingHook::Creator> g_creator{nullptr};
}

namespace QRCodePrintSettingHook {

void SetCreator(Creator creator)
{
    g_creator.store(creator);
}

QDialog* Create(QWidget* owner)
{
    const Creator creator = g_creator.load();
    return creator ? creator(owner) : nullptr;
}

}  // namespace QRCodePrintSettingHook
