#include "fake_ocr_engine.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ocr_engine_api.h"

namespace fake_engine {

namespace {

struct State {
    std::mutex lock;
    std::vector<Picture> script;
    std::size_t next = 0;
    std::vector<Call> calls;
    OcrProgressCallback progress = nullptr;
};

State& S()
{
    static State state;
    return state;
}

Call Named(const char* name)
{
    Call call;
    call.name = name;
    return call;
}

void Record(Call call)
{
    std::lock_guard lock(S().lock);
    S().calls.push_back(std::move(call));
}

Picture NextPicture()
{
    std::lock_guard lock(S().lock);
    if (S().next >= S().script.size())
        return Picture{};
    return S().script[S().next++];
}

// Reports the script's progress; false when the run said stop.
bool Report(const Picture& picture, Call& call)
{
    OcrProgressCallback progress = nullptr;
    {
        std::lock_guard lock(S().lock);
        progress = S().progress;
    }
    for (std::int32_t percent : picture.progress) {
        const std::int32_t answer = progress ? progress(percent) : 1;
        call.answers.push_back(answer);
        if (picture.afterProgress)
            picture.afterProgress(percent);
        if (answer == 0)
            return false;
    }
    return true;
}

void CopyPixels(const OcrImage* image, Call& call)
{
    call.width = image->width;
    call.height = image->height;
    if (image->data && image->width > 0 && image->height > 0)
        call.pixels.assign(image->data, image->data + static_cast<std::size_t>(image->width) * image->height);
}

std::int32_t Initialize(void* work, std::int32_t size, OcrProgressCallback progress, const OcrLanguageCode* languages,
                        const char* folder)
{
    Call call = Named("Initialize");
    call.workSize = size;
    const BYTE* bytes = static_cast<const BYTE*>(work);
    call.workZeroed = bytes && size > 0 && std::all_of(bytes, bytes + size, [](BYTE b) { return b == 0; });
    call.hasProgress = progress != nullptr;
    for (const OcrLanguageCode* code = languages; code && call.languages.size() < 8; ++code) {
        call.languages.push_back(*code);
        if (*code == 0)
            break;
    }
    call.folder = folder ? folder : "";
    {
        std::lock_guard lock(S().lock);
        S().progress = progress;
    }
    Record(std::move(call));
    return 0;
}

std::int32_t CheckImageDirection(OcrImage* small, OcrImage* full)
{
    Call call = Named("CheckImageDirection");
    if (small) {
        call.smallWidth = small->width;
        call.smallHeight = small->height;
        call.smallHasData = small->data != nullptr;
    }
    if (full) {
        call.width = full->width;
        call.height = full->height;
    }
    std::int32_t direction = 1;
    {
        std::lock_guard lock(S().lock);
        if (S().next < S().script.size())
            direction = S().script[S().next].direction;
    }
    Record(std::move(call));
    return direction;
}

std::int32_t RecognizeBizCard(OcrImage* image, OcrCardField* fields)
{
    Call call = Named("RecognizeBizCard");
    CopyPixels(image, call);
    const Picture picture = NextPicture();
    if (Report(picture, call)) {
        std::size_t i = 0;
        for (const Field& f : picture.fields) {
            if (i + 1 >= static_cast<std::size_t>(kOcrMaxCardFields))
                break;
            OcrCardField& out = fields[i++];
            out.type = f.type;
            std::memset(out.text, 0, sizeof(out.text));
            std::memcpy(out.text, f.text.data(), std::min(f.text.size(), sizeof(out.text)));
            out.rect = f.box;
        }
    }
    Record(std::move(call));
    return 0;
}

std::int32_t RecognizeDocument(OcrImage* image, OcrTextResult* result)
{
    Call call = Named("RecognizeDocument");
    CopyPixels(image, call);
    const Picture picture = NextPicture();
    if (Report(picture, call)) {
        std::memcpy(result->text, picture.text.data(), std::min(picture.text.size(), sizeof(result->text)));
        result->length = picture.length == INT_MIN ? static_cast<std::int32_t>(picture.text.size()) : picture.length;
    }
    Record(std::move(call));
    return 0;
}

std::int32_t Finalize(std::int32_t)
{
    Record(Named("Finalize"));
    return 0;
}

constexpr OcrEngineApi kFake = {&Initialize, &CheckImageDirection, &RecognizeBizCard, &RecognizeDocument,
                                 &Finalize};

}  // namespace

void Install(std::vector<Picture> script)
{
    {
        std::lock_guard lock(S().lock);
        S().script = std::move(script);
        S().next = 0;
        S().calls.clear();
        S().progress = nullptr;
    }
    SetOcrEngine(&kFake);
}

void Uninstall() { SetOcrEngine(nullptr); }

std::vector<Call> Calls()
{
    std::lock_guard lock(S().lock);
    return S().calls;
}

std::vector<std::string> CallNames()
{
    std::vector<std::string> names;
    for (const Call& call : Calls())
        names.push_back(call.name);
    return names;
}

}  // namespace fake_engine
