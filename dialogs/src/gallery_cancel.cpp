// Stops the gallery's run from outside (the main frame); alone in its file
// so that test suites with a double of it still link the gallery.
#include "gallery_dialog.h"
#include "recognition_cancel.h"

void CancelRecognition()
{
    if (CPageIndicator* owner = g_RecognitionProgress.owner.load())
        owner->Stop();
}
