#include "lang/TWidgetProperties.h"

#include "lang/Lang.h"
#include "lang/TPropertyRegistry.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>

namespace {

template <typename T> TPropertyAccess text(QString (T::*read)() const, void (T::*write)(const QString&))
{
    TPropertyAccess access;
    access.Kind = TPropertyKind::Text;
    access.ReadText = [read](QObject* o) { return (static_cast<T*>(o)->*read)(); };
    access.WriteText = [write](QObject* o, const QString& v) { (static_cast<T*>(o)->*write)(v); };
    return access;
}

TPropertyAccess integer(std::function<void(QWidget*, int)> write)
{
    TPropertyAccess access;
    access.Kind = TPropertyKind::Integer;
    access.WriteInteger = [write](QObject* o, int v) { write(static_cast<QWidget*>(o), v); };
    return access;
}

template <typename T> TPropertyAccess list(std::function<void(T*, const QStringList&)> write)
{
    TPropertyAccess access;
    access.Kind = TPropertyKind::TextList;
    access.WriteList = [write](QObject* o, const QStringList& v) { write(static_cast<T*>(o), v); };
    return access;
}

// A window of fixed size (a dialog) keeps its size fixed at the new value.
void setWidth(QWidget* w, int width)
{
    if (w->minimumWidth() == w->maximumWidth())
        w->setFixedWidth(width);
    else
        w->resize(width, w->height());
}

void setHeight(QWidget* w, int height)
{
    if (w->minimumHeight() == w->maximumHeight())
        w->setFixedHeight(height);
    else
        w->resize(w->width(), height);
}

// The tab widget that shows w as one of its pages (its stack is w's parent), or null.
QTabWidget* tabWidgetOf(const QWidget* w)
{
    auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    return tabs && tabs->indexOf(const_cast<QWidget*>(w)) >= 0 ? tabs : nullptr;
}

// A page of a tab widget has no title bar: its caption is its tab's text.
QString widgetCaption(const QWidget* w)
{
    if (QTabWidget* tabs = tabWidgetOf(w))
        return tabs->tabText(tabs->indexOf(const_cast<QWidget*>(w)));
    return w->windowTitle();
}

void setWidgetCaption(QWidget* w, const QString& caption)
{
    if (QTabWidget* tabs = tabWidgetOf(w))
        tabs->setTabText(tabs->indexOf(w), caption);
    else
        w->setWindowTitle(caption);
}

void registerAll()
{
    // A dialog a window opens is a window of its own with its own components; its menus
    // (pop-up windows) still belong to it.
    SetSeparateWindowTest([](const QObject* o) {
        const auto* widget = qobject_cast<const QWidget*>(o);
        return widget && widget->isWindow() && widget->windowType() != Qt::Popup;
    });

    using R = QString;
    TPropertyAccess caption;
    caption.ReadText = [](QObject* o) { return widgetCaption(static_cast<QWidget*>(o)); };
    caption.WriteText = [](QObject* o, const QString& v) { setWidgetCaption(static_cast<QWidget*>(o), v); };
    TPropertyRegistry::Register("QWidget", R("Caption"), caption);
    TPropertyRegistry::Register("QWidget", R("Hint"), text(&QWidget::toolTip, &QWidget::setToolTip));
    TPropertyRegistry::Register("QWidget", R("Left"), integer([](QWidget* w, int v) { w->move(v, w->y()); }));
    TPropertyRegistry::Register("QWidget", R("Top"), integer([](QWidget* w, int v) { w->move(w->x(), v); }));
    TPropertyRegistry::Register("QWidget", R("Width"), integer(setWidth));
    TPropertyRegistry::Register("QWidget", R("Height"), integer(setHeight));

    TPropertyRegistry::Register("QAbstractButton", R("Caption"),
                                text(&QAbstractButton::text, &QAbstractButton::setText));
    // A label marked AutoSize fits its new text, as it fitted the first.
    TPropertyAccess labelCaption = text(&QLabel::text, &QLabel::setText);
    labelCaption.WriteText = [](QObject* o, const QString& v) {
        auto* label = static_cast<QLabel*>(o);
        label->setText(v);
        if (label->property(AutoSizeProperty).toBool())
            label->adjustSize();
    };
    TPropertyRegistry::Register("QLabel", R("Caption"), labelCaption);
    TPropertyRegistry::Register("QGroupBox", R("Caption"), text(&QGroupBox::title, &QGroupBox::setTitle));
    TPropertyRegistry::Register("QMenu", R("Caption"), text(&QMenu::title, &QMenu::setTitle));

    // Menu items: the hint is the status tip, where the tray menu keeps it.
    TPropertyRegistry::Register("QAction", R("Caption"), text(&QAction::text, &QAction::setText));
    TPropertyRegistry::Register("QAction", R("Hint"), text(&QAction::statusTip, &QAction::setStatusTip));

    TPropertyRegistry::Register("QLineEdit", R("Text"), text(&QLineEdit::text, &QLineEdit::setText));
    TPropertyRegistry::Register("QComboBox", R("Text"),
                                text(&QComboBox::currentText, &QComboBox::setCurrentText));
    TPropertyRegistry::Register("QPlainTextEdit", R("Text"),
                                text(&QPlainTextEdit::toPlainText, &QPlainTextEdit::setPlainText));

    TPropertyRegistry::Register("QComboBox", R("Items"),
                                list<QComboBox>([](QComboBox* c, const QStringList& v) {
                                    c->clear();
                                    c->addItems(v);
                                }));
    TPropertyRegistry::Register("QListWidget", R("Items"),
                                list<QListWidget>([](QListWidget* l, const QStringList& v) {
                                    l->clear();
                                    l->addItems(v);
                                }));
    // A report list's column headings, left to right.
    TPropertyRegistry::Register("QTableWidget", R("Columns"),
                                list<QTableWidget>([](QTableWidget* t, const QStringList& v) {
                                    for (int i = 0; i < v.size() && i < t->columnCount(); ++i) {
                                        if (QTableWidgetItem* item = t->horizontalHeaderItem(i))
                                            item->setText(v.at(i));
                                        else
                                            t->setHorizontalHeaderItem(i, new QTableWidgetItem(v.at(i)));
                                    }
                                }));
    TPropertyRegistry::Register("QPlainTextEdit", R("Lines"),
                                list<QPlainTextEdit>([](QPlainTextEdit* e, const QStringList& v) {
                                    e->setPlainText(v.join(QLatin1Char('\n')));
                                }));
}

} // namespace

void RegisterWidgetProperties()
{
    static const bool registered = [] {
        registerAll();
        return true;
    }();
    Q_UNUSED(registered);
}
