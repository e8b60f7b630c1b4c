#include "picture_recognition.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "ImageDecoder.h"
#include "debug_print.h"
#include "ocr_engine_api.h"

namespace {

constexpr int kCardModeCode = 7;
constexpr int kDocumentModeCode = 16;
constexpr int kWindowsFolder = 36;
constexpr std::size_t kTextResultBytes = 5620;

std::atomic<RecognitionAlloc>& Alloc()
{
    static std::atomic<RecognitionAlloc> alloc{&std::calloc};
    return alloc;
}

struct FreeBlock {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Block = std::unique_ptr<T, FreeBlock>;

template <class T>
Block<T> Allocate(std::size_t count)
{
    return Block<T>(static_cast<T*>(RecognitionAllocate(count, sizeof(T))));
}

void LogAllocFail(int line) { DebugPrint(L"[LumOCR] ALLOC FAIL[%d]\n", line); }

void Call(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

}  // namespace

RecognitionLanguage RecognitionLanguageOf(int index, bool card)
{
    struct Row {
        OcrLanguageCode card, document;
        UINT codePage;
    };
    static constexpr Row kRows[] = {
        {0, 0, CP_ACP},      // English: the mode's code alone
        {9, 25, CP_ACP},     // German
        {8, 24, CP_ACP},     // French
        {10, 28, CP_ACP},    // Italian
        {13, 35, CP_ACP},    // Spanish
        {11, 32, CP_ACP},    // Portuguese
        {12, 34, 1251},      // Russian
        {14, 38, 1251},      // Ukrainian
    };
    RecognitionLanguage language{{card ? kCardModeCode : kDocumentModeCode, 0, 0}, CP_ACP};
    if (index < 0 || index >= static_cast<int>(std::size(kRows)))
        return language;
    language.codes[1] = card ? kRows[index].card : kRows[index].document;
    language.codePage = kRows[index].codePage;
    return language;
}

LPCSTR GetEngineDirectory()
{
    static WCHAR wide[MAX_PATH] = {};
    static char narrow[MAX_PATH] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        if (!SHGetSpecialFolderPath(nullptr, wide, kWindowsFolder, FALSE))
            std::wcscpy(wide, L"\\Windows");
        std::size_t length = std::wcslen(wide);
        if (length + 1 < MAX_PATH && (length == 0 || wide[length - 1] != L'\\'))
            std::wcscat(wide, L"\\");
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, MAX_PATH, nullptr, nullptr);
    });
    return narrow;
}

void CropCardPicture(const BYTE* picture, BYTE* crop)
{
    for (int y = 0; y < kCardCropHeight; ++y)
        std::memcpy(crop + static_cast<std::size_t>(y) * kCardCropWidth,
                    picture + static_cast<std::size_t>(y + kCardCropTop) * kRecognitionWidth + kCardCropLeft,
                    kCardCropWidth);
}

void SetRecognitionAlloc(RecognitionAlloc alloc) { Alloc().store(alloc ? alloc : &std::calloc); }

void* RecognitionAllocate(std::size_t count, std::size_t size) { return Alloc().load()(count, size); }

int DocumentLength(const OcrTextResult& result)
{
    if (result.length < 1)
        return 0;
    return result.length > kOcrTextBytes ? kOcrTextBytes : result.length;
}

