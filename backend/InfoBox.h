#pragma once

#include <QString>

class QWidget;

// A modal information box with one button, run through ModalHook. centred: the box
// goes where the parent would stand centred on the desktop (the parent's top-left
// corner when centred), rather than where Qt puts it.
void RunInfoBox(QWidget* parent, const QString& title, const QString& text, const QString& buttonText,
                bool centred = false);
