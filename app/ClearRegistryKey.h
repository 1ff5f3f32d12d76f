#pragma once

#include <QString>

// Deletes every value stored directly in keyPath (per-user root, or the machine root when
// machineWide) and returns how many value names it found; 0 when the key does not exist.
// With deleteKey the key then goes too, with all its sub-keys, whether or not it existed.
// Sub-keys survive when deleteKey is false. UI thread only.
int ClearRegistryKey(const QString& keyPath, bool deleteKey, bool machineWide);
