#pragma once

#include <QString>

#include <stdexcept>

// A value of the settings store (or the autostart entry that stands in for one) could not be
// written. The action that caused the write ends; whoever started it shows what() in one
// line and the program carries on with what it has in memory.
class ERegistryError : public std::runtime_error
{
public:
    // valueName: the value that could not be written; detail: why, for the terminal only.
    explicit ERegistryError(const QString& valueName, const QString& detail = QString())
        : std::runtime_error(QStringLiteral("Failed to set data for '%1'").arg(valueName).toStdString()),
          m_detail(detail)
    {
    }

    QString message() const { return QString::fromStdString(what()); }
    QString detail() const { return m_detail; }

private:
    QString m_detail;
};
