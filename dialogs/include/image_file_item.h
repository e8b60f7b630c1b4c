// One picture (or the parent entry, or a sub-folder) of the picture model
// that the gallery, the zoom view and the result views share.
#pragma once

#include <cstdint>
#include <string>

#include "plat/windows.h"
#include "result_records.h"

class ImageFileItem {
public:
    enum Type : std::int32_t {
        TYPE_NONE = 0,      // the ".." entry and folders
        TYPE_CARD = 1,      // a business-card picture
        TYPE_DOCUMENT = 2,  // a document picture
        TYPE_OTHER = 3,     // any other file
    };

    ImageFileItem() = default;
    ImageFileItem(const ImageFileItem&) = default;
    ImageFileItem(ImageFileItem&&) = default;
    ImageFileItem& operator=(ImageFileItem&&) = default;
    // Copies the file's facts and flags; the result pointers stay this
    // record's own (a copied record does not take over another's results).
    ImageFileItem& operator=(const ImageFileItem& other);

    // The kind that a file name gives.
    static Type KindOfName(const std::wstring& name);
    static bool IsSameFile(const ImageFileItem& a, const ImageFileItem& b) { return a.m_path == b.m_path; }

    const std::wstring& GetPath() const { return m_path; }
    void SetPath(const std::wstring& path) { m_path = path; }
    const std::wstring& GetName() const { return m_name; }
    // Also derives the kind.
    void SetName(const std::wstring& name);
    std::int32_t GetType() const { return m_type; }
    void SetType(std::int32_t type) { m_type = type; }
    const FILETIME& GetFileTime() const { return m_fileTime; }
    void SetFileTime(const FILETIME& time) { m_fileTime = time; }
    std::uint64_t GetFileSize() const { return m_fileSize; }
    void SetFileSize(std::uint64_t size) { m_fileSize = size; }
    BOOL IsVisible() const { return m_visible; }
    void SetVisible(BOOL visible) { m_visible = visible ? 1 : 0; }
    BOOL IsCurrent() const { return m_current; }
    void SetCurrent(BOOL current) { m_current = current ? 1 : 0; }
    BOOL IsMarked() const { return m_marked; }
    void SetMarked(BOOL marked) { m_marked = marked ? 1 : 0; }
    void ToggleMarked() { m_marked = m_marked ? 0 : 1; }
    ResultItem* GetResultCards() const { return m_resultCards; }
    void SetResultCards(ResultItem* cards) { m_resultCards = cards; }
    ResultSubItem* GetResultSubCards() const { return m_resultSubCards; }
    void SetResultSubCards(ResultSubItem* subCards) { m_resultSubCards = subCards; }

    bool IsEmpty() const { return m_path.empty(); }
    // Visibility under filter mode 1 (cards) or 2 (documents); folders pass both.
    bool PassesFilter(std::int32_t mode) const;

private:
    std::wstring m_path;
    std::wstring m_name;
    std::int32_t m_type = TYPE_NONE;
    FILETIME m_fileTime{};
    std::uint64_t m_fileSize = 0;
    BOOL m_visible = 0;
    BOOL m_current = 0;
    BOOL m_marked = 0;
    ResultItem* m_resultCards = nullptr;
    ResultSubItem* m_resultSubCards = nullptr;
};
