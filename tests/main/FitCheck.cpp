#include "FitCheck.h"

#include "ElidedComboBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTableView>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QToolButton>

namespace {

QString Name(const QWidget* widget)
{
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The text as the operator reads it: rich text without its markup, a button's
// mnemonic marks dropped.
QString Shown(const QString& text)
{
    if (Qt::mightBeRichText(text))
        return QTextDocumentFragment::fromHtml(text).toPlainText();
    return text;
}

QString WithoutMnemonics(QString text)
{
    text.replace(QLatin1String("&&"), QString(QChar(0x1)));
    text.remove(QLatin1Char('&'));
    return text.replace(QChar(0x1), QLatin1Char('&'));
}

// What a push or tool button needs for its text: the text and the style's
// margin and frame around it (the style's minimum button width left out).
QSize ButtonNeeds(const QAbstractButton* button)
{
    const QFontMetrics fm(button->font());
    const QStyle* style = button->style();
    int width = fm.size(Qt::TextShowMnemonic, button->text()).width();
    if (!button->icon().isNull())
        width += button->iconSize().width() + 4;
    const auto* push = qobject_cast<const QPushButton*>(button);
    if (!push || !push->isFlat())
        width += style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
            + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    return QSize(width, fm.size(Qt::TextShowMnemonic, button->text()).height());
}

QSize LabelNeeds(const QLabel* label)
{
    if (!label->wordWrap())
        return label->sizeHint();
    return QSize(label->minimumSizeHint().width(), label->heightForWidth(label->width()));
}

// Where a widget actually paints, in its parent's coordinates: a label without
// a frame or background paints only its text or picture; others their whole box.
QRect InkRect(const QWidget* widget)
{
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (!label || label->frameShape() != QFrame::NoFrame || label->autoFillBackground())
        return widget->geometry();
    QSize ink = label->sizeHint();
    if (!label->pixmap(Qt::ReturnByValue).isNull() && label->hasScaledContents())
        ink = label->contentsRect().size();
    else if (label->wordWrap())
        ink.setHeight(label->heightForWidth(label->width()));
    const QRect box = label->contentsRect();
    const QRect at = QStyle::alignedRect(label->layoutDirection(), label->alignment(), ink.boundedTo(box.size()), box);
    return at.translated(label->pos());
}

QRect GroupTitle(const QGroupBox* group)
{
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = group->alignment();
    return group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
}

// The room a child has inside its parent: a group box's contents start below
// its title.
QRect RoomIn(const QWidget* parent)
{
    const auto* group = qobject_cast<const QGroupBox*>(parent);
    if (!group || group->title().isEmpty())
        return parent->contentsRect();
    QRect room = group->contentsRect();
    room.setTop(qMin(room.top(), GroupTitle(group).bottom() + 1));
    return room;
}

// What a read-only field needs to show its whole value.
int FieldNeeds(const QLineEdit* edit)
{
    const QMargins text = edit->textMargins();
    const QMargins contents = edit->contentsMargins();
    const int frame = edit->hasFrame() ? 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit) : 0;
    constexpr int kInnerMargin = 2;   // QLineEdit keeps 2 pixels on each side of its text
    return QFontMetrics(edit->font()).horizontalAdvance(edit->text()) + text.left() + text.right()
        + contents.left() + contents.right() + frame + 2 * kInnerMargin + 1;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const Misfit& m)
{
    return os << m.widget.toStdString() << " \"" << m.text.toStdString() << "\": " << m.problem.toStdString()
              << " (has " << m.room << ", needs " << m.needed << ")";
}

FitCheck::FitCheck(const QRect& screen, QList<QWidget*> floating) : m_screen(screen), m_floating(std::move(floating))
{
}

std::vector<Misfit> FitCheck::Run(QWidget* window)
{
    m_window = window;
    m_found.clear();
    const QRect frame = window->frameGeometry();
    if (!m_screen.contains(frame))
        Add(window, window->windowTitle(), QStringLiteral("window off the screen ") + QString("%1,%2 %3x%4")
                .arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()),
            m_screen.width(), frame.right() + 1);
    Visit(window);
    return m_found;
}

