#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every file choice of the station runs through here, so tests answer it
// without entering a modal loop.
namespace FileDialogHook {

enum class Mode { Open, Save };

// What the dialog would have shown.
struct Request {
    Mode mode = Mode::Open;
    QWidget* parent = nullptr;
    QString caption;
    QString dir;
    QString filter;
};

// Returns the chosen path; an empty string means the dialog was cancelled.
using Answer = std::function<QString(const Request& request)>;

void Set(Answer answer);
void Clear();
bool IsSet();

// The hook's answer when one is set, else QFileDialog's static dialogs.
QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);

}  // namespace FileDialogHook
