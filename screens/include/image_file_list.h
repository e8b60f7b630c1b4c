// The stored-image list of the viewer.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CShot;

class CImageFileList : public CSingleton<CImageFileList> {
public:
    using CSingleton<CImageFileList>::GetInstance;

    CImageFileList();
    ~CImageFileList();

    void AddFile(CShot* shot);
    void Clear();
};
