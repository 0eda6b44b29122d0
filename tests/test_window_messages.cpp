// Virtual-key mapping, SDL event translation and the window procedure's key flags.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <limits>

#include "app/ShowWindow.h"
#include "platform/sdl/VirtualKeys.h"
#include "platform/sdl/Messages.h"

TEST(VirtualKeys, NamedKeysGetTheirWindowsCodes) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), 27);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_SPACE, SDL_SCANCODE_SPACE), VK_SPACE);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_RETURN, SDL_SCANCODE_RETURN), VK_RETURN);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), VK_RETURN);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_LEFT, SDL_SCANCODE_LEFT), VK_LEFT);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UP, SDL_SCANCODE_UP), VK_UP);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_RIGHT, SDL_SCANCODE_RIGHT), VK_RIGHT);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_DOWN, SDL_SCANCODE_DOWN), VK_DOWN);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_LSHIFT, SDL_SCANCODE_LSHIFT), VK_SHIFT);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_RCTRL, SDL_SCANCODE_RCTRL), VK_CONTROL);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_LALT, SDL_SCANCODE_LALT), VK_MENU);
    const SDL_Keycode functionKeys[] = {SDLK_F1, SDLK_F2, SDLK_F3, SDLK_F4,  SDLK_F5,  SDLK_F6,
                                        SDLK_F7, SDLK_F8, SDLK_F9, SDLK_F10, SDLK_F11, SDLK_F12};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(VirtualKeyFromSdl(functionKeys[i], SDL_SCANCODE_UNKNOWN), VK_F1 + i) << i;
    }
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F24, SDL_SCANCODE_F24), 0x87);
}

TEST(VirtualKeys, LettersAreCapitalsAndDigitsThemselves) {
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(VirtualKeyFromSdl(SDLK_a + i, SDL_SCANCODE_UNKNOWN), 'A' + i);
    }
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(VirtualKeyFromSdl(SDLK_0 + i, SDL_SCANCODE_UNKNOWN), '0' + i);
    }
    // A non-Latin layout: the key code is a letter of that script, the position decides.
    EXPECT_EQ(VirtualKeyFromSdl(0x0444, SDL_SCANCODE_A), 'A');
    EXPECT_EQ(VirtualKeyFromSdl(0x0444, SDL_SCANCODE_0), '0');
}

TEST(VirtualKeys, UnknownCodesGiveNone) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), VK_NONE);
    EXPECT_EQ(VirtualKeyFromSdl(0x20AC, SDL_SCANCODE_UNKNOWN), VK_NONE);
    EXPECT_EQ(VirtualKeyFromSdl(-1, -1), VK_NONE);
    EXPECT_EQ(VirtualKeyFromSdl(std::numeric_limits<std::int32_t>::max(), 100000), VK_NONE);
    EXPECT_EQ(VirtualKeyFromSdl(std::numeric_limits<std::int32_t>::min(), -100000), VK_NONE);
    // Every code the table can give fits the key flags.
    for (std::int32_t code = -5; code < 0x500; ++code) {
        const int vk = VirtualKeyFromSdl(code, SDL_SCANCODE_UNKNOWN);
        ASSERT_GE(vk, 0);
        ASSERT_LT(vk, 256);
        const int masked = VirtualKeyFromSdl(code | SDLK_SCANCODE_MASK, code);
        ASSERT_GE(masked, 0);
        ASSERT_LT(masked, 256);
    }
}

static HWND SomeWindow() {
    return reinterpret_cast<HWND>(std::uintptr_t{0x1000});
}

static SDL_Event KeyEvent(Uint32 type, SDL_Keycode key, SDL_Scancode scancode, Uint16 mod,
                          Uint8 repeat) {
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = mod;
    return event;
}

static SDL_Event WindowEvent(Uint8 what, Sint32 data1 = 0, Sint32 data2 = 0) {
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}

TEST(MessageTranslation, KeysBecomeKeyMessagesWithWindowsBits) {
    MSG msg = {};
    ASSERT_TRUE(TranslateSdlEvent(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0, 0),
                                  SomeWindow(), &msg));
    EXPECT_EQ(msg.hwnd, SomeWindow());
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, 27u);
    const auto down = static_cast<std::uint32_t>(msg.lParam);
    EXPECT_EQ(down & 0xFFFFu, 1u); // repeat count
    EXPECT_EQ(down >> 30, 0u);     // was up, going down
    ASSERT_TRUE(TranslateSdlEvent(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0, 1),
                                  SomeWindow(), &msg));
    EXPECT_EQ(static_cast<std::uint32_t>(msg.lParam) >> 30, 1u); // auto-repeat: was down

    ASSERT_TRUE(
        TranslateSdlEvent(KeyEvent(SDL_KEYUP, SDLK_a, SDL_SCANCODE_A, 0, 0), SomeWindow(), &msg));
    EXPECT_EQ(msg.message, WM_KEYUP);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(static_cast<std::uint32_t>(msg.lParam) >> 30, 3u);
}

