// The shots of the current capture: one captured frame each, held in memory
// with a thumbnail until it is saved as a JPEG picture. One for a single
// shot, up to nine for a multishot.
#pragma once

#include <vector>

#include "ce_ref_count.h"
#include "plat/windows.h"
#include "singleton.h"

class CRotBitmap;

// Frame kinds.
inline constexpr DWORD SHOT_KIND_PREVIEW = 0;  // YUV 4:2:0 frame (or a bitmap)
inline constexpr DWORD SHOT_KIND_STILL = 1;    // still-pin frame with its trailing thumbnail
// A still-pin frame ends with a 320 x 240 YUV 4:2:2 thumbnail.
inline constexpr DWORD kStillThumbnailBytes = 320 * 240 * 2;

class CShot {
public:
    CShot();
    CShot(DWORD kind, const BYTE* frame, DWORD length, int width, int height, LPCWSTR name, LPCWSTR path);
    virtual ~CShot();
    CShot(const CShot&) = delete;
    CShot& operator=(const CShot&) = delete;

    // The thumbnail (320 x 240 for a still, the frame's size for a preview frame).
    CRotBitmap* GetFrame() const { return m_pThumbnail.get(); }
    // Makes the thumbnail again, turned for the display as it is now.
    void RemakeThumbnail();
    // Writes the picture; true when it was written.
    bool Save();

    DWORD Kind() const { return m_nKind; }
    const BYTE* Data() const { return m_pFrame.empty() ? nullptr : m_pFrame.data(); }
    DWORD Length() const { return m_nLength; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    LPCWSTR Name() const { return m_szName; }
    LPCWSTR Path() const { return m_szPath; }
    bool IsValid() const { return m_bValid != 0; }

protected:
    void SetNames(LPCWSTR name, LPCWSTR path);
    // The thumbnail's pixels, from the bitmap the shot owns or else its frame.
    HBITMAP DrawThumbnail() const;

    DWORD m_nKind = SHOT_KIND_PREVIEW;
    CeRefPtr<CRotBitmap> m_pThumbnail;
    HBITMAP m_hSource = nullptr;  // owned; only shots made from a bitmap
    std::vector<BYTE> m_pFrame;
    DWORD m_nLength = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    WCHAR m_szName[MAX_PATH] = {};
    WCHAR m_szPath[MAX_PATH] = {};
    BYTE m_bValid = 0;
};

// A shot of a bitmap: the shot owns the bitmap and saves its pixels.
class CShotFromBitmap : public CShot {
public:
    CShotFromBitmap(HBITMAP bitmap, LPCWSTR name, LPCWSTR path);
};

class CShotControl : public CSingleton<CShotControl> {
public:
    using CSingleton<CShotControl>::GetInstance;

    static constexpr int kCapacity = 9;

    CShotControl();
    ~CShotControl();

    void Reset();
    // Names the next picture and appends the frame as a shot; false when the
    // list is full or a still is too short to carry its thumbnail.
    BOOL AddShot(DWORD kind, const BYTE* frame, DWORD length, int width, int height);
    // A preview frame of width x height (4:2:0): w * h * 3 / 2 bytes are read.
    int CreatePreviewShot(const BYTE* frame, int width, int height);
    // A shot of the bitmap, which the shot then owns (deleted also on failure).
    int CreateShot(HBITMAP bitmap);

    // The shot at that index, or null.
    CShot* GetShot(int index);
    CShot* GetLastShot();
    CShot* GetCurrentShot();
    int GetShotCount() const;
    int GetCurrentIndex() const { return m_nCurrent; }
    void NextShot();
    void PrevShot();

    // Saves every held shot; the camera state is 4096 meanwhile, 1 after.
    int SaveAllShots();
    // Deletes each shot's file and the shot.
    void DeleteShotFiles();
    void DeleteSavedShots();
    // Deletes the shots; their files stay.
    void ReleaseShots();
    void ReleaseShotsEx();
    // What the destructor does, for an explicit end.
    void Destroy();

private:
    bool MakeName(LPWSTR name, LPWSTR path);

    int m_nCurrent = 0;
    std::vector<CShot*> m_shots;
};
