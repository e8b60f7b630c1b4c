// Pictures for the adapter's picture tests: files read the program's way.
#pragma once

#include <string>

#include "PictureFile.h"
#include "TessPicture.h"

namespace enginetests {

// A picture file in the program's grey; empty when it cannot be read.
inline plat::ocr::tess::Grey GreyFromFile(const std::string& path) {
    std::string error;
    const ocrtool::Grey grey = ocrtool::ToProgramGrey(ocrtool::ReadPicture(path, error));
    return {grey.width, grey.height, grey.px};
}

}  // namespace enginetests
