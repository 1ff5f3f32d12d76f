#pragma once

#include <QCursor>
#include <QString>

// Named cursors with numeric ids, as the hyperlink label asks for its hand cursor. The first
// use registers the program's cursors in this order: "URLHand" (256), "OleDrag",
// "OleDragCopy", "OleDragLink". UI thread only.
namespace CursorRegistry {

constexpr int FirstCursorId = 256;

// The id of name: 256 + its place in the registry. A name registered already keeps its id
// and its first cursor; the cursor passed is then ignored.
int RegisterCursor(const QString& name, const QCursor& cursor);
// The cursor installed under id; the arrow for an id nobody registered.
QCursor Cursor(int id);
// The id of "URLHand".
int URLHandCursor();

// A nesting wait cursor: only the outermost pair shows the hourglass and then restores the
// cursor that was in force before it.
void BeginWaitCursor();
void EndWaitCursor();
int WaitCursorDepth();

} // namespace CursorRegistry

// Asks the desktop to open document (a web address, a mailto: link or a file) with its
// default handler, under the wait cursor. A relative file name is taken in folder when one
// is given. The desktop handler takes no parameters, so parameters are not passed on.
// True when the desktop accepted the request.
bool ShellOpen(const QString& document, const QString& parameters = QString(),
               const QString& folder = QString());
