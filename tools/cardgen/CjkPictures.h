// Korean and Chinese test pictures drawn in the project's CJK font: a Korean
// card (the four states of the Latin card), a Chinese card, and Korean,
// simplified and traditional Chinese pages, with the text of each.
#pragma once

#include <string>
#include <vector>

#include "CardPicture.h"

namespace cardgen {

inline constexpr const char* kCjkFont = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

struct KoreanCardText {
    std::string name = "김민준";
    std::string title = "과장";
    std::string department = "기술영업팀";
    std::string company = "(주)푸른바다시스템";
    std::string telephone = "02-555-1234";
    std::string fax = "02-555-1235";
    std::string mobile = "010-1234-5678";
    std::string email = "minjun.kim@purunbada.co.kr";
    std::string web = "www.purunbada.co.kr";
    std::string address = "서울시 강남구 테헤란로 123";
};

// 1200 x 680 (680 x 1200 after a quarter turn); empty when the font is missing.
Picture DrawKoreanCard(const KoreanCardText& text, Distortion distortion);

// The Chinese card: its lines as printed, top to bottom.
std::vector<std::string> ChineseCardLines();
Picture DrawChineseCard();

enum class PageScript { Korean, Simplified, Traditional };

// The page's lines as printed.
std::vector<std::string> CjkPageLines(PageScript script);

// 1280 x 960; when asked, the page was drawn upright in 960 x 1280 and turned a
// quarter clockwise into the frame.
Picture DrawCjkPage(PageScript script, bool quarterTurn);

}  // namespace cardgen
