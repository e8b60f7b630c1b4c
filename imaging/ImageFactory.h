// CeImageFactory: the viewer screens' road to the platform's imaging
// factory: picture files decoded into bitmaps no larger than 1280 x 960 (as
// CViewRect fits them), images scaled, GDI bitmaps wrapped as images. Every
// operation keeps its HRESULT in m_hrLast and answers 1 on success, 0 on
// failure; without a factory every operation fails with E_POINTER.
#pragma once

#include "plat/imaging.h"
#include "plat/windows.h"

class CeImageFactory {
public:
    static CeImageFactory* GetInstance();
    // The application's end: the factory and its imaging objects go.
    static void DeleteInstance();
    virtual ~CeImageFactory();

    // With decode set the file is decoded to a size-limited bitmap first.
    int LoadImageFromFile(LPCWSTR path, IImage** image, BOOL decode);
    // The bitmap is handed out also when the decode failed after it was made.
    int DecodeFileToBitmap(LPCWSTR path, IBitmapImage** bitmap);
    int CreateStreamFromFile(LPCWSTR path, IStream** stream);
    int CreateBitmapFromImage(IImage* image, IBitmapImage** bitmap);
    int CreateScaledBitmap(IImage* image, IBasicBitmapOps** ops);
    // A 16-bit DIB keeps its bit fields (565), so it is not read as 5-5-5.
    int CreateImageFromDIB(HBITMAP bitmap, IImage** image);
    int CloneImage(IBasicBitmapOps* ops, IImage** image);
    int LogDecoders();

    HRESULT m_hrLast = S_OK;

private:
    CeImageFactory();
    // The fitted size of a picture of width x height.
    SIZE Fit(UINT width, UINT height) const;
    int Done(HRESULT hr)
    {
        m_hrLast = hr;
        return hr >= 0 ? 1 : 0;
    }

    IImagingFactory* m_spFactory = nullptr;
    int m_nMaxWidth = 1280;
    int m_nMaxHeight = 960;
};
