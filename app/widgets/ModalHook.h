#pragma once

#include <functional>

class QAction;
class QDialog;
class QMenu;
class QPoint;

// Every modal dialog of the station runs through Exec, so tests answer it
// without entering a modal loop.
namespace ModalHook {

// Receives the dialog (title, text and buttons set up) and returns its result code.
using Answer = std::function<int(QDialog* dialog)>;

void Set(Answer answer);
void Clear();
bool IsSet();
// The hook's answer when one is set, else dialog->exec(). A message box's
// buttons whose captions were replaced get Alt and their first letter first.
int Exec(QDialog* dialog);

// Pop-up menus run their own modal loop too. The answer receives the menu (its
// actions set up) and returns the action it chose, nullptr for none; it may
// trigger that action itself, as a click inside the menu's loop would.
using MenuAnswer = std::function<QAction*(QMenu* menu)>;

void SetMenu(MenuAnswer answer);
void ClearMenu();
// The menu hook's answer when one is set, else menu->exec(pos).
QAction* ExecMenu(QMenu* menu, const QPoint& pos);

}  // namespace ModalHook
