#pragma once

#include <QObject>
#include <QPointer>
#include <QVector>

class QWidget;

// Keeps the native window of a widget under alien ancestors with the widget.
// Qt 5 places such a window only when the widget itself moves, so it stays
// behind when an ancestor moves; and when an ancestor goes to another window
// it may stay a child of the old one, which then deletes it on its way. The
// follower watches the ancestors and moves and reattaches the window after
// them. It is a child of the widget.
class NativeWindowFollower : public QObject {
    Q_OBJECT

public:
    explicit NativeWindowFollower(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void WatchAncestors();
    void Reattach();
    void Place();

    QWidget* m_widget;
    QVector<QPointer<QWidget>> m_ancestors;
};
