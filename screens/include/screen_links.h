// What the screens ask of the application object above them. The
// application defines these; the screens' tests link doubles.
#pragma once

// Puts the display orientation back after the display could not be set up.
void RestoreAppOrientation();