void FitCheck::Visit(QWidget* widget)
{
    if (widget != m_window && (widget->isWindow() || !widget->isVisible()))
        return;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const bool picture = !label->pixmap(Qt::ReturnByValue).isNull();
        if (picture)
            CheckPlace(label, QStringLiteral("(picture)"));
        else if (!label->text().isEmpty())
            CheckText(label, Shown(label->text()), LabelNeeds(label));
    } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
        auto* button = static_cast<QAbstractButton*>(widget);
        const QSize text = QFontMetrics(button->font()).size(Qt::TextShowMnemonic, button->text());
        CheckText(button, WithoutMnemonics(button->text()), QSize(button->sizeHint().width(), text.height()));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (!button->text().isEmpty())
            CheckText(button, WithoutMnemonics(button->text()), ButtonNeeds(button));
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (!combo->isEditable() && !combo->currentText().isEmpty())
            CheckCombo(combo);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->isReadOnly() && !edit->text().isEmpty())
            CheckText(edit, edit->text(), QSize(FieldNeeds(edit), 0));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        if (!group->title().isEmpty()) {
            const QRect title = GroupTitle(group);
            if (title.right() >= group->width())
                Add(group, group->title(), QStringLiteral("group title wider than its box"), group->width(),
                    title.right() + 1);
            CheckPlace(group, group->title());
        }
    } else if (qobject_cast<QHeaderView*>(widget)) {
        CheckHeader(widget);
    } else if (qobject_cast<QTabBar*>(widget)) {
        CheckTabs(widget);
    } else if (qobject_cast<QListView*>(widget)) {
        CheckListLines(widget);
    } else if (qobject_cast<QTableView*>(widget)) {
        CheckFirstRow(widget);
    }
    for (QObject* child : widget->children())
        if (child->isWidgetType())
            Visit(static_cast<QWidget*>(child));
}

void FitCheck::CheckText(QWidget* widget, const QString& text, const QSize& needed)
{
    if (widget->width() < needed.width())
        Add(widget, text, QStringLiteral("too narrow"), widget->width(), needed.width());
    if (widget->height() < needed.height())
        Add(widget, text, QStringLiteral("too low"), widget->height(), needed.height());
    CheckPlace(widget, text);
}

