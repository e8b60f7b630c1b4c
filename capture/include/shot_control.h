// The shots of the current capture: one for a single shot, up to 20 in a
// series; saved as files on request.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CShot;

class CShotControl : public CSingleton<CShotControl> {
public:
    using CSingleton<CShotControl>::GetInstance;

    CShotControl();
    ~CShotControl();

    // The shot at that index, or null.
    CShot* GetShot(int index);
    int GetShotCount() const;
    // Saves every held shot; the camera state is 4096 meanwhile, 1 after.
    void SaveAllShots();
    void ReleaseShots();
    void ReleaseShotsEx();
    // What the destructor does, for an explicit end.
    void Destroy();
};
