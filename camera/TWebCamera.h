#pragma once

#include <QString>

// The record of one web camera: a favourite, a catalog camera or one entered by hand.
// A new record has every text empty, every number 0 (Scale included) and every flag false.
class TWebCamera
{
public:
    QString Description;
    qint32 UpdateInterval = 0; // minutes between downloads; 0 = refresh on request only
    QString URL;
    bool RunOnStartup = false;
    bool AlwaysOnTop = false;
    // Catalog folders from the catalog root to the camera's folder, joined by "\"; empty
    // for every camera that did not come from the catalog.
    QString CatalogPath;
    qint32 Left = 0; // 0 = centre horizontally
    qint32 Top = 0;  // 0 = centre vertically
    bool Opened = false;
    qint32 ImageHeight = 0; // run time only, never stored
    qint32 ImageWidth = 0;
    qint32 Scale = 0; // percent: 25, 50 or 100

    void SetDescription(const QString& value) { Description = value; }
    void SetURL(const QString& value) { URL = value; }
    void SetUpdateInterval(qint32 value) { UpdateInterval = value; }
    void SetRunOnStartup(bool value) { RunOnStartup = value; }
    void SetAlwaysOnTop(bool value) { AlwaysOnTop = value; }

    // Fills the record from the catalog key (CatalogPath set) or the favourite key. A key
    // that does not exist leaves every field as it is; each value has its own default.
    void LoadFromReg();
    // Stores the record as a favourite under its Description (creating the key), whatever
    // CatalogPath holds. Returns false when the store could not be written.
    bool SaveToReg() const;
    // Deletes the favourite key of Description with its sub-keys, and the pictures they kept
    // (TKeptPicture); nothing when absent.
    void ClearReg() const;
    bool isFavorite() const;
    // Marks a catalog camera as opened, in the record and, when the key still exists, in the catalog.
    void doOpen();

    QString FavoriteKeyPath() const;
    QString CatalogKeyPath() const;
    // The URL a camera gets when its stored URL has an unreadable type.
    static QString DefaultImageURL();
};
