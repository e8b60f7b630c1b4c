// The pictures and videos the camera stored in its DCF folders, newest
// first, with a current position, a mark per entry and screen-size
// thumbnails made on first request.
#pragma once

#include <string>
#include <vector>

#include "ce_ref_count.h"
#include "plat/windows.h"
#include "singleton.h"

class CShot;
class CRotBitmap;
class CRotImage;

enum ImageFileKind : int { IMAGE_KIND_NONE = 0, IMAGE_KIND_PICTURE = 1, IMAGE_KIND_VIDEO = 2 };

// The size a thumbnail is decoded to when a picture has none of its own.
inline constexpr int kThumbnailWidth = 400;
inline constexpr int kThumbnailHeight = 240;

class CImageFileList : public CSingleton<CImageFileList> {
public:
    using CSingleton<CImageFileList>::GetInstance;

    struct Entry {
        std::wstring path;
        std::wstring name;
        DWORD hash = 0;
        FILETIME created{};
        DWORD size = 0;
        CeRefPtr<CRotBitmap> thumbnail;
        BYTE marked = 0;
        int kind = IMAGE_KIND_NONE;
    };

    CImageFileList();
    ~CImageFileList();

    // Rebuilds the list from the folders the file numbering has used; 1.
    int Scan();
    void Clear();
    void ClearEntries();
    // The list picks a new shot up at its next scan.
    void AddFile(CShot* shot);

    int GetCount() const { return static_cast<int>(m_entries.size()); }
    BOOL HasSeveral() const { return m_entries.size() >= 2; }
    const Entry* GetCurrent() const;
    int GetCurrentIndex() const { return m_nCurrent; }
    BOOL SetCurrent(int index);
    void ResetCurrent() { m_nCurrent = 0; }
    // Both need two entries and wrap around.
    BOOL MoveNext();
    BOOL MovePrev();
    // The neighbour's thumbnail, the current index unchanged; null with fewer than two entries.
    CRotBitmap* PrepareNextThumbnail();
    CRotBitmap* PreparePrevThumbnail();
    CRotBitmap* MakeCurrentThumbnail();
    CRotBitmap* MakePictureThumbnail(int index);
    CRotBitmap* MakeVideoThumbnail(int index);
    // By the entry's kind.
    CRotBitmap* MakeThumbnail(int index);

    BOOL GetCurrentName(LPWSTR buffer, int chars) const;
    std::wstring GetPath(int index) const;
    BOOL IsMarked(int index) const;
    BOOL SetMarked(int index, BOOL marked);
    int GetKind(int index) const;
    void ReleaseThumbnail(int index);

    // A picture loaded from its file, a video made from its thumbnail; null otherwise.
    CeRefPtr<CRotImage> CreateCurrentImage();

    // DeleteAt deletes the file too; an entry whose file cannot be deleted still leaves.
    BOOL DeleteAt(int index);
    BOOL RemoveAt(int index);
    BOOL DeleteCurrent();

    // h = h * 33 + upper-cased character.
    static DWORD HashPath(const std::wstring& path);
    static int KindOf(const std::wstring& name);

private:
    bool InRange(int index) const { return index >= 0 && index < GetCount(); }
    int Neighbour(int step) const;
    BOOL Erase(int index, bool deleteFile);
    // Takes the decoded bitmap over; null when there is none.
    static CRotBitmap* AttachThumbnail(Entry& entry, HBITMAP bitmap);

    std::vector<Entry> m_entries;
    int m_nCurrent = 0;
};
