// Until the dialogs' recognition is built: nothing runs to be cancelled.
#include "recognition_cancel.h"

void CancelRecognition() {}
