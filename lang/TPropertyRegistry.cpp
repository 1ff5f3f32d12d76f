#include "lang/TPropertyRegistry.h"

#include <QCoreApplication>
#include <QHash>
#include <QMetaObject>
#include <QVariant>

namespace {

struct TRow
{
    QString Name;
    TPropertyAccess Access;
};

TPropertyAccess dynamicInteger(const char* property)
{
    TPropertyAccess access;
    access.Kind = TPropertyKind::Integer;
    access.WriteInteger = [property](QObject* o, int value) { o->setProperty(property, value); };
    return access;
}

TPropertyAccess text(std::function<QString(QObject*)> read,
                     std::function<void(QObject*, const QString&)> write)
{
    TPropertyAccess access;
    access.Kind = TPropertyKind::Text;
    access.ReadText = std::move(read);
    access.WriteText = std::move(write);
    return access;
}

QHash<QByteArray, QList<TRow>> createTable()
{
    QHash<QByteArray, QList<TRow>> table;
    // Tags and help contexts live as dynamic properties, where the windows keep them.
    table["QObject"] = {{QStringLiteral("Tag"), dynamicInteger("Tag")},
                        {QStringLiteral("HelpContext"), dynamicInteger("HelpContext")}};
    table["QCoreApplication"] = {
        {QStringLiteral("Title"),
         text([](QObject*) { return QCoreApplication::applicationName(); },
              [](QObject*, const QString& v) { QCoreApplication::setApplicationName(v); })},
        {QStringLiteral("HelpFile"),
         text([](QObject* o) { return o->property("HelpFile").toString(); },
              [](QObject* o, const QString& v) { o->setProperty("HelpFile", v); })}};
    return table;
}

QHash<QByteArray, QList<TRow>>& table()
{
    static QHash<QByteArray, QList<TRow>> rows = createTable();
    return rows;
}

} // namespace

namespace TPropertyRegistry {

void Register(const char* className, const QString& name, const TPropertyAccess& access)
{
    QList<TRow>& rows = table()[QByteArray(className)];
    for (TRow& row : rows) {
        if (row.Name.compare(name, Qt::CaseInsensitive) == 0) {
            row.Access = access;
            return;
        }
    }
    rows.append({name, access});
}

std::optional<TPropertyAccess> Find(const QObject* target, const QString& name)
{
    if (!target)
        return std::nullopt;
    for (const QMetaObject* meta = target->metaObject(); meta; meta = meta->superClass()) {
        const auto it = table().constFind(QByteArray(meta->className()));
        if (it == table().constEnd())
            continue;
        for (const TRow& row : *it) {
            if (row.Name.compare(name, Qt::CaseInsensitive) == 0)
                return row.Access;
        }
    }
    return std::nullopt;
}

QString TextProperty(QObject* target, const QString& name)
{
    const auto access = Find(target, name);
    if (!access || access->Kind != TPropertyKind::Text || !access->ReadText)
        return QString();
    return access->ReadText(target);
}

} // namespace TPropertyRegistry
