#include "dialogs/CursorRegistry.h"

#include "platform/TShell.h"

#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QStringList>
#include <QUrl>

namespace {

struct TRegistry
{
    QStringList Names;
    QHash<int, QCursor> Cursors;
    int WaitDepth = 0;
};

TRegistry& registry()
{
    static TRegistry r;
    static const bool programCursors = [] {
        // Registered in the order the ids are known by.
        const auto add = [](const QString& name, Qt::CursorShape shape) {
            r.Cursors.insert(CursorRegistry::FirstCursorId + int(r.Names.size()), QCursor(shape));
            r.Names.append(name);
        };
        add(QStringLiteral("URLHand"), Qt::PointingHandCursor);
        add(QStringLiteral("OleDrag"), Qt::DragMoveCursor);
        add(QStringLiteral("OleDragCopy"), Qt::DragCopyCursor);
        add(QStringLiteral("OleDragLink"), Qt::DragLinkCursor);
        return true;
    }();
    Q_UNUSED(programCursors);
    return r;
}

} // namespace

namespace CursorRegistry {

int RegisterCursor(const QString& name, const QCursor& cursor)
{
    TRegistry& r = registry();
    const qsizetype known = r.Names.indexOf(name);
    if (known >= 0)
        return FirstCursorId + int(known);
    const int id = FirstCursorId + int(r.Names.size());
    r.Cursors.insert(id, cursor);
    r.Names.append(name);
    return id;
}

QCursor Cursor(int id)
{
    return registry().Cursors.value(id, QCursor(Qt::ArrowCursor));
}

int URLHandCursor()
{
    return RegisterCursor(QStringLiteral("URLHand"), QCursor(Qt::PointingHandCursor));
}

void BeginWaitCursor()
{
    if (registry().WaitDepth++ == 0)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void EndWaitCursor()
{
    TRegistry& r = registry();
    if (r.WaitDepth == 0)
        return;
    if (--r.WaitDepth == 0)
        QGuiApplication::restoreOverrideCursor();
}

int WaitCursorDepth()
{
    return registry().WaitDepth;
}

} // namespace CursorRegistry

bool ShellOpen(const QString& document, const QString& parameters, const QString& folder)
{
    Q_UNUSED(parameters);
    QString target = document;
    const bool hasScheme = QUrl(document).scheme().size() > 1;
    if (!folder.isEmpty() && !hasScheme && QDir::isRelativePath(document))
        target = QDir(folder).filePath(document);
    CursorRegistry::BeginWaitCursor();
    const bool opened = TShell::Open(target);
    CursorRegistry::EndWaitCursor();
    return opened;
}
