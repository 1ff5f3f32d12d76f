#pragma once

#include <QString>

// The two roots this program uses. Each lives in a file of its own (see TRegistryStore).
enum class TRegRoot
{
    CurrentUser,
    LocalMachine
};

// Value type numbers as the registry numbers them; any other number is kept as given.
namespace TRegType {
constexpr quint32 Sz = 1;
constexpr quint32 ExpandSz = 2;
constexpr quint32 Binary = 3;
constexpr quint32 Dword = 4;
constexpr quint32 MultiSz = 7;
} // namespace TRegType

QString regRootName(TRegRoot root);

// A key or value name as the registry compares it: upper-cased character by character, so
// "Straße" and "STRASSE" stay two names. The dotless "ı" keeps its own case, apart from "i".
QString RegFoldName(const QString& name);
