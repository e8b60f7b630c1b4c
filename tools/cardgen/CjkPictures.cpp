#include "CjkPictures.h"

#include <filesystem>

namespace cardgen {
namespace {

constexpr int kCardWidth = 1200, kCardHeight = 680;
constexpr int kPageWidth = 1280, kPageHeight = 960;

struct Placed {
    int pixels, x, baseline;
    std::string text;
    std::uint8_t ink;
};

Picture Draw(Picture canvas, const std::vector<Placed>& lines) {
    if (!std::filesystem::exists(kCjkFont)) return {};
    for (const Placed& l : lines) {
        if (DrawText(canvas, kCjkFont, l.pixels, l.x, l.baseline, l.text, l.ink) < 0) return {};
    }
    return canvas;
}

}  // namespace

Picture DrawKoreanCard(const KoreanCardText& t, Distortion distortion) {
    Picture card = Draw(Paper(kCardWidth, kCardHeight, 40, 30),
                        {{52, 90, 140, t.name, 25},
                         {30, 92, 190, t.title, 60},
                         {30, 92, 232, t.department, 60},
                         {40, 90, 320, t.company, 30},
                         {28, 92, 390, "전화: " + t.telephone, 35},
                         {28, 92, 432, "팩스: " + t.fax, 35},
                         {28, 92, 474, "휴대폰: " + t.mobile, 35},
                         {28, 92, 516, t.email, 35},
                         {28, 92, 558, t.web, 35},
                         {26, 640, 600, t.address, 45}});
    return card.px.empty() ? card : Distort(std::move(card), distortion);
}

std::vector<std::string> ChineseCardLines() {
    return {"王小明", "销售经理", "蓝海科技有限公司", "电话: 010-6552-1234", "传真: 010-6552-1235",
            "手机: 138-1234-5678", "wang.xm@lanhai-tech.cn", "www.lanhai-tech.cn", "北京市海淀区中关村大街27号"};
}

Picture DrawChineseCard() {
    const std::vector<std::string> l = ChineseCardLines();
    return Draw(Paper(kCardWidth, kCardHeight, 40, 30),
                {{52, 90, 140, l[0], 25},
                 {30, 92, 190, l[1], 60},
                 {40, 90, 290, l[2], 30},
                 {28, 92, 370, l[3], 35},
                 {28, 92, 412, l[4], 35},
                 {28, 92, 454, l[5], 35},
                 {28, 92, 496, l[6], 35},
                 {28, 92, 538, l[7], 35},
                 {26, 92, 600, l[8], 45}});
}

std::vector<std::string> CjkPageLines(PageScript script) {
    switch (script) {
        case PageScript::Korean:
            return {"글자를 읽는 휴대폰 카메라는 명함과 문서를", "찍어서 그 안의 글을 알아봅니다. 사용자는",
                    "결과 화면에서 틀린 글자를 고치고 연락처나", "문서로 저장할 수 있습니다. 이 프로그램은",
                    "한국어와 중국어, 그리고 유럽의 여러 언어를", "지원하며, 사진이 기울어져 있어도 방향을",
                    "바로잡은 뒤에 인식을 시작합니다."};
        case PageScript::Simplified:
            return {"这是一款能够识别文字的手机相机程序。", "用户可以拍摄名片或者文件，然后在结果",
                    "画面中修改识别错误的文字，再把内容保存", "为联系人或者文本文件。程序支持中文、",
                    "韩文以及多种欧洲语言，照片即使有些倾斜", "也会先把方向调整好再开始识别。"};
        case PageScript::Traditional:
            return {"這是一款能夠識別文字的手機相機程式。", "使用者可以拍攝名片或者文件，然後在結果",
                    "畫面中修改識別錯誤的文字，再把內容儲存", "為聯絡人或者文字檔案。程式支援中文、",
                    "韓文以及多種歐洲語言，照片即使有些傾斜", "也會先把方向調整好再開始識別。"};
    }
    return {};
}

Picture DrawCjkPage(PageScript script, bool quarterTurn) {
    // A page shot with the handset held sideways still fills the camera's
    // frame: it is drawn upright in the turned frame, then turned.
    const int width = quarterTurn ? kPageHeight : kPageWidth, height = quarterTurn ? kPageWidth : kPageHeight;
    std::vector<Placed> lines;
    int baseline = 140;
    for (const std::string& text : CjkPageLines(script)) {
        lines.push_back({36, 50, baseline, text, 30});
        baseline += 70;
    }
    Picture page = Draw(Paper(width, height, 0, 0), lines);
    return quarterTurn && !page.px.empty() ? Turn(Blur(page, 0.6)) : page;
}

}  // namespace cardgen
