#include "ModalHook.h"

#include <QDialog>
#include <QMenu>

namespace {
ModalHook::Answer g_answer;
ModalHook::MenuAnswer g_menuAnswer;
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

void SetMenu(MenuAnswer answer) { g_menuAnswer = std::move(answer); }
void ClearMenu() { g_menuAnswer = nullptr; }

QAction* ExecMenu(QMenu* menu, const QPoint& pos)
{
    if (!menu)
        return nullptr;
    if (g_menuAnswer)
        return g_menuAnswer(menu);
    return menu->exec(pos);
}

}  // namespace ModalHook
