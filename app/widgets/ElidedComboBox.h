#pragma once

#include <QComboBox>
#include <QString>

class QPaintEvent;
class QResizeEvent;
class QStyleOptionComboBox;

// A combo box whose field, when the current text is longer than the field,
// shows the text cut at the end with an ellipsis and the whole text as its
// tooltip; the list shows the items as they are.
class ElidedComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ElidedComboBox(QWidget* parent = nullptr);

    // The current text as the field shows it.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString ShownText(const QStyleOptionComboBox& option) const;
    void UpdateToolTip();
};
