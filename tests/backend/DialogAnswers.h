#pragma once

#include "ModalHook.h"

#include <QDialog>
#include <QMessageBox>
#include <QStringList>

#include <functional>
#include <ostream>

// Readable test failures for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << "{";
    for (const QString& text : list)
        *os << " \"" << text.toStdString() << "\"";
    *os << " }";
}

// Answers every modal dialog without a modal loop. Message boxes are kept as
// "title|text" and answered with boxAnswer; any other dialog goes to other.
struct DialogAnswers {
    QStringList boxes;
    int boxAnswer = QMessageBox::Ok;
    std::function<int(QDialog*)> other = [](QDialog*) { return int(QDialog::Rejected); };

    DialogAnswers()
    {
        ModalHook::Set([this](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                boxes << box->windowTitle() + "|" + box->text();
                return boxAnswer;
            }
            return other(dialog);
        });
    }
    ~DialogAnswers() { ModalHook::Clear(); }
    DialogAnswers(const DialogAnswers&) = delete;
    DialogAnswers& operator=(const DialogAnswers&) = delete;
};
