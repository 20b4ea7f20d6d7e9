#pragma once

#include "AppGlobals.h"
#include "ModalHook.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>
#include <QStringList>

#include <functional>
#include <ostream>

// Runs what the dialogs queued for the event loop (0 ms single shots).
inline void RunQueuedCalls()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// The process-wide login state as at start-up.
inline void ResetLoginState()
{
    LoggedIn = false;
    WholeMachineTestMode = false;
    AfterSalesRight = false;
    ServerHost.clear();
    NoticeText.clear();
    HeartbeatTimer = nullptr;
}

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