PictureOutcome RecognizePicture(const std::wstring& path, bool card, const RecognitionLanguage& language,
                                const PictureHooks& hooks, PictureProduct* product)
{
    *product = PictureProduct{};
    const OcrEngineApi& engine = OcrEngine();

    // Every buffer of the picture lives in this call only.
    std::vector<BYTE> grey;
    bool decoded = false;
    try {
        decoded = CImageDecoder::GetInstance()->DecodeFileToGray(path.c_str(), kRecognitionWidth, kRecognitionHeight,
                                                                &grey);
    } catch (const std::bad_alloc&) {
        LogAllocFail(__LINE__);
        return PictureOutcome::NO_MEMORY;
    }
    if (!decoded || grey.size() != static_cast<std::size_t>(kRecognitionWidth) * kRecognitionHeight) {
        DebugPrint(L"[TRAVEK] FAIL TO DECODE JPEG <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<[SinglePicBaseGUI] %ls\n",
                   path.c_str());
        return PictureOutcome::NOT_DECODED;
    }

    HeapCompact(GetProcessHeap(), 0);
    Block<BYTE> work = Allocate<BYTE>(kEngineWorkBytes);
    if (!work) {
        LogAllocFail(__LINE__);
        return PictureOutcome::NO_MEMORY;
    }
    const LPCSTR directory = GetEngineDirectory();
    Block<char> database = Allocate<char>(std::strlen(directory) + 1);
    if (!database) {
        LogAllocFail(__LINE__);
        return PictureOutcome::NO_MEMORY;
    }
    std::strcpy(database.get(), directory);
    engine.initialize(work.get(), kEngineWorkBytes, hooks.progress, language.codes, database.get());
    database.reset();
    // Initialised: whatever happens to this picture, the engine is let go.
    struct Finalize {
        const OcrEngineApi& engine;
        ~Finalize() { engine.finalize(0); }
    } finalizeEngine{engine};

    Block<BYTE> thumbnail(CImageDecoder::GetInstance()->DecodeJpegThumbnailToGray(path.c_str()));
    OcrImage small{thumbnail.get(), kDirectionWidth, kDirectionHeight};
    auto checkDirection = [&](OcrImage* picture) {
        Call(hooks.beforeDirection);
        product->direction = engine.checkImageDirection(&small, picture);
        if (hooks.direction)
            hooks.direction(product->direction);
    };
    auto stopped = [&] { return hooks.stopped && hooks.stopped(); };

    if (card) {
        HeapCompact(GetProcessHeap(), 0);
        Block<BYTE> crop = Allocate<BYTE>(static_cast<std::size_t>(kCardCropWidth) * kCardCropHeight);
        if (!crop) {
            LogAllocFail(__LINE__);
            return PictureOutcome::NO_MEMORY;
        }
        CropCardPicture(grey.data(), crop.get());
        std::vector<BYTE>().swap(grey);
        OcrImage picture{crop.get(), kCardCropWidth, kCardCropHeight};
        Block<OcrCardField> fields = Allocate<OcrCardField>(kOcrMaxCardFields);
        if (!fields) {
            LogAllocFail(__LINE__);
            return PictureOutcome::NO_MEMORY;
        }
        for (int f = 0; f < kOcrMaxCardFields; ++f)
            fields.get()[f].type = OCR_FIELD_NONE;
        checkDirection(&picture);
        Call(hooks.aroundEngine);
        engine.recognizeBizCard(&picture, fields.get());
        Call(hooks.aroundEngine);
        thumbnail.reset();
        crop.reset();
        if (stopped())
            return PictureOutcome::STOPPED;
        if (hooks.keepCard)
            product->categories = hooks.keepCard(fields.get(), product->direction, language.codePage == 1251);
        return PictureOutcome::READ;
    }

    Block<BYTE> textBlock = Allocate<BYTE>(kTextResultBytes);
    if (!textBlock) {
        LogAllocFail(__LINE__);
        return PictureOutcome::NO_MEMORY;
    }
    auto* result = reinterpret_cast<OcrTextResult*>(textBlock.get());
    OcrImage picture{grey.data(), kRecognitionWidth, kRecognitionHeight};
    checkDirection(&picture);
    Call(hooks.aroundEngine);
    engine.recognizeDocument(&picture, result);
    Call(hooks.aroundEngine);
    thumbnail.reset();
    std::vector<BYTE>().swap(grey);
    if (stopped())
        return PictureOutcome::STOPPED;
    const int length = DocumentLength(*result);
    if (length < 1)
        return PictureOutcome::READ;
    Block<WCHAR> wide = Allocate<WCHAR>(static_cast<std::size_t>(length) + 1);
    if (!wide) {
        LogAllocFail(__LINE__);
        return PictureOutcome::NO_MEMORY;
    }
    MultiByteToWideChar(language.codePage, 0, result->text, length, wide.get(), length);
    product->text = wide.release();
    return PictureOutcome::READ;
}
