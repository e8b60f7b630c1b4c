// camtool shoot: one picture taken and saved as the program does it.
#pragma once

// With autoShot the capture waits for the preview worker to find a card;
// with gps the settings use the GPS and wait for a position first. 0 when a
// picture was saved within 10 s, else 1. The platform must be started.
int Shoot(bool autoShot, bool gps);
