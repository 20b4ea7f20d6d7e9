#include "ModalHook.h"

#include <QAbstractButton>
#include <QDialog>
#include <QKeySequence>
#include <QMap>
#include <QMenu>
#include <QMessageBox>
#include <QSet>

namespace {
ModalHook::Answer g_answer;
ModalHook::MenuAnswer g_menuAnswer;

// An ASCII letter or digit a button's caption starts with; 0 when none.
char LeadingLetter(const QString& caption)
{
    const ushort c = caption.isEmpty() ? 0 : caption.at(0).toUpper().unicode();
    return ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) ? char(c) : 0;
}

// A caption set on a box's button ("Yes" for "&Yes") drops its mnemonic.
// Each such button gets Alt and its first letter back, so the box can be
// answered from the keyboard; a letter two buttons would share goes to neither.
void GiveButtonsTheirLetters(QDialog* dialog)
{
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (!box)
        return;
    QMap<char, QAbstractButton*> byLetter;
    QSet<char> taken;
    for (QAbstractButton* button : box->buttons()) {
        if (!button->shortcut().isEmpty()) {
            taken.insert(LeadingLetter(button->shortcut().toString().section('+', -1)));
            continue;
        }
        const char letter = LeadingLetter(button->text());
        if (letter == 0)
            continue;
        if (byLetter.contains(letter))
            taken.insert(letter);
        byLetter.insert(letter, button);
    }
    for (auto it = byLetter.cbegin(); it != byLetter.cend(); ++it) {
        if (!taken.contains(it.key()))
            it.value()->setShortcut(QKeySequence(Qt::ALT | Qt::Key(it.key())));
    }
}
}  // namespace

namespace ModalHook {

void Set(Answer answer) { g_answer = std::move(answer); }
void Clear() { g_answer = nullptr; }
bool IsSet() { return static_cast<bool>(g_answer); }

int Exec(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    GiveButtonsTheirLetters(dialog);
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