void FitCheck::CheckPlace(QWidget* widget, const QString& text)
{
    QWidget* parent = widget->parentWidget();
    const QRect at = widget->geometry();
    const QRect ink = InkRect(widget);
    if (parent && widget != m_window && !RoomIn(parent).contains(at)) {
        const QRect room = RoomIn(parent);
        Add(widget, text,
            QStringLiteral("reaches out of %1 (%2,%3 %4x%5 in %6,%7 %8x%9)")
                .arg(Name(parent)).arg(at.x()).arg(at.y()).arg(at.width()).arg(at.height())
                .arg(room.x()).arg(room.y()).arg(room.width()).arg(room.height()),
            room.bottom(), at.bottom());
    }
    if (parent && widget != m_window) {
        const QObjectList siblings = parent->children();
        for (int i = siblings.indexOf(widget) + 1; i < siblings.size(); ++i) {
            auto* above = qobject_cast<QWidget*>(siblings.at(i));
            if (above && !above->isWindow() && above->isVisible() && InkRect(above).intersects(ink))
                Add(widget, text, QStringLiteral("drawn under ") + Name(above), 0, 0);
        }
    }
    const QRect global(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    const QRect globalInk(parent && widget != m_window ? parent->mapToGlobal(ink.topLeft()) : global.topLeft(),
                          ink.size());
    for (QWidget* floating : m_floating)
        if (floating != m_window && floating->isVisible() && floating->frameGeometry().intersects(globalInk))
            Add(widget, text, QStringLiteral("under the floating ") + Name(floating), 0, 0);
    if (!m_screen.contains(global))
        Add(widget, text, QStringLiteral("off the screen"), m_screen.right(), global.right());
}

void FitCheck::CheckCombo(QComboBox* combo)
{
    // The field draws its text one pixel in from each side.
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.currentText = combo->currentText();
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    const int needed = QFontMetrics(combo->font()).horizontalAdvance(combo->currentText()) + 2;
    // A box that shows its text cut with an ellipsis and whole in its tooltip hides nothing.
    const auto* elided = qobject_cast<ElidedComboBox*>(combo);
    const bool reachable = elided && elided->toolTip() == combo->currentText()
        && elided->ShownText().endsWith(QChar(0x2026));
    if (field.width() < needed && !reachable)
        Add(combo, combo->currentText(), QStringLiteral("combo box text cut"), field.width(), needed);
    CheckPlace(combo, combo->currentText());
}

void FitCheck::CheckHeader(QWidget* widget)
{
    auto* header = static_cast<QHeaderView*>(widget);
    if (!header->model())
        return;
    const QFontMetrics fm(header->font());
    const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int viewport = header->orientation() == Qt::Horizontal ? header->viewport()->width()
                                                                  : header->viewport()->height();
    for (int logical = 0; logical < header->count(); ++logical) {
        if (header->isSectionHidden(logical))
            continue;
        const QString text = header->model()->headerData(logical, header->orientation()).toString();
        const int start = header->sectionViewportPosition(logical);
        const int size = header->sectionSize(logical);
        int needed = fm.horizontalAdvance(text) + margin;
        if (header->defaultAlignment() & Qt::TextWordWrap) {
            // A wrapping header needs its longest word across and its lines down.
            needed = margin;
            for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                needed = qMax(needed, fm.horizontalAdvance(word) + margin);
            const int lines = fm.boundingRect(QRect(0, 0, size - margin, 1 << 20), Qt::TextWordWrap, text).height();
            if (header->height() < lines + margin)
                Add(header, text, QStringLiteral("header too low"), header->height(), lines + margin);
        }
        if (size < needed)
            Add(header, text, QStringLiteral("header section too narrow"), size, needed);
        if (start < 0 || start + size > viewport)
            Add(header, text, QStringLiteral("header section beyond the table's edge"), viewport, start + size);
    }
}

void FitCheck::CheckTabs(QWidget* widget)
{
    auto* tabs = static_cast<QTabBar*>(widget);
    const QFontMetrics fm(tabs->font());
    const int space = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
    for (int i = 0; i < tabs->count(); ++i) {
        const QRect tab = tabs->tabRect(i);
        const int needed = fm.horizontalAdvance(WithoutMnemonics(tabs->tabText(i))) + space;
        if (tab.width() < needed)
            Add(tabs, tabs->tabText(i), QStringLiteral("tab too narrow"), tab.width(), needed);
        if (!tabs->rect().contains(tab))
            Add(tabs, tabs->tabText(i), QStringLiteral("tab beyond its bar"), tabs->width(), tab.right() + 1);
    }
    CheckPlace(tabs, QStringLiteral("(tabs)"));
}

void FitCheck::CheckListLines(QWidget* widget)
{
    auto* view = static_cast<QListView*>(widget);
    if (!view->model())
        return;
    const QRect viewport = view->viewport()->rect();
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = view->model()->index(row, view->modelColumn(), view->rootIndex());
        const QString text = index.data().toString();
        const QRect line = view->visualRect(index);
        QSize needed = view->sizeHintForIndex(index);
        if (view->wordWrap()) {
            // A wrapped line needs the height of its text broken at the line's width.
            const QVariant font = index.data(Qt::FontRole);
            const QFontMetrics fm(font.isValid() ? font.value<QFont>() : view->font());
            const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
            const QRect wrapped = fm.boundingRect(QRect(0, 0, line.width() - margin, 1 << 20), Qt::TextWordWrap, text);
            needed = QSize(qMin(needed.width(), line.width()), wrapped.height());
        }
        if (line.width() < needed.width())
            Add(view, text, QStringLiteral("list line too narrow"), line.width(), needed.width());
        if (line.height() < needed.height())
            Add(view, text, QStringLiteral("list line too low"), line.height(), needed.height());
        if (line.left() < viewport.left() || line.right() > viewport.right())
            Add(view, text, QStringLiteral("list line beyond the list's edge"), viewport.width(), line.right() + 1);
    }
}

void FitCheck::CheckFirstRow(QWidget* widget)
{
    auto* table = static_cast<QTableView*>(widget);
    if (!table->model())
        return;
    if (table->model()->rowCount() == 0) {
        // An empty table still needs the room of the row it is there to show.
        const int row = table->verticalHeader()->defaultSectionSize();
        if (table->viewport()->height() < row)
            Add(table, QStringLiteral("(no rows)"), QStringLiteral("no room for one row"), table->viewport()->height(),
                row);
        return;
    }
    const int bottom = table->rowViewportPosition(0) + table->rowHeight(0);
    if (bottom > table->viewport()->height())
        Add(table, table->model()->index(0, 0).data().toString(), QStringLiteral("first row not shown whole"),
            table->viewport()->height(), bottom);
}

void FitCheck::Add(QWidget* widget, const QString& text, const QString& problem, int room, int needed)
{
    QStringList path;
    for (QWidget* w = widget; w; w = w->isWindow() ? nullptr : w->parentWidget())
        path.prepend(Name(w));
    m_found.push_back({path.join(QLatin1Char('/')), text, problem, room, needed});
}
