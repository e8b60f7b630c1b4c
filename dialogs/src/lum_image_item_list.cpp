#include "lum_image_item_list.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <mutex>
#include <string>

namespace {

std::mutex g_instanceLock;
LumImageItemList* g_instance = nullptr;

// Names compare by code unit; a prefix sorts first.
bool NameLess(const ImageFileItem& a, const ImageFileItem& b) { return a.GetName() < b.GetName(); }

std::wstring Bounded(const WCHAR* text, size_t limit)
{
    std::wstring out;
    for (size_t i = 0; text && i < limit && text[i]; ++i)
        out.push_back(text[i]);
    return out;
}

void CopyBounded(WCHAR* out, const std::wstring& text, size_t chars)
{
    size_t n = std::min(text.size(), chars - 1);
    std::copy_n(text.data(), n, out);
    std::fill(out + n, out + chars, 0);
}

}  // namespace

LumImageItemList::LumImageItemList() = default;

LumImageItemList* LumImageItemList::GetInstance()
{
    std::lock_guard lock(g_instanceLock);
    if (!g_instance)
        g_instance = new LumImageItemList();
    return g_instance;
}

void LumImageItemList::DestroyInstance()
{
    std::lock_guard lock(g_instanceLock);
    delete g_instance;
    g_instance = nullptr;
}

int LumImageItemList::GetVisibleCount() const
{
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(), [](auto& i) { return i.IsVisible(); }));
}

int LumImageItemList::GetMarkedCount() const
{
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(), [](auto& i) { return i.IsMarked(); }));
}

int LumImageItemList::GetBusinessCardCount() const
{
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(),
                                          [](auto& i) { return i.GetType() == ImageFileItem::TYPE_CARD; }));
}

int LumImageItemList::GetDocumentCount() const
{
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(),
                                          [](auto& i) { return i.GetType() == ImageFileItem::TYPE_DOCUMENT; }));
}

ImageFileItem& LumImageItemList::GetItemAt(int index)
{
    if (index >= 0) {
        for (ImageFileItem& item : m_items) {
            if (!item.IsVisible())
                continue;
            if (index-- == 0)
                return item;
        }
    }
    m_outOfRange = ImageFileItem();
    return m_outOfRange;
}

ImageFileItem* LumImageItemList::GetRecord(int position)
{
    if (position < 0 || position >= GetCount())
        return nullptr;
    return &m_items[static_cast<size_t>(position)];
}

void LumImageItemList::SetFilterMode(std::int32_t mode)
{
    m_filterMode = mode;
    if (mode < FILTER_ALL || mode > FILTER_DOCUMENTS)
        return;
    for (ImageFileItem& item : m_items)
        item.SetVisible(item.PassesFilter(mode));
}

void LumImageItemList::SetCurrent(int index)
{
    for (ImageFileItem& item : m_items)
        item.SetCurrent(FALSE);
    if (ImageFileItem* item = GetRecord(index))
        item->SetCurrent(TRUE);
}

int LumImageItemList::FindCurrent() const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].IsCurrent())
            return static_cast<int>(i);
    return -1;
}

int LumImageItemList::FindByName(const std::wstring& name) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].GetName() == name)
            return static_cast<int>(i);
    return -1;
}

ImageFileItem LumImageItemList::GetCurrentItem() const
{
    int current = FindCurrent();
    return current < 0 ? ImageFileItem() : m_items[static_cast<size_t>(current)];
}

void LumImageItemList::MarkAll()
{
    for (ImageFileItem& item : m_items)
        item.SetMarked(TRUE);
}

void LumImageItemList::MarkVisible()
{
    for (ImageFileItem& item : m_items)
        if (item.IsVisible())
            item.SetMarked(TRUE);
}

void LumImageItemList::UnmarkAll()
{
    for (ImageFileItem& item : m_items)
        item.SetMarked(FALSE);
}

void LumImageItemList::ShowAll()
{
    for (ImageFileItem& item : m_items)
        item.SetVisible(TRUE);
}

void LumImageItemList::SetMarkedAt(int index, BOOL marked)
{
    if (ImageFileItem* item = GetRecord(index))
        item->SetMarked(marked);
}

void LumImageItemList::ToggleMarkedAt(int index)
{
    if (ImageFileItem* item = GetRecord(index))
        item->ToggleMarked();
}

void LumImageItemList::SetVisibleAt(int index, BOOL visible)
{
    if (ImageFileItem* item = GetRecord(index))
        item->SetVisible(visible);
}

bool LumImageItemList::IsJpegName(const WCHAR* name)
{
    if (!name)
        return false;
    std::wstring lower;
    for (const WCHAR* p = name; *p; ++p)
        lower.push_back(static_cast<WCHAR>(std::towlower(*p)));
    return lower.ends_with(L".jpg") || lower.ends_with(L".jpeg");
}

