#include "InfoBox.h"

#include "ModalHook.h"
#include "ScreenArea.h"

#include <QMessageBox>

void RunInfoBox(QWidget* parent, const QString& title, const QString& text, const QString& buttonText,
                bool centred)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::NoButton, parent);
    box.addButton(buttonText, QMessageBox::AcceptRole);
    if (centred && parent) {
        const QSize desktop = ScreenArea::Geometry().size();
        box.move((desktop.width() - parent->width()) / 2, (desktop.height() - parent->height()) / 2);
    }
    ModalHook::Exec(&box);
}
