// The screens the GUI-status mask names, one object each, made on first use.
#pragma once

#include "base_gui.h"
#include "message_popup_gui.h"
#include "preview_camcorder_gui.h"
#include "preview_camera_gui.h"
#include "preview_setting_gui.h"
#include "review_gui.h"
#include "thumbnail_gui.h"
#include "viewer_gui.h"

#include "single_pic_gui.h"  // CSinglePicBaseGUI, CReviewSingleGUI
