// The recognition run with the real engine on a card drawn by cardgen,
// stored as the camera stores it: a 1280 x 960 JPEG with its thumbnail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CardPicture.h"
#include "ImageDecoder.h"
#include "ocr_engine_api.h"
#include "recognition_fixture.h"
#include "result_records.h"

namespace {

class SinglePicturePeer : public RecognitionFixture {
protected:
    void SetUp() override
    {
        RecognitionFixture::SetUp();
        RegisterPictureDecoders();
        for (const auto& entry : std::filesystem::directory_iterator(LUM_ENGINE_DATA_DIR))
            if (entry.is_regular_file())
                std::filesystem::copy_file(entry.path(), root.path() / "Windows" / entry.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
    }

    // The card on white paper at the place the run crops, written as a
    // grey PGM and encoded by jpegtool with its EXIF thumbnail.
    bool StoreCard(const cardgen::Picture& card, const std::filesystem::path& jpeg)
    {
        const std::filesystem::path pgm = root.path() / "card.pgm";
        {
            std::ofstream out(pgm, std::ios::binary);
            out << "P5\n1280 960\n255\n";
            std::vector<char> row(1280);
            for (int y = 0; y < 960; ++y) {
                for (int x = 0; x < 1280; ++x) {
                    const bool inside = x >= 40 && x < 40 + card.width && y >= 140 && y < 140 + card.height;
                    row[static_cast<std::size_t>(x)] = static_cast<char>(
                        inside ? card.px[static_cast<std::size_t>(y - 140) * card.width + (x - 40)] : 255);
                }
                out.write(row.data(), static_cast<std::streamsize>(row.size()));
            }
        }
        const std::string command = std::string("\"") + LUM_BINARY_DIR + "/bin/jpegtool\" encode \"" + pgm.string() +
                                    "\" \"" + jpeg.string() + "\" --quality 95 --thumbnail 320x240 --exif > /dev/null";
        return std::system(command.c_str()) == 0;
    }
};

std::wstring Text(const ResultItem& item) { return std::wstring(item.text, ResultTextLength(item.text)); }

TEST_F(SinglePicturePeer, ACardgenCardGivesItsNameAndNumbersInTheirItems)
{
    const cardgen::CardText text;
    const cardgen::Picture card = cardgen::DrawCard(text, cardgen::Distortion::Clean);
    ASSERT_FALSE(card.px.empty()) << "no font";
    ASSERT_EQ(card.width, 1200);
    ASSERT_EQ(card.height, 680);

    const LPCWSTR path = L"\\My Documents\\KVIM\\B1.jpg";
    ASSERT_TRUE(StoreCard(card, root.path() / "My Documents" / "KVIM" / "B1.jpg"));
    std::vector<BYTE> grey;
    ASSERT_TRUE(CImageDecoder::GetInstance()->DecodeFileToGray(path, 1280, 960, &grey));
    BYTE* thumbnail = CImageDecoder::GetInstance()->DecodeJpegThumbnailToGray(path);
    EXPECT_NE(thumbnail, nullptr);
    std::free(thumbnail);

    SetOcrEngine(nullptr);
    realEngine = true;
    Name(0, L"B1.jpg");
    RunAndPump({});

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_GO_RESULT});
    EXPECT_EQ(resultMessages, 1);
    const ResultItem* items = frame->m_slots[0].items;
    ASSERT_NE(items, nullptr);
    int filled = 0;
    for (int i = 0; i < kResultCategoryCount; ++i)
        filled += ResultTextLength(items[i].text) > 0;
    EXPECT_GE(filled, 3);
    EXPECT_EQ(Text(items[RESULT_NAME]), L"Julia Hartmann");
    const std::wstring numbers = Text(items[RESULT_MOBILE]) + L"|" + Text(items[RESULT_WORK_PHONE]);
    EXPECT_TRUE(numbers.find(L"7946 0321") != std::wstring::npos || numbers.find(L"900123") != std::wstring::npos)
        << std::string(numbers.begin(), numbers.end());
    // The boxes lie in the whole picture: inside the card's place.
    EXPECT_GE(items[RESULT_NAME].box.left, 40);
    EXPECT_GE(items[RESULT_NAME].box.top, 140);
}

}  // namespace
