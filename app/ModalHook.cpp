#include "ModalHook.h"

#include <QDialog>

namespace {
ModalHook::Answer g_answer;
}

namespace ModalHook {

void Set(Answer answer) { g_answer = std::move(answer); }
void Clear() { g_answer = nullptr; }
bool IsSet() { return static_cast<bool>(g_answer); }

int Exec(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    if (g_answer)
        return g_answer(dialog);
    return dialog->exec();
}

}  // namespace ModalHook
