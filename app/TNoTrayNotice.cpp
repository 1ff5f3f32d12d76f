#include "app/TNoTrayNotice.h"

#include "widgets/BarMenus.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TNoTrayNotice::TNoTrayNotice(QMenu* menu, std::function<void()> bringToFront, QWidget* parent)
    : QWidget(parent, Qt::Window), m_menu(menu), m_bringToFront(std::move(bringToFront))
{
    setObjectName(QStringLiteral("frmNoTrayNotice"));
    setWindowTitle(QStringLiteral("Vrel Web Camera"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* text = new QLabel(QStringLiteral("This desktop has no notification area (system tray), so the icon "
                                           "of Vrel Web Camera cannot be shown there.\n\nThe tray menu is "
                                           "here instead. Once you have closed it, start Vrel Web Camera "
                                           "again to reach the running copy: it opens its options window."),
                            this);
    text->setObjectName(QStringLiteral("lblNoTray"));
    text->setWordWrap(true);
    // A wrapped label asks for its height only once its width is fixed.
    text->setFixedWidth(400);

    auto* menuButton = new QPushButton(QStringLiteral("&Menu"), this);
    menuButton->setObjectName(QStringLiteral("btnMenu"));
    menuButton->setDefault(true);
    connect(menuButton, &QPushButton::clicked, this, &TNoTrayNotice::btnMenuClick);
    auto* frontButton = new QPushButton(QStringLiteral("&Show camera windows"), this);
    frontButton->setObjectName(QStringLiteral("btnShowWindows"));
    connect(frontButton, &QPushButton::clicked, this, [this] {
        if (m_bringToFront)
            m_bringToFront();
    });
    auto* closeButton = new QPushButton(QStringLiteral("&Close"), this);
    closeButton->setObjectName(QStringLiteral("btnClose"));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(menuButton);
    buttons->addWidget(frontButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TNoTrayNotice::btnMenuClick()
{
    if (!m_menu)
        return;
    const auto* button = findChild<QWidget*>(QStringLiteral("btnMenu"));
    const QPoint at = button->mapToGlobal(QPoint(0, button->height()));
    if (auto* barMenu = qobject_cast<TBcBarPopupMenu*>(m_menu))
        barMenu->Popup(at.x(), at.y());
    else
        m_menu->popup(at);
}
