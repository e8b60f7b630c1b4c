// Stops the recognition started from the OCR dialogs.
#pragma once

// Clears the keep-going flag of the running recognition.
void CancelRecognition();
