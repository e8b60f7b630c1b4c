#include "image_file_list.h"

#include <algorithm>
#include <cwctype>

#include "ImageDecoder.h"
#include "debug_print.h"
#include "file_control.h"
#include "file_finder.h"
#include "rot_bitmap.h"

namespace {

constexpr LPCWSTR kMasks[] = {L"*.jpg", L"*.3gp"};

bool NewerThan(const CImageFileList::Entry& a, const CImageFileList::Entry& b)
{
    if (a.created.dwHighDateTime != b.created.dwHighDateTime)
        return a.created.dwHighDateTime > b.created.dwHighDateTime;
    return a.created.dwLowDateTime > b.created.dwLowDateTime;
}

bool EndsWithNoCase(const std::wstring& text, LPCWSTR tail)
{
    const size_t n = std::wcslen(tail);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::towlower(text[text.size() - n + i]) != std::towlower(tail[i]))
            return false;
    return true;
}

}  // namespace

CImageFileList::CImageFileList() = default;

CImageFileList::~CImageFileList() = default;

DWORD CImageFileList::HashPath(const std::wstring& path)
{
    DWORD h = 0;
    for (WCHAR c : path)
        h = h * 33 + static_cast<DWORD>(std::towupper(c));
    return h;
}

int CImageFileList::KindOf(const std::wstring& name)
{
    if (EndsWithNoCase(name, L".jpg"))
        return IMAGE_KIND_PICTURE;
    if (EndsWithNoCase(name, L".3gp"))
        return IMAGE_KIND_VIDEO;
    return IMAGE_KIND_NONE;
}

int CImageFileList::Scan()
{
    CFileControl* files = CFileControl::GetInstance();
    const int number = std::max(files->GetDCFNumber(), 1);
    const int folders = (number - 1) / 100 + 1;
    ClearEntries();
    for (int k = 0; k < folders; ++k) {
        WCHAR folder[MAX_PATH];
        swprintf(folder, MAX_PATH, L"\\%ls\\%03dQZPIX", files->GetStoragePath(), 100 + k);
        for (LPCWSTR mask : kMasks) {
            FileFindSettings request;
            request.root = folder;
            request.includeMasks = mask;
            CFileFinder finder(request);
            finder.Find();
            for (const CFileFinder::Entry& found : finder.Entries()) {
                Entry entry;
                entry.name = found.findData.cFileName;
                entry.path = CFileFinder::CombinePath(found.folder, entry.name);
                entry.hash = HashPath(entry.path);
                entry.created = found.findData.ftCreationTime;
                entry.size = found.findData.nFileSizeLow;
                entry.kind = KindOf(entry.name);
                if (entry.kind != IMAGE_KIND_NONE)
                    m_entries.push_back(std::move(entry));
            }
        }
    }
    std::stable_sort(m_entries.begin(), m_entries.end(), NewerThan);
    if (m_nCurrent >= GetCount())
        m_nCurrent = 0;
    return 1;
}

void CImageFileList::ClearEntries() { m_entries.clear(); }

void CImageFileList::Clear()
{
    ClearEntries();
    m_nCurrent = 0;
}

void CImageFileList::AddFile(CShot*) {}

const CImageFileList::Entry* CImageFileList::GetCurrent() const
{
    return InRange(m_nCurrent) ? &m_entries[m_nCurrent] : nullptr;
}

BOOL CImageFileList::SetCurrent(int index)
{
    if (!InRange(index))
        return FALSE;
    m_nCurrent = index;
    return TRUE;
}

int CImageFileList::Neighbour(int step) const
{
    const int n = GetCount();
    return ((m_nCurrent + step) % n + n) % n;
}

BOOL CImageFileList::MoveNext()
{
    if (!HasSeveral())
        return FALSE;
    m_nCurrent = Neighbour(1);
    return TRUE;
}

BOOL CImageFileList::MovePrev()
{
    if (!HasSeveral())
        return FALSE;
    m_nCurrent = Neighbour(-1);
    return TRUE;
}

CRotBitmap* CImageFileList::PrepareNextThumbnail() { return HasSeveral() ? MakeThumbnail(Neighbour(1)) : nullptr; }
CRotBitmap* CImageFileList::PreparePrevThumbnail() { return HasSeveral() ? MakeThumbnail(Neighbour(-1)) : nullptr; }
CRotBitmap* CImageFileList::MakeCurrentThumbnail() { return MakeThumbnail(m_nCurrent); }

