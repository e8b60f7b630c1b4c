// Where pictures go and what they are called: the storage folders, free
// space, the OCR picture names with their date-based counters, the DCF
// folders and camera file names, and the MMS size limit.
#pragma once

#include <vector>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

inline constexpr const WCHAR* kStorageStateKey = L"System\\State\\Velmora\\SDCARD";

// What the main frame offers the picture naming: its OCR mode and the
// current slot of its result store, which takes the new picture.
class COcrPictureOwner {
public:
    virtual int GetBcrOcrMode() const = 0;
    // The owner copies both strings, under its own lock.
    virtual void SetOcrPicture(LPCWSTR folder, LPCWSTR name) = 0;

protected:
    ~COcrPictureOwner() = default;
};

class CFileControl : public CDrawEvent, public CSingleton<CFileControl> {
public:
    using CSingleton<CFileControl>::GetInstance;

    CFileControl();
    ~CFileControl() override;

    void SetOcrPictureOwner(COcrPictureOwner* owner) { owner_ = owner; }

    void SetStorageType(int type) { storageType_ = type; }
    int GetStorageType() const { return storageType_; }
    LPCWSTR GetStoragePath() const;
    LPCWSTR GetDeviceFolder() const { return deviceFolder_; }
    LPCWSTR GetInternalFolder() const { return internalFolder_; }
    LPCWSTR GetExternalFolder() const { return externalFolder_; }
    BOOL IsInternalPresent() const { return internalPresent_; }
    BOOL IsExternalPresent() const { return externalPresent_; }

    // In KB: free physical memory with the memory flag, else the volume's.
    DWORD GetFreeSpace(LPCWSTR path, BOOL memory) const;
    DWORD GetStorageFreeSpace() const { return GetFreeSpace(GetStoragePath(), FALSE); }
    BOOL IsLowSpace() const;
    static BOOL IsDirectory(LPCWSTR path);
    int GetMMSAttachmentMaxSize() const;

    // Mints the next OCR picture name (buffers of MAX_PATH characters).
    BOOL MakeOcrPictureName(LPWSTR name, LPWSTR path);
    LPCWSTR PrepareOcrPicturePath();
    // Used as a pair, these give the name and the path of one picture.
    LPCWSTR GetOcrPictureName();
    LPCWSTR GetOcrPicturePath();
    // A camcorder recording's file: a video name, kept out of the OCR store.
    LPCWSTR PrepareVideoPath();

    int GetDCFNumber() const { return fileNumber_; }
    void IncrementDCFNumber() { ++fileNumber_; }
    LPCWSTR MakeDCFFolder(int number);
    BOOL MakeCameraFileName(int kind, LPWSTR name, LPWSTR path);
    void ListFiles(int kind, std::vector<WIN32_FIND_DATAW>& files) const;

private:
    void FindExternalStorage();
    void MintPair();

    COcrPictureOwner* owner_ = nullptr;
    int storageType_ = 1;
    WCHAR deviceFolder_[MAX_PATH] = {};
    WCHAR internalFolder_[MAX_PATH] = {};
    WCHAR externalFolder_[MAX_PATH] = {};
    BOOL internalPresent_ = FALSE;
    BOOL externalPresent_ = FALSE;
    WCHAR dcfFolder_[2 * MAX_PATH] = {};
    WCHAR documentsFolderName_[MAX_PATH] = {};
    int fileNumber_ = 1;
    WCHAR path1_[MAX_PATH] = {};
    WCHAR picturesFolderName_[MAX_PATH] = {};
    WCHAR name1_[MAX_PATH] = {};
    WCHAR path2_[MAX_PATH] = {};
    WCHAR name2_[MAX_PATH] = {};
    bool pairPending_ = false;  // buffers 1 hold a picture whose other half is still to be asked
};
