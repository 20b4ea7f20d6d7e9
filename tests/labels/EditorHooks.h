#pragma once

#include "AppGlobals.h"
#include "FileDialogHook.h"
#include "ModalHook.h"

#include <QDialog>
#include <QMessageBox>
#include <QStringList>

#include <functional>
#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

class QMenu;

// Answers every modal dialog, file dialog and pop-up menu of the label editor at
// once, and sets the preview scale. Message boxes are kept as "title|text";
// onDialog runs inside any other dialog, where its event loop would run.
struct EditorHooks {
    QStringList boxes;
    std::function<int(QDialog*)> onDialog;
    QList<FileDialogHook::Request> fileRequests;
    QStringList fileAnswers;                 // taken in order; none left answers "" (cancel)
    std::function<QAction*(QMenu*)> onMenu;
    int menus = 0;

    explicit EditorHooks(double pxPerMmX = 10.0, double pxPerMmY = 10.0)
        : m_saved{ScreenPxScaleX, ScreenPxScaleY, ScreenMmScaleX, ScreenMmScaleY}
    {
        SetScale(pxPerMmX, pxPerMmY);
        ModalHook::Set([this](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                boxes << box->windowTitle() + "|" + box->text();
                return int(QDialog::Accepted);
            }
            return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
        });
        FileDialogHook::Set([this](const FileDialogHook::Request& request) {
            fileRequests << request;
            return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
        });
        ModalHook::SetMenu([this](QMenu* menu) -> QAction* {
            ++menus;
            return onMenu ? onMenu(menu) : nullptr;
        });
    }
    ~EditorHooks()
    {
        ModalHook::Clear();
        ModalHook::ClearMenu();
        FileDialogHook::Clear();
        ScreenPxScaleX = m_saved[0];
        ScreenPxScaleY = m_saved[1];
        ScreenMmScaleX = m_saved[2];
        ScreenMmScaleY = m_saved[3];
    }
    EditorHooks(const EditorHooks&) = delete;
    EditorHooks& operator=(const EditorHooks&) = delete;

    // The main window's factors: pixels per millimetre and their reciprocals.
    static void SetScale(double pxPerMmX, double pxPerMmY)
    {
        ScreenPxScaleX = pxPerMmX;
        ScreenPxScaleY = pxPerMmY;
        ScreenMmScaleX = 1.0 / pxPerMmX;
        ScreenMmScaleY = 1.0 / pxPerMmY;
    }
    // As the main window computes them from a physical DPI.
    static void SetDpi(double dpi)
    {
        ScreenPxScaleX = ScreenPxScaleY = dpi * 2.5 / 25.4;
        ScreenMmScaleX = ScreenMmScaleY = 10.16 / dpi;
    }

private:
    double m_saved[4];
};
