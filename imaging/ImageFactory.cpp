#include "ImageFactory.h"

#include <cstring>
#include <cwchar>
#include <mutex>

#include "ImagingInternal.h"
#include "system.h"
#include "view_rect.h"

namespace {
std::mutex g_factoryLock;
CeImageFactory* g_factory = nullptr;
}  // namespace

CeImageFactory* CeImageFactory::GetInstance()
{
    std::lock_guard<std::mutex> guard(g_factoryLock);
    if (!g_factory)
        g_factory = new CeImageFactory();
    return g_factory;
}

void CeImageFactory::DeleteInstance()
{
    std::lock_guard<std::mutex> guard(g_factoryLock);
    delete g_factory;
    g_factory = nullptr;
}

CeImageFactory::CeImageFactory()
{
    m_hrLast = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                                reinterpret_cast<void**>(&m_spFactory));
    if (m_hrLast < 0)
        m_spFactory = nullptr;
}

CeImageFactory::~CeImageFactory()
{
    if (m_spFactory)
        m_spFactory->Release();
}

SIZE CeImageFactory::Fit(UINT width, UINT height) const
{
    CViewRect view(m_nMaxWidth, m_nMaxHeight);
    view.SetViewRect(0, 0, static_cast<int>(width), static_cast<int>(height));
    RECT r{};
    if (!view.GetFittedRect(&r, FALSE))
        return {0, 0};
    return {r.right - r.left, r.bottom - r.top};
}

int CeImageFactory::CreateStreamFromFile(LPCWSTR path, IStream** stream)
{
    if (!stream)
        return Done(E_POINTER);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Done(-1);
    DWORD size = GetFileSize(file, nullptr);
    HRESULT hr = E_FAIL;
    HGLOBAL block = size != INVALID_FILE_SIZE ? GlobalAlloc(GMEM_MOVEABLE, size + 10) : nullptr;
    DWORD read = 0;
    if (block && ReadFile(file, GlobalLock(block), size, &read, nullptr) && read == size) {
        GlobalUnlock(block);
        hr = CreateStreamOnHGlobal(block, TRUE, stream);
        if (hr >= 0)
            block = nullptr;  // the stream owns it now
    }
    if (block)
        GlobalFree(block);
    CloseHandle(file);
    return Done(hr);
}

int CeImageFactory::DecodeFileToBitmap(LPCWSTR path, IBitmapImage** bitmap)
{
    if (!bitmap)
        return Done(E_POINTER);
    if (!m_spFactory)
        return Done(E_POINTER);
    ComPtr<IStream> stream;
    if (!CreateStreamFromFile(path, stream.GetAddressOf()))
        return 0;
    CSystem::GetInstance()->LogMemoryStatus(0);
    ComPtr<IImageDecoder> decoder;
    HRESULT hr = m_spFactory->CreateImageDecoder(stream.Get(), DecoderInitFlagBuiltIn1st, decoder.GetAddressOf());
    ImageInfo info{};
    if (hr >= 0)
        hr = decoder->GetImageInfo(&info);
    IBitmapImage* made = nullptr;
    if (hr >= 0) {
        SIZE fitted = Fit(info.Width, info.Height);
        hr = m_spFactory->CreateNewBitmap(static_cast<UINT>(fitted.cx), static_cast<UINT>(fitted.cy),
                                          PixelFormat16bppRGB565, &made);
    }
    if (hr >= 0) {
        ComPtr<IImageSink> sink;
        hr = made->QueryInterface(IID_IImageSink, reinterpret_cast<void**>(sink.GetAddressOf()));
        if (hr >= 0)
            hr = decoder->BeginDecode(sink.Get(), nullptr);
        if (hr >= 0) {
            // The decoder may need several calls; give other threads a turn between them.
            do {
                hr = decoder->Decode();
                if (hr == E_PENDING)
                    Sleep(0);
            } while (hr == E_PENDING);
            hr = decoder->EndDecode(hr);
        }
    }
    *bitmap = made;
    return Done(hr);
}

int CeImageFactory::LoadImageFromFile(LPCWSTR path, IImage** image, BOOL decode)
{
    if (!image || !m_spFactory)
        return Done(E_POINTER);
    if (!decode)
        return Done(m_spFactory->CreateImageFromFile(path, image));
    IBitmapImage* bitmap = nullptr;
    int ok = DecodeFileToBitmap(path, &bitmap);
    if (bitmap) {
        HRESULT hr = bitmap->QueryInterface(IID_IImage, reinterpret_cast<void**>(image));
        bitmap->Release();
        if (ok)
            return Done(hr);
    }
    return 0;
}

int CeImageFactory::CreateBitmapFromImage(IImage* image, IBitmapImage** bitmap)
{
    if (!image || !bitmap || !m_spFactory)
        return Done(E_POINTER);
    ImageInfo info{};
    HRESULT hr = image->GetImageInfo(&info);
    if (hr < 0)
        return Done(hr);
    SIZE fitted = Fit(info.Width, info.Height);
    return Done(m_spFactory->CreateBitmapFromImage(image, static_cast<UINT>(fitted.cx), static_cast<UINT>(fitted.cy),
                                                   PixelFormat16bppRGB565, InterpolationHintDefault, bitmap));
}

