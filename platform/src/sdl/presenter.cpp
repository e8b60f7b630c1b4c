// The presenter's own thread makes every SDL call; the program's threads
// only mark the screen as changed.
#include "plat/presenter.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "plat/input.h"
#include "plat/screen.h"
#include "plat/utf.h"

namespace plat {

namespace {

constexpr int kScale = 2;

struct KeyMap {
    SDL_Keycode host;
    BYTE vk;
};

// The handset's keys on a desktop keyboard.
constexpr KeyMap kKeys[] = {
    {SDLK_RETURN, VK_RETURN},      {SDLK_KP_ENTER, VK_RETURN},  {SDLK_SPACE, VK_APP3},
    {SDLK_ESCAPE, VK_TEND},        {SDLK_F3, VK_TTALK},         {SDLK_PAGEUP, VK_TVOLUMEUP},
    {SDLK_PAGEDOWN, VK_TVOLUMEDOWN}, {SDLK_LEFT, VK_LEFT},      {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},        {SDLK_DOWN, VK_DOWN},        {SDLK_F1, VK_APP1},
    {SDLK_BACKSPACE, VK_BACK},
};

BYTE HandsetKey(SDL_Keycode key)
{
    for (const KeyMap& k : kKeys)
        if (k.host == key)
            return k.vk;
    return 0;
}

struct Presenter {
    std::mutex mu;
    std::condition_variable cv;
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> dirty{true};
    std::atomic<unsigned> frames{0};
    bool started = false;
    bool ready = false;
    std::wstring error;
};

Presenter& P()
{
    static Presenter p;
    return p;
}

void Show(SDL_Window* window, SDL_Renderer* renderer, SDL_Texture*& texture, int& width, int& height)
{
    ScreenImage image = ComposeScreen();
    if (image.width != width || image.height != height || !texture) {
        // The panel turned: the window follows.
        if (texture)
            SDL_DestroyTexture(texture);
        width = image.width;
        height = image.height;
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
        SDL_SetWindowSize(window, width * kScale, height * kScale);
    }
    if (!texture)
        return;
    std::vector<Uint32> rgb(image.pixels.size());
    for (size_t i = 0; i < rgb.size(); ++i) {
        COLORREF c = image.pixels[i];
        rgb[i] = (static_cast<Uint32>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
    SDL_UpdateTexture(texture, nullptr, rgb.data(), width * 4);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    ++P().frames;
}

void Handle(const SDL_Event& e, bool& penDown)
{
    switch (e.type) {
    case SDL_QUIT:
        // Closing the window is the end key.
        HardwareKey(VK_TEND, true);
        HardwareKey(VK_TEND, false);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (e.key.repeat)
            break;
        if (BYTE vk = HandsetKey(e.key.keysym.sym))
            HardwareKey(vk, e.type == SDL_KEYDOWN);
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) {
            penDown = true;
            PenInput(Pen::Down, e.button.x / kScale, e.button.y / kScale);
        }
        break;
    case SDL_MOUSEMOTION:
        if (penDown)
            PenInput(Pen::Move, e.motion.x / kScale, e.motion.y / kScale);
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && penDown) {
            penDown = false;
            PenInput(Pen::Up, e.button.x / kScale, e.button.y / kScale);
        }
        break;
    case SDL_WINDOWEVENT:
        P().dirty = true;
        break;
    default:
        break;
    }
}

void Run()
{
    Presenter& p = P();
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    {
        std::unique_lock lock(p.mu);
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            p.error = L"no display for the window: " + FromUtf8(SDL_GetError());
        } else {
            window = SDL_CreateWindow("LumOCR", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 240 * kScale,
                                      400 * kScale, 0);
            renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
            if (window && !renderer)
                renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
            if (!renderer)
                p.error = L"cannot open the window: " + FromUtf8(SDL_GetError());
        }
        p.ready = true;
        p.cv.notify_all();
        if (!renderer) {
            if (window)
                SDL_DestroyWindow(window);
            SDL_Quit();
            return;
        }
    }
    SetPresentListener([] { P().dirty = true; });
    SDL_Texture* texture = nullptr;
    int width = 0, height = 0;
    bool penDown = false;
    auto lastShown = std::chrono::steady_clock::now();
    while (!p.stop) {
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, 20)) {
            Handle(e, penDown);
            while (SDL_PollEvent(&e))
                Handle(e, penDown);
        }
        auto now = std::chrono::steady_clock::now();
        // Redraw on change, and now and then for surfaces written without a present.
        if (p.dirty.exchange(false) || now - lastShown > std::chrono::milliseconds(250)) {
            Show(window, renderer, texture, width, height);
            lastShown = now;
        }
    }
    SetPresentListener(nullptr);
    if (texture)
        SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
}

}  // namespace

bool StartPresenter(std::wstring* why)
{
    Presenter& p = P();
    std::unique_lock lock(p.mu);
    if (p.started)
        return p.error.empty();
    p.started = true;
    p.stop = false;
    p.ready = false;
    p.error.clear();
    p.thread = std::thread(Run);
    p.cv.wait(lock, [&] { return p.ready; });
    if (!p.error.empty()) {
        if (why)
            *why = p.error;
        lock.unlock();
        p.thread.join();
        lock.lock();
        p.started = false;
        return false;
    }
    return true;
}

void StopPresenter()
{
    Presenter& p = P();
    {
        std::lock_guard lock(p.mu);
        if (!p.started)
            return;
        p.started = false;
    }
    p.stop = true;
    if (p.thread.joinable())
        p.thread.join();
}

BYTE PresenterKeyFor(const char* hostKeyName)
{
    SDL_Keycode key = SDL_GetKeyFromName(hostKeyName);
    return key == SDLK_UNKNOWN ? 0 : HandsetKey(key);
}

unsigned PresenterFrames() { return P().frames; }

}  // namespace plat
