#pragma once

class QDialog;
class QWidget;

// Makes the controller's own label-template dialog, a hidden child of the
// controller that is never shown. Until the label editor installs its creator
// there is none and the controller keeps a null pointer.
namespace QRCodePrintSettingHook {

using Creator = QDialog* (*)(QWidget* owner);

void SetCreator(Creator creator);
// The installed creator's dialog, or null without one.
QDialog* Create(QWidget* owner);

}  // namespace QRCodePrintSettingHook
