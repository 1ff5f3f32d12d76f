#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QObject;

// Named, typed properties of objects, found by name at run time, as the language component
// needs them ("btnOK" + "Caption"). Rows are registered per class; a lookup walks the object's
// class chain from the most derived class up, so a QPushButton's "Caption" (its text) hides a
// QWidget's "Caption" (the window title). Property names match without regard to letter case.
//
// The logic library registers what needs no widgets: "Tag" and "HelpContext" on every object,
// "Title" and "HelpFile" on the application object. The widget rows come with the language
// UI library (RegisterWidgetProperties). UI thread only.
enum class TPropertyKind
{
    Text,
    Integer,
    // A list of text lines (the items of a list box, the lines of a memo).
    TextList
};

struct TPropertyAccess
{
    TPropertyKind Kind = TPropertyKind::Text;
    // Text properties: read and write. Integer: WriteInteger. Text list: WriteList.
    std::function<QString(QObject*)> ReadText;
    std::function<void(QObject*, const QString&)> WriteText;
    std::function<void(QObject*, int)> WriteInteger;
    std::function<void(QObject*, const QStringList&)> WriteList;
};

namespace TPropertyRegistry {

// Adds (or replaces) the property of that name for objects of className and its subclasses.
// className is the Qt class name, as in QMetaObject::className().
void Register(const char* className, const QString& name, const TPropertyAccess& access);

// The property of target named name, or nothing when its classes have none.
std::optional<TPropertyAccess> Find(const QObject* target, const QString& name);

// The current value of a text property; empty when target has no text property of that name.
QString TextProperty(QObject* target, const QString& name);

} // namespace TPropertyRegistry
