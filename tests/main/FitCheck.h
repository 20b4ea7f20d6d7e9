#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <ostream>
#include <vector>

class QComboBox;
class QWidget;

// One text the operator would not see whole: where it sits, what it says, what
// is wrong, and the room it has against the room it needs (width, or height
// for a wrapped text).
struct Misfit {
    QString widget;
    QString text;
    QString problem;
    int room = 0;
    int needed = 0;
};

std::ostream& operator<<(std::ostream& os, const Misfit& m);

// Walks the shown labels, check boxes, buttons, combo boxes, group titles,
// tabs, table headers, list lines and first table rows (or the room for one)
// of a window and reports each one whose text is cut: narrower or lower than
// its font needs, reaching out of a parent (or into a group box's title),
// drawn under a sibling or under one of the floating windows given, or off the
// available area.
class FitCheck {
public:
    FitCheck(const QRect& screen, QList<QWidget*> floating = {});

    std::vector<Misfit> Run(QWidget* window);

private:
    void Visit(QWidget* widget);
    void CheckText(QWidget* widget, const QString& text, const QSize& needed);
    void CheckPlace(QWidget* widget, const QString& text);
    void CheckCombo(QComboBox* combo);
    void CheckHeader(QWidget* header);
    void CheckTabs(QWidget* tabBar);
    void CheckListLines(QWidget* view);
    void CheckFirstRow(QWidget* table);
    void Add(QWidget* widget, const QString& text, const QString& problem, int room, int needed);

    QRect m_screen;
    QList<QWidget*> m_floating;
    QWidget* m_window = nullptr;
    std::vector<Misfit> m_found;
};
