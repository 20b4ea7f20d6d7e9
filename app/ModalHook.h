#pragma once

#include <functional>

class QDialog;

// Every modal dialog of the station runs through Exec, so tests answer it
// without entering a modal loop.
namespace ModalHook {

// Receives the dialog (title, text and buttons set up) and returns its result code.
using Answer = std::function<int(QDialog* dialog)>;

void Set(Answer answer);
void Clear();
bool IsSet();
// The hook's answer when one is set, else dialog->exec().
int Exec(QDialog* dialog);

}  // namespace ModalHook
