#include "FileDialogHook.h"

#include <QFileDialog>

namespace {

FileDialogHook::Answer g_answer;

QString Ask(FileDialogHook::Mode mode, QWidget* parent, const QString& caption, const QString& dir,
            const QString& filter)
{
    if (g_answer)
        return g_answer(FileDialogHook::Request{mode, parent, caption, dir, filter});
    if (mode == FileDialogHook::Mode::Open)
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

}  // namespace

namespace FileDialogHook {

void Set(Answer answer) { g_answer = std::move(answer); }
void Clear() { g_answer = nullptr; }
bool IsSet() { return static_cast<bool>(g_answer); }

QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return Ask(Mode::Open, parent, caption, dir, filter);
}

QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return Ask(Mode::Save, parent, caption, dir, filter);
}

}  // namespace FileDialogHook
