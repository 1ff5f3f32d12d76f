#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRandomGenerator>
#include <QString>

// What download tests check of the progress reports, and the bodies they send.
namespace DownloadPieces {

// Every report (TotalSize, Readed) must follow one new piece of at most maxPiece bytes and carry
// the announced size. Empty when they all do, else what was wrong first.
inline QString Problem(const QList<QPair<qint32, qint32>>& progress, qint32 announced, qint32 maxPiece)
{
    qint32 previous = 0;
    for (const auto& [total, readed] : progress) {
        if (total != announced)
            return QStringLiteral("TotalSize %1, announced %2").arg(total).arg(announced);
        if (readed <= previous || readed - previous > maxPiece)
            return QStringLiteral("a piece of %1 bytes").arg(readed - previous);
        previous = readed;
    }
    return {};
}

// A body no coding could shrink and no off-by-one could pass unnoticed.
inline QByteArray RandomBytes(int size)
{
    QByteArray data(size, '\0');
    for (char& ch : data)
        ch = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return data;
}

} // namespace DownloadPieces