CRotBitmap* CImageFileList::MakeThumbnail(int index)
{
    if (!InRange(index))
        return nullptr;
    return m_entries[index].kind == IMAGE_KIND_VIDEO ? MakeVideoThumbnail(index) : MakePictureThumbnail(index);
}

CRotBitmap* CImageFileList::AttachThumbnail(Entry& entry, HBITMAP bitmap)
{
    if (!bitmap)
        return nullptr;
    CeRefPtr<CRotBitmap> thumbnail;
    CRotBitmap::CreateInstance(thumbnail);
    if (!thumbnail) {
        DeleteObject(bitmap);
        return nullptr;
    }
    if (!thumbnail->Attach(bitmap, TRUE))
        return nullptr;
    entry.thumbnail = thumbnail;
    return entry.thumbnail.get();
}

CRotBitmap* CImageFileList::MakePictureThumbnail(int index)
{
    if (!InRange(index))
        return nullptr;
    Entry& entry = m_entries[index];
    if (entry.thumbnail)
        return entry.thumbnail.get();
    CImageDecoder* decoder = CImageDecoder::GetInstance();
    HBITMAP bitmap = decoder->DecodeJpegThumbnailToDIB(entry.path.c_str());
    if (!bitmap) {
        HDC screen = GetDC(nullptr);
        bitmap = decoder->DecodeFileToDIB(screen, entry.path.c_str(), kThumbnailWidth, kThumbnailHeight);
        ReleaseDC(nullptr, screen);
    }
    return AttachThumbnail(entry, bitmap);
}

CRotBitmap* CImageFileList::MakeVideoThumbnail(int index)
{
    if (!InRange(index))
        return nullptr;
    Entry& entry = m_entries[index];
    if (entry.thumbnail)
        return entry.thumbnail.get();
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap =
        CImageDecoder::GetInstance()->DecodeFileToDIB(screen, entry.path.c_str(), kThumbnailWidth, kThumbnailHeight);
    ReleaseDC(nullptr, screen);
    return AttachThumbnail(entry, bitmap);
}

BOOL CImageFileList::GetCurrentName(LPWSTR buffer, int chars) const
{
    const Entry* entry = GetCurrent();
    if (!entry || !buffer || chars < 1)
        return FALSE;
    wcsncpy(buffer, entry->name.c_str(), static_cast<size_t>(chars) - 1);
    buffer[chars - 1] = 0;
    return TRUE;
}

std::wstring CImageFileList::GetPath(int index) const { return InRange(index) ? m_entries[index].path : std::wstring(); }

BOOL CImageFileList::IsMarked(int index) const { return InRange(index) && m_entries[index].marked; }

BOOL CImageFileList::SetMarked(int index, BOOL marked)
{
    if (!InRange(index))
        return FALSE;
    m_entries[index].marked = marked ? 1 : 0;
    return TRUE;
}

int CImageFileList::GetKind(int index) const { return InRange(index) ? m_entries[index].kind : IMAGE_KIND_NONE; }

void CImageFileList::ReleaseThumbnail(int index)
{
    if (InRange(index))
        m_entries[index].thumbnail = nullptr;
}

CeRefPtr<CRotImage> CImageFileList::CreateCurrentImage()
{
    const Entry* entry = GetCurrent();
    if (!entry)
        return {};
    CeRefPtr<CRotImage> image(new CRotImage);
    if (entry->kind == IMAGE_KIND_PICTURE) {
        if (!image->LoadFromFile(entry->path.c_str()))
            return {};
        return image;
    }
    if (entry->kind == IMAGE_KIND_VIDEO) {
        CRotBitmap* thumbnail = MakeCurrentThumbnail();
        // The thumbnail is kept turned as the image is: no second turn.
        if (!thumbnail || !image->SetBitmap(thumbnail->Handle(), FALSE, FALSE))
            return {};
        return image;
    }
    return {};
}

BOOL CImageFileList::Erase(int index, bool deleteFile)
{
    if (!InRange(index))
        return FALSE;
    DebugPrint(L"\r\n[LumOCR] before delete item : %d", GetCount());
    if (deleteFile)
        DeleteFileW(m_entries[index].path.c_str());
    m_entries.erase(m_entries.begin() + index);
    DebugPrint(L"\r\n[LumOCR] after delete item : %d", GetCount());
    return TRUE;
}

BOOL CImageFileList::DeleteAt(int index) { return Erase(index, true); }
BOOL CImageFileList::RemoveAt(int index) { return Erase(index, false); }

BOOL CImageFileList::DeleteCurrent()
{
    const BOOL done = DeleteAt(m_nCurrent);
    if (m_nCurrent >= GetCount())
        m_nCurrent = 0;
    return done;
}