TEST(MessageTranslation, AltMakesSystemKeys) {
    MSG msg = {};
    ASSERT_TRUE(TranslateSdlEvent(
        KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_LALT, 0), SomeWindow(), &msg));
    EXPECT_EQ(msg.message, WM_SYSKEYDOWN);
    EXPECT_NE(static_cast<std::uint32_t>(msg.lParam) & (1u << 29), 0u);
    ASSERT_TRUE(TranslateSdlEvent(KeyEvent(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT, 0, 0),
                                  SomeWindow(), &msg));
    EXPECT_EQ(msg.message, WM_SYSKEYUP);
    ASSERT_TRUE(TranslateSdlEvent(KeyEvent(SDL_KEYDOWN, SDLK_F10, SDL_SCANCODE_F10, 0, 0),
                                  SomeWindow(), &msg));
    EXPECT_EQ(msg.message, WM_SYSKEYDOWN);
}

TEST(MessageTranslation, WindowEventsBecomeWindowMessages) {
    MSG msg = {};
    ASSERT_TRUE(TranslateSdlEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE), SomeWindow(), &msg));
    EXPECT_EQ(msg.message, WM_CLOSE);
    EXPECT_EQ(msg.hwnd, SomeWindow());

    ASSERT_TRUE(
        TranslateSdlEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480), SomeWindow(), &msg));
    EXPECT_EQ(msg.message, WM_SIZE);
    EXPECT_EQ(LOWORD(static_cast<std::uintptr_t>(msg.lParam)), 640u);
    EXPECT_EQ(HIWORD(static_cast<std::uintptr_t>(msg.lParam)), 480u);
    // A size SDL should never report still packs into the two 16-bit halves.
    ASSERT_TRUE(
        TranslateSdlEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, -4, 0), SomeWindow(), &msg));
    EXPECT_EQ(msg.lParam, 0);

    ASSERT_TRUE(TranslateSdlEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED), SomeWindow(), &msg));
    EXPECT_EQ(msg.message, WM_PAINT);

    SDL_Event quit;
    std::memset(&quit, 0, sizeof quit);
    quit.type = SDL_QUIT;
    ASSERT_TRUE(TranslateSdlEvent(quit, SomeWindow(), &msg));
    EXPECT_EQ(msg.message, WM_CLOSE);
}

TEST(MessageTranslation, EventsWithoutMessagesLeaveTheRecordAlone) {
    MSG msg = {};
    msg.message = 0x1234;
    EXPECT_FALSE(TranslateSdlEvent(KeyEvent(SDL_KEYDOWN, 0x20AC, SDL_SCANCODE_UNKNOWN, 0, 0),
                                   SomeWindow(), &msg));
    EXPECT_FALSE(TranslateSdlEvent(WindowEvent(SDL_WINDOWEVENT_MOVED, 5, 5), SomeWindow(), &msg));
    SDL_Event motion;
    std::memset(&motion, 0, sizeof motion);
    motion.type = SDL_MOUSEMOTION;
    EXPECT_FALSE(TranslateSdlEvent(motion, SomeWindow(), &msg));
    EXPECT_FALSE(TranslateSdlEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE), nullptr, &msg));
    EXPECT_FALSE(TranslateSdlEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE), SomeWindow(), nullptr));
    EXPECT_EQ(msg.message, 0x1234u);
}

TEST(ShowWindowProc, KeyFlagsFollowDownAndUp) {
    std::memset(Keys, 0, sizeof Keys);
    ShowWindowProc(nullptr, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(Keys[0x41], -1);
    ShowWindowProc(nullptr, WM_KEYDOWN, 'A', 0x40000001);
    EXPECT_EQ(Keys[0x41], -1);
    ShowWindowProc(nullptr, WM_KEYUP, 'A', 0);
    EXPECT_EQ(Keys[0x41], 0);
    ShowWindowProc(nullptr, WM_KEYDOWN, 255, 0);
    EXPECT_EQ(Keys[255], -1);
    // System keys are not recorded.
    EXPECT_EQ(ShowWindowProc(nullptr, WM_SYSKEYDOWN, VK_ESCAPE, 0), 0);
    EXPECT_EQ(Keys[VK_ESCAPE], 0);
    std::memset(Keys, 0, sizeof Keys);
}

TEST(ShowWindowProc, KeyCodesPastTheTableTouchNothing) {
    // A write past the end would corrupt whatever follows; the sanitizer build catches it.
    std::memset(Keys, 0, sizeof Keys);
    const WPARAM outside[] = {256, 257, 0x10000, std::numeric_limits<WPARAM>::max()};
    for (WPARAM code : outside) {
        EXPECT_EQ(ShowWindowProc(nullptr, WM_KEYDOWN, code, 0), 0);
        EXPECT_EQ(ShowWindowProc(nullptr, WM_KEYUP, code, 0), 0);
    }
    for (std::int32_t flag : Keys) {
        ASSERT_EQ(flag, 0);
    }
}