int CeImageFactory::CreateScaledBitmap(IImage* image, IBasicBitmapOps** ops)
{
    if (!ops)
        return Done(E_POINTER);
    IBitmapImage* bitmap = nullptr;
    if (!CreateBitmapFromImage(image, &bitmap))
        return 0;
    HRESULT hr = bitmap->QueryInterface(IID_IBasicBitmapOps, reinterpret_cast<void**>(ops));
    bitmap->Release();
    return Done(hr);
}

int CeImageFactory::CreateImageFromDIB(HBITMAP bitmap, IImage** image)
{
    static constexpr LPCWSTR kWhere = L"CeImageFactory::CreateImageFromDIB";
    if (!image || !m_spFactory)
        return Done(E_POINTER);
    DIBSECTION ds{};
    if (GetObjectW(bitmap, sizeof ds, &ds) != static_cast<int>(sizeof ds) || !ds.dsBm.bmBits) {
        LogFailure(__LINE__, kWhere, L"CreateIImageFromHBITMAP\r\n", L"CeImageFactory");
        return Done(E_INVALIDARG);
    }
    int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight, bpp = ds.dsBm.bmBitsPixel;
    DWORD imageSize = static_cast<DWORD>((bpp * w + 31) / 32 * 4 * h);
    // A 5-6-5 section says so with its bit fields; without them readers take 5-5-5.
    DWORD masks = bpp == 16 && ds.dsBmih.biCompression == BI_BITFIELDS ? 12 : 0;
    DWORD offset = 54 + masks, fileSize = offset + imageSize;
    auto* file = static_cast<BYTE*>(CoTaskMemAlloc(fileSize));
    if (!file) {
        WCHAR text[96];
        std::swprintf(text, 96, L"FAILED CoTaskMemAlloc-0x%x bytes returned 0x%x\r\n", static_cast<unsigned>(fileSize),
                      static_cast<unsigned>(E_OUTOFMEMORY));
        LogFailure(__LINE__, kWhere, text, L"CeImageFactory");
        return Done(E_OUTOFMEMORY);
    }
    std::memset(file, 0, offset);
    auto put32 = [&](DWORD at, DWORD v) { std::memcpy(file + at, &v, 4); };
    file[0] = 'B', file[1] = 'M';
    put32(2, fileSize);
    put32(10, offset);
    put32(14, 40);
    put32(18, static_cast<DWORD>(w));
    put32(22, static_cast<DWORD>(ds.dsBmih.biHeight));
    WORD planes = 1, depth = static_cast<WORD>(bpp);
    std::memcpy(file + 26, &planes, 2);
    std::memcpy(file + 28, &depth, 2);
    put32(30, masks ? BI_BITFIELDS : BI_RGB);
    put32(34, imageSize);
    if (masks) {
        put32(54, ds.dsBitfields[0]);
        put32(58, ds.dsBitfields[1]);
        put32(62, ds.dsBitfields[2]);
    }
    std::memcpy(file + offset, ds.dsBm.bmBits, imageSize);
    if (*image) {
        (*image)->Release();
        *image = nullptr;
    }
    HRESULT hr = m_spFactory->CreateImageFromBuffer(file, fileSize, BufferDisposalFlagCoTaskMemFree, image);
    if (hr >= 0 && !*image)
        hr = E_OUTOFMEMORY;
    if (hr < 0) {
        LogFailure(__LINE__, kWhere, L"CreateIImageFromHBITMAP\r\n", L"CeImageFactory");
        if (*image) {
            (*image)->Release();
            *image = nullptr;
        } else {
            CoTaskMemFree(file);
        }
    }
    return Done(hr);
}

int CeImageFactory::CloneImage(IBasicBitmapOps* ops, IImage** image)
{
    if (!ops || !image)
        return Done(E_POINTER);
    IBitmapImage* clone = nullptr;
    HRESULT hr = ops->Clone(nullptr, &clone, TRUE);
    if (hr >= 0) {
        hr = clone->QueryInterface(IID_IImage, reinterpret_cast<void**>(image));
        clone->Release();
    }
    return Done(hr);
}

int CeImageFactory::LogDecoders()
{
    if (!m_spFactory)
        return Done(E_POINTER);
    UINT count = 0;
    ImageCodecInfo* list = nullptr;
    HRESULT hr = m_spFactory->GetInstalledDecoders(&count, &list);
    if (hr < 0)
        return Done(hr);
    for (UINT i = 0; i < count; ++i) {
        DebugPrint(L"<<< IImage Decoder [No. %d] >>>\r\n", static_cast<int>(i));
        DebugPrint(L"Name [%ls]\r\nDLL [%ls]\r\nFormat [%ls]\r\n", list[i].CodecName, list[i].DllName,
                   list[i].FormatDescription);
    }
    CoTaskMemFree(list);
    return Done(S_OK);
}
