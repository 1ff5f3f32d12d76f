#include "app/ClearRegistryKey.h"

#include "platform/TRegistry.h"

int ClearRegistryKey(const QString& keyPath, bool deleteKey, bool machineWide)
{
    const TRegRoot root = machineWide ? TRegRoot::LocalMachine : TRegRoot::CurrentUser;
    int count = 0;
    TRegKey key = TRegKey::open(root, keyPath);
    if (key.isOpen()) {
        const QStringList names = key.valueNames();
        count = static_cast<int>(names.size());
        for (const QString& name : names)
            key.deleteValue(name);
        key.close();
    }
    if (deleteKey)
        TRegKey::deleteTree(root, keyPath);
    return count;
}
