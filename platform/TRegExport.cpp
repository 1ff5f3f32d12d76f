#include "platform/TRegExport.h"

#include "platform/TRegImport.h"
#include "platform/TRegistryStore.h"

#include <QSaveFile>
#include <QtEndian>

#include <optional>
#include <vector>

namespace {

// Hex lists wrap after the comma that reaches this column, as the platform's editor wraps them.
constexpr qsizetype HexWrapColumn = 76;

bool hasLineBreak(const QString& name)
{
    return name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r'));
}

QByteArray quoted(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out.append('"');
    for (const char c : utf8) {
        if (c == '\\' || c == '"')
            out.append('\\');
        out.append(c);
    }
    out.append('"');
    return out;
}

// REG_SZ data that "name"="text" gives back byte for byte: UTF-8 ended by one NUL, no line break.
std::optional<QString> plainText(const QByteArray& data)
{
    if (!data.endsWith('\0'))
        return std::nullopt;
    const QByteArray body = data.chopped(1);
    if (body.contains('\0') || body.contains('\n') || body.contains('\r'))
        return std::nullopt;
    QString text = QString::fromUtf8(body);
    if (text.toUtf8() != body)
        return std::nullopt;
    return text;
}

void appendHex(QByteArray* out, const QByteArray& data, qsizetype column)
{
    static const char Digits[] = "0123456789abcdef";
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto b = static_cast<uchar>(data[i]);
        out->append(Digits[b >> 4]);
        out->append(Digits[b & 15]);
        column += 2;
        if (i + 1 == data.size())
            break;
        out->append(',');
        ++column;
        if (column >= HexWrapColumn) {
            out->append("\\\r\n  ");
            column = 2;
        }
    }
}

void appendValue(QByteArray* out, const TRegValue& value)
{
    QByteArray line = value.Name.isEmpty() ? QByteArray("@=") : quoted(value.Name) + '=';
    if (value.Type == TRegType::Sz) {
        if (const auto text = plainText(value.Data)) {
            out->append(line + quoted(*text) + "\r\n");
            return;
        }
    }
    if (value.Type == TRegType::Dword && value.Data.size() == 4) {
        const quint32 number = qFromLittleEndian<quint32>(value.Data.constData());
        out->append(line + "dword:" + QByteArray::number(number, 16).rightJustified(8, '0') + "\r\n");
        return;
    }
    line += value.Type == TRegType::Binary ? QByteArray("hex:")
                                           : "hex(" + QByteArray::number(value.Type, 16) + "):";
    out->append(line);
    appendHex(out, value.Data, line.size());
    out->append("\r\n");
}

} // namespace

TRegExportResult RegExportKey(const QString& keyPath, QByteArray* out)
{
    TRegExportResult result;
    TRegKeyPath path;
    const QString why = RegParseKeyPath(keyPath, &path);
    if (!why.isEmpty()) {
        result.Error = QStringLiteral("not a key path: %1").arg(why);
        return result;
    }
    auto& store = TRegistryStore::of(path.Root);
    const TRegistryStore::TReadScope oneState(store);
    const qint64 top = store.findKey(path.Names);
    if (top == 0) {
        result.Error = QStringLiteral("no such key: %1").arg(path.text());
        return result;
    }

    struct TPending
    {
        qint64 Id;
        QString Path;
    };
    const QString topPath = store.keyPath(top);
    std::vector<TPending> pending{
        {top, regRootName(path.Root) + (topPath.isEmpty() ? QString() : "\\" + topPath)}};
    QByteArray text("REGEDIT4\r\n\r\n");
    while (!pending.empty()) {
        const TPending key = pending.back();
        pending.pop_back();
        text += '[' + key.Path.toUtf8() + "]\r\n";
        ++result.Keys;
        for (const TRegValue& value : store.values(key.Id)) {
            if (hasLineBreak(value.Name)) {
                result.Warnings.append(
                    QStringLiteral("left out a value of %1: its name holds a line break").arg(key.Path));
                continue;
            }
            appendValue(&text, value);
            ++result.Values;
        }
        text += "\r\n";
        const QStringList children = store.childNames(key.Id);
        // Reversed onto the stack, so the keys come out in enumeration order.
        for (auto it = children.crbegin(); it != children.crend(); ++it) {
            if (hasLineBreak(*it)) {
                result.Warnings.append(
                    QStringLiteral("left out a sub-key of %1 with its subtree: its name holds a line break")
                        .arg(key.Path));
                continue;
            }
            if (const qint64 child = store.findChild(key.Id, *it))
                pending.push_back({child, key.Path + QLatin1Char('\\') + *it});
        }
    }
    *out = text;
    result.Ok = true;
    return result;
}

TRegExportResult RegExportFile(const QString& keyPath, const QString& filePath)
{
    QByteArray text;
    TRegExportResult result = RegExportKey(keyPath, &text);
    if (!result.Ok)
        return result;
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        result.Ok = false;
        result.Error = QStringLiteral("cannot write %1: %2").arg(filePath, file.errorString());
    }
    return result;
}
