// The GUI's bitmap cache as the shell's suites see it: its end is logged.
#include "ImagePack.h"
#include "neighbour_doubles.h"

void CeImagePack::DeleteInstance() { doubles::Calls().push_back("CeImagePack::DeleteInstance()"); }
