#include "ImagePack.h"

#include <mutex>

#include "ImageUtil.h"
#include "ImagingInternal.h"
#include "system.h"

namespace {

std::mutex g_lock;
CeImagePack* g_pack = nullptr;

}  // namespace

CeImagePack* CeImagePack::GetInstance()
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_pack)
        g_pack = new CeImagePack();
    return g_pack;
}

void CeImagePack::DeleteInstance()
{
    std::lock_guard<std::mutex> guard(g_lock);
    delete g_pack;
    g_pack = nullptr;
}

CRotBitmap* CeImagePack::GetImage(UINT id)
{
    int at = LowerBound(id);
    if (at < GetCount() && items_[static_cast<size_t>(at)]->GetUserData() == id)
        return static_cast<CRotBitmap*>(items_[static_cast<size_t>(at)]);
    return AddImage(id);
}

CRotBitmap* CeImagePack::AddImage(UINT id)
{
    int at = LowerBound(id);
    if (at < GetCount() && items_[static_cast<size_t>(at)]->GetUserData() == id)
        return static_cast<CRotBitmap*>(items_[static_cast<size_t>(at)]);
    CeRefPtr<CRotBitmap> element;
    CRotBitmap::CreateInstance(element, true);
    if (!element)
        return nullptr;
    if (id == 0) {
        // The blank screen: one colour, at the screen's size of this moment.
        CSystem* system = CSystem::GetInstance();
        HBITMAP blank = CImageUtil::CreateDIB(system->ScreenWidth(), system->ScreenHeight(), 16, nullptr, TRUE);
        if (!blank || !element->Attach(blank, TRUE) || !element->Handle())
            return nullptr;
        BITMAP bm{};
        GetObjectW(element->Handle(), sizeof bm, &bm);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, element->Handle());
        HBRUSH brush = CreateSolidBrush(0x0000FFFF);
        RECT all{0, 0, bm.bmWidth, bm.bmHeight};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        SelectObject(dc, old);
        DeleteDC(dc);
    } else if (!element->LoadBitmap(id)) {
        WCHAR text[64];
        std::swprintf(text, 64, L"Failed to LoadBitmap(resourceid=%d)\r\n", static_cast<int>(id));
        LogFailure(__LINE__, L"CeImagePack::AddImage", text, L"CeImagePack");
        return nullptr;
    }
    element->SetUserData(id);
    Add(element.get());
    return element.get();
}

void CeImagePack::PurgeUnused()
{
    for (int i = 0; i < GetCount();) {
        CeRefCount* e = items_[static_cast<size_t>(i)];
        if (e->GetRefCount() == 1) {
            items_.erase(items_.begin() + i);
            OnRemove(e, i);
            e->Release();
        } else {
            ++i;
        }
    }
}
