// Saving a captured diskette as the image file, and the name check that the
// loading of an image shares with it.
#ifndef STARTDISK_IMAGE_SAVE_H
#define STARTDISK_IMAGE_SAVE_H

#include <windows.h>

// The platform's ANSI file functions take names of fewer than MAX_PATH
// characters; a longer one is refused before it reaches them.
bool ImageNameFits(const char* name);

// Puts the whole diskette under RunState.imageFileName; true only when it
// stands there, on the disk. A failed save leaves the previous image as it was.
bool SaveImage(const unsigned char* image);

#endif
