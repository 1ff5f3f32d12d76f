#pragma once

#include <QString>

// Where the program keeps its data in the registry store.
namespace RegistryLayout {
// Options under the per-user root; the catalog under the machine root.
inline const QString ProgramKey = QStringLiteral("SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera");
// Per-user favourites: one sub-key per camera, named by its description.
inline const QString MyFavoritesKey = ProgramKey + QStringLiteral("\\My Favorites");
// Machine-wide catalog: nested folder keys; a camera is a key holding a "URL" value.
inline const QString CatalogKey = ProgramKey + QStringLiteral("\\Favorites");
} // namespace RegistryLayout
