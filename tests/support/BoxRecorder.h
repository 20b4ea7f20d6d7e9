#pragma once

#include "ModalHook.h"

#include <QDialog>
#include <QMessageBox>
#include <QStringList>

#include <functional>

// Answers every modal box at once and keeps "title|text" of each message box.
// whileOpen runs inside the box, where a real one would run its event loop.
struct BoxRecorder {
    QStringList texts;
    std::function<void()> whileOpen;

    BoxRecorder()
    {
        ModalHook::Set([this](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog))
                texts << box->windowTitle() + "|" + box->text();
            if (whileOpen)
                whileOpen();
            return int(QDialog::Accepted);
        });
    }
    ~BoxRecorder() { ModalHook::Clear(); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;
};
