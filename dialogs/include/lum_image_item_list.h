// The pictures of one folder as one ordered list, shared by the gallery, the
// zoom view and both result views: filtered by kind, one current record,
// marks for batch work, ordering, deletion, and the hand-over of the
// recognition results of marked pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image_file_item.h"

class LumImageItemList {
public:
    // The result views hold at most this many pictures.
    static constexpr int kOutputSlots = 20;
    static constexpr int kFolderChars = MAX_PATH;

    enum FilterMode : std::int32_t { FILTER_ALL = 0, FILTER_CARDS = 1, FILTER_DOCUMENTS = 2 };
    enum SortMode : std::int32_t { SORT_TIME = 0, SORT_NAME = 1, SORT_KIND = 2, SORT_SIZE = 3 };

    LumImageItemList();
    LumImageItemList(const LumImageItemList&) = delete;
    LumImageItemList& operator=(const LumImageItemList&) = delete;

    static LumImageItemList* GetInstance();
    // The main frame deletes the shared list at exit.
    static void DestroyInstance();

    int GetCount() const { return static_cast<int>(m_items.size()); }
    int GetVisibleCount() const;
    int GetMarkedCount() const;
    int GetBusinessCardCount() const;
    int GetDocumentCount() const;
    // The index-th visible record. Out of range: an empty record (IsEmpty)
    // made afresh for each call, so a caller's change to it is lost.
    ImageFileItem& GetItemAt(int index);
    // By position in the whole list; null out of range.
    ImageFileItem* GetRecord(int position);
    std::int32_t GetFilterMode() const { return m_filterMode; }
    const WCHAR* GetFolderPath() const { return m_folder; }

    void SetFilterMode(std::int32_t mode);
    // By position in the whole list; -1 (or any other out-of-range value)
    // only clears the current flag everywhere.
    void SetCurrent(int index);
    int FindCurrent() const;
    // The position of the record of that file name; -1 when there is none.
    int FindByName(const std::wstring& name) const;
    ImageFileItem GetCurrentItem() const;

    void MarkAll();
    void MarkVisible();
    void UnmarkAll();
    void ShowAll();
    void SetMarkedAt(int index, BOOL marked);
    void ToggleMarkedAt(int index);
    void SetVisibleAt(int index, BOOL visible);

    // ".jpg" or ".jpeg" at the end, case ignored.
    static bool IsJpegName(const WCHAR* name);

    void Rescan(const WCHAR* folder);
    int ScanFolder(const WCHAR* folder, BOOL mark);
    void setInput(const LumImageItemList& other);
    void SetOutput(WCHAR* folderBuffer, WCHAR* nameBuffers, std::int32_t* countPointer);
    void LoadCardImages(const WCHAR* folder, const WCHAR* const* names, ResultItem* const* cards,
                        ResultSubItem* const* subCards, std::int32_t* countPointer);
    void LoadPageImages(const WCHAR* folder, const WCHAR* const* names, const WCHAR* const* pageTexts,
                        std::int32_t* countPointer);
    void AddItem(const ImageFileItem& item);
    void AddItem(const std::wstring& path, const std::wstring& name, const FILETIME& fileTime,
                 std::uint64_t fileSize, BOOL visible, BOOL current, BOOL marked);

    void DeleteMarkedFiles();
    void DeleteVisibleFiles();
    void DeleteAllFiles();
    void RemoveMarked(BOOL deleteFiles);
    void RemoveVisible(BOOL deleteFiles);
    void RemoveAll(BOOL deleteFiles);
    void RemoveAt(int index, BOOL deleteFiles);
    void RemoveItem(const ImageFileItem& item, BOOL deleteFiles);

    void Sort(std::int32_t mode, BOOL reverse);
    void ExportMarked();

private:
    void SortByKind();
    void LoadImages(const WCHAR* folder, const WCHAR* const* names, ResultItem* const* cards,
                    ResultSubItem* const* subCards, std::int32_t* countPointer);

    WCHAR m_folder[kFolderChars]{};
    std::int32_t m_filterMode = FILTER_ALL;
    std::int32_t* m_markedCountOut = nullptr;
    WCHAR* m_folderOut = nullptr;
    WCHAR* m_nameOut[kOutputSlots]{};
    ResultItem* m_cardOut[kOutputSlots]{};
    ResultSubItem* m_subCardOut[kOutputSlots]{};
    std::vector<ImageFileItem> m_items;
    ImageFileItem m_outOfRange;
};
