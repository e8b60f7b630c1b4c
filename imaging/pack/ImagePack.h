// CeImagePack: the cache of the GUI's bitmaps by resource id, kept sorted by
// id. Elements stay owned by the pack; keep one with a CeRefPtr.
#pragma once

#include "CePtrList.h"
#include "rot_bitmap.h"

class CeImagePack : public CePtrList {
public:
    static CeImagePack* GetInstance();
    // The application's termination: releases every bitmap.
    static void DeleteInstance();

    // The cached bitmap, loaded on first use; null when it cannot be loaded.
    CRotBitmap* GetImage(UINT id);
    // Loads and inserts; an id already held gives the held element.
    CRotBitmap* AddImage(UINT id);
    // Releases the elements only the pack still references.
    void PurgeUnused();

private:
    CeImagePack() { sorted_ = true; }
    ~CeImagePack() override = default;
};