void LumImageItemList::Rescan(const WCHAR* folder)
{
    m_items.clear();
    CopyBounded(m_folder, Bounded(folder, kFolderChars), kFolderChars);
    ScanFolder(folder, FALSE);
    SetCurrent(0);
    SetFilterMode(FILTER_CARDS);
    SortByKind();
}

int LumImageItemList::ScanFolder(const WCHAR* folder, BOOL mark)
{
    std::wstring dir = Bounded(folder, kFolderChars - 1);
    if (dir.size() > 2 && dir[0] == L'\\' && dir[1] == L'\\')
        dir.erase(0, 1);
    std::wstring pattern = dir + L"\\*.*";
    if (dir != L"\\\\" && dir != L"\\") {
        WCHAR parent[MAX_PATH];
        std::wstring up = dir + L"\\..";
        ImageFileItem item;
        item.SetPath(PathCanonicalizeW(parent, up.c_str()) ? parent : up);
        item.SetName(L"..");
        item.SetType(ImageFileItem::TYPE_NONE);
        item.SetVisible(TRUE);
        item.SetMarked(mark);
        m_items.push_back(item);
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    std::wstring base = dir.ends_with(L'\\') ? dir : dir + L"\\";
    do {
        ImageFileItem item;
        item.SetPath(base + found.cFileName);
        item.SetName(found.cFileName);
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder)
            item.SetType(ImageFileItem::TYPE_NONE);
        item.SetFileTime(found.ftLastWriteTime);
        item.SetVisible(TRUE);
        item.SetMarked(mark);
        if (IsJpegName(found.cFileName)) {
            item.SetFileSize((static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
            m_items.push_back(item);
        } else if (isFolder) {
            m_items.push_back(item);
        } else {
            std::wstring line = L"[LumOCR] " + std::wstring(found.cFileName) + L"\n";
            OutputDebugStringW(line.c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return 0;
}

void LumImageItemList::setInput(const LumImageItemList& other)
{
    if (&other == this)
        return;
    std::copy_n(other.m_folder, kFolderChars, m_folder);
    m_filterMode = other.m_filterMode;
    // Copy-construction keeps the result pointers too.
    m_items.clear();
    for (const ImageFileItem& item : other.m_items)
        m_items.emplace_back(item);
    m_markedCountOut = other.m_markedCountOut;
    m_folderOut = other.m_folderOut;
    std::copy_n(other.m_nameOut, kOutputSlots, m_nameOut);
    std::copy_n(other.m_cardOut, kOutputSlots, m_cardOut);
    std::copy_n(other.m_subCardOut, kOutputSlots, m_subCardOut);
    SortByKind();
}

void LumImageItemList::SetOutput(WCHAR* folderBuffer, WCHAR* nameBuffers, std::int32_t* countPointer)
{
    m_markedCountOut = countPointer;
    m_folderOut = folderBuffer;
    for (int i = 0; i < kOutputSlots; ++i) {
        m_nameOut[i] = nameBuffers ? nameBuffers + static_cast<size_t>(i) * kFolderChars : nullptr;
        if (m_nameOut[i])
            std::fill_n(m_nameOut[i], kFolderChars, 0);
    }
    Rescan(folderBuffer);
}

void LumImageItemList::LoadImages(const WCHAR* folder, const WCHAR* const* names, ResultItem* const* cards,
                                  ResultSubItem* const* subCards, std::int32_t* countPointer)
{
    m_items.clear();
    std::wstring dir = Bounded(folder, kFolderChars - 2);
    if (!dir.ends_with(L'\\'))
        dir.push_back(L'\\');
    m_markedCountOut = countPointer;
    CopyBounded(m_folder, dir, kFolderChars);
    int count = countPointer ? std::min<std::int32_t>(*countPointer, kOutputSlots) : 0;
    for (int i = 0; i < count; ++i) {
        if (!names || !names[i])
            continue;
        std::wstring path = dir + names[i];
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        FILETIME written{};
        GetFileTime(file, nullptr, nullptr, &written);
        DWORD size = GetFileSize(file, nullptr);
        AddItem(path, names[i], written, size, TRUE, FALSE, FALSE);
        if (cards)
            m_items.back().SetResultCards(cards[i]);
        if (subCards)
            m_items.back().SetResultSubCards(subCards[i]);
        CloseHandle(file);
    }
}

void LumImageItemList::LoadCardImages(const WCHAR* folder, const WCHAR* const* names, ResultItem* const* cards,
                                      ResultSubItem* const* subCards, std::int32_t* countPointer)
{
    LoadImages(folder, names, cards, subCards, countPointer);
}

void LumImageItemList::LoadPageImages(const WCHAR* folder, const WCHAR* const* names, const WCHAR* const*,
                                      std::int32_t* countPointer)
{
    LoadImages(folder, names, nullptr, nullptr, countPointer);
}

void LumImageItemList::AddItem(const ImageFileItem& item) { m_items.emplace_back(item); }

void LumImageItemList::AddItem(const std::wstring& path, const std::wstring& name, const FILETIME& fileTime,
                               std::uint64_t fileSize, BOOL visible, BOOL current, BOOL marked)
{
    ImageFileItem item;
    item.SetPath(path);
    item.SetName(name);
    item.SetFileTime(fileTime);
    item.SetFileSize(fileSize);
    item.SetVisible(visible);
    item.SetCurrent(current);
    item.SetMarked(marked);
    m_items.push_back(std::move(item));
}

void LumImageItemList::DeleteMarkedFiles()
{
    for (const ImageFileItem& item : m_items)
        if (item.IsMarked() && item.GetType() != ImageFileItem::TYPE_NONE)
            DeleteFileW(item.GetPath().c_str());
}

void LumImageItemList::DeleteVisibleFiles()
{
    for (const ImageFileItem& item : m_items)
        if (item.IsVisible() && item.GetType() != ImageFileItem::TYPE_NONE)
            DeleteFileW(item.GetPath().c_str());
}

void LumImageItemList::DeleteAllFiles()
{
    for (const ImageFileItem& item : m_items)
        if (item.GetType() != ImageFileItem::TYPE_NONE)
            DeleteFileW(item.GetPath().c_str());
}

void LumImageItemList::RemoveMarked(BOOL deleteFiles)
{
    if (deleteFiles)
        DeleteMarkedFiles();
    std::erase_if(m_items, [](const ImageFileItem& i) { return i.IsMarked(); });
}

void LumImageItemList::RemoveVisible(BOOL deleteFiles)
{
    if (deleteFiles)
        DeleteVisibleFiles();
    std::erase_if(m_items,
                  [](const ImageFileItem& i) { return i.IsVisible() && i.GetType() != ImageFileItem::TYPE_NONE; });
}

void LumImageItemList::RemoveAll(BOOL deleteFiles)
{
    if (deleteFiles)
        DeleteAllFiles();
    m_items.clear();
}

void LumImageItemList::RemoveAt(int index, BOOL deleteFiles)
{
    ImageFileItem* item = GetRecord(index);
    if (!item)
        return;
    if (deleteFiles)
        DeleteFileW(item->GetPath().c_str());
    m_items.erase(m_items.begin() + index);
}

void LumImageItemList::RemoveItem(const ImageFileItem& item, BOOL deleteFiles)
{
    std::wstring path = item.GetPath();  // item may be one of ours
    if (deleteFiles)
        DeleteFileW(path.c_str());
    std::erase_if(m_items, [&](const ImageFileItem& i) { return i.GetPath() == path; });
}

void LumImageItemList::SortByKind()
{
    // Kind ascending (folders first, then cards, documents, other files), names ascending.
    std::sort(m_items.begin(), m_items.end(), [](const ImageFileItem& a, const ImageFileItem& b) {
        if (a.GetType() != b.GetType())
            return a.GetType() < b.GetType();
        return NameLess(a, b);
    });
}

void LumImageItemList::Sort(std::int32_t mode, BOOL reverse)
{
    switch (mode) {
    case SORT_TIME:
        std::sort(m_items.begin(), m_items.end(), [](const ImageFileItem& a, const ImageFileItem& b) {
            return CompareFileTime(&a.GetFileTime(), &b.GetFileTime()) < 0;
        });
        break;
    case SORT_NAME:
        std::sort(m_items.begin(), m_items.end(), NameLess);
        break;
    case SORT_KIND:
        std::sort(m_items.begin(), m_items.end(), [](const ImageFileItem& a, const ImageFileItem& b) {
            if (a.GetType() != b.GetType())
                return a.GetType() > b.GetType();
            return NameLess(b, a);
        });
        break;
    case SORT_SIZE:
        std::sort(m_items.begin(), m_items.end(),
                  [](const ImageFileItem& a, const ImageFileItem& b) { return a.GetFileSize() < b.GetFileSize(); });
        break;
    default:
        return;
    }
    if (reverse)
        std::reverse(m_items.begin(), m_items.end());
}

void LumImageItemList::ExportMarked()
{
    if (!m_markedCountOut)
        return;
    *m_markedCountOut = GetMarkedCount();
    if (!m_folderOut)
        return;
    std::copy_n(m_folder, kFolderChars, m_folderOut);
    int k = 0;
    for (const ImageFileItem& item : m_items) {
        if (!item.IsMarked())
            continue;
        if (k >= kOutputSlots)
            break;
        if (m_nameOut[k])
            CopyBounded(m_nameOut[k], item.GetName(), kFolderChars);
        if (m_cardOut[k] && m_subCardOut[k]) {
            if (const ResultItem* cards = item.GetResultCards()) {
                for (int i = 0; i < kResultCategoryCount && cards[i].type != kResultEndType; ++i)
                    m_cardOut[k][i] = cards[i];
            }
            // The picture's own seven alternatives records, never past them.
            if (const ResultSubItem* subs = item.GetResultSubCards())
                std::copy_n(subs, kResultCategoryCount, m_subCardOut[k]);
        }
        ++k;
    }
}
