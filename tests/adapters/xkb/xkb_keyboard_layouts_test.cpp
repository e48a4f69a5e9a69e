// Tests of the xkbcommon keyboard layouts on real layout data: US, German and French keys, the
// choice of layout (X server, environment, /etc/default/keyboard, "us") and key naming on top.
#include "adapters/xkb/xkb_keyboard_layouts.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "adapters/xkb/virtual_key_codes.h"
#include "keyboard/key_names.h"
#include "plist/bundle.h"
#include "testing/fixed_keyboard_layout.h"
#include "testing/temp_dir.h"

extern char** environ;

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::optional<char32_t> typed(XkbKeyboardLayouts& layouts, std::uint8_t keyCode,
                              std::uint16_t modifiers = 0) {
    const auto layout = layouts.currentLayout();
    if (!layout) return std::nullopt;
    return layout->translate(keyCode, modifiers);
}

class named_layout : public ::testing::Test {
protected:
    void SetUp() override { resetKeystrokeNames(); }
    void TearDown() override { resetKeystrokeNames(); }

    static void initNames(KeyboardLayouts& layouts) {
        initKeystrokeNames(std::make_shared<Bundle>(testing::sourceDir() /
                                                    "tests/keyboard/fixtures/names"),
                           "Localizable", layouts);
    }
};

TEST_F(named_layout, renders_the_us_examples) {
    XkbKeyboardLayouts us(XkbNames{"", "", "us", "", ""});
    initNames(us);
    EXPECT_EQ(keystrokeString(0x00, 0x0300), "Command+Shift+a");
    EXPECT_EQ(keystrokeString(0x00, 0x1F00), "Control+Command+Option+Shift+Caps Lock+a");
    EXPECT_EQ(keystrokeString(0x53, 0), "Num+1");
    EXPECT_EQ(keystrokeString(0x4C, 0), "Num+enter");
    EXPECT_EQ(keystrokeString(0x47, 0), "Num+clear");
    EXPECT_EQ(keystrokeString(0x35, 0), "esc");
    EXPECT_EQ(keystrokeString(0x7A, 0x0800), "Option+F1");
    EXPECT_EQ(keystrokeString(0x31, 0), "space");
    EXPECT_EQ(keystrokeString(0x38, 0), "Shift");
    EXPECT_EQ(keystrokeString(0xFF, 0x1000), "Control");
    EXPECT_EQ(keystrokeString(0xFF, 0), "(none)");
}

// The US layout types, with Command held, what the original platform's US layout types on every
// key code; only the ISO key left of Z differs (a PC layout has "<" there, not "§").
TEST_F(named_layout, us_layout_types_the_original_characters_on_every_key) {
    XkbKeyboardLayouts us(XkbNames{"", "", "us", "", ""});
    testing::FixedKeyboardLayouts original(testing::FixedKeyLayout::usEnglish());
    initNames(original);
    std::array<std::uint8_t, 128> expected = keyCharTable();
    expected[0x0A] = '<';
    initNames(us);
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(+keyCharTable()[k], +expected[k]) << "key code " << k;
}

TEST_F(named_layout, follows_modifiers_but_never_composes) {
    XkbKeyboardLayouts us(XkbNames{"", "", "us", "", ""});
    EXPECT_EQ(typed(us, 0x00), U'a');
    EXPECT_EQ(typed(us, 0x00, commandKeyMask), U'a');
    EXPECT_EQ(typed(us, 0x00, shiftKeyMask), U'A');
    EXPECT_EQ(typed(us, 0x00, capsLockKeyMask), U'A');
    EXPECT_EQ(typed(us, 0x12, shiftKeyMask), U'!');
    // Num Lock is on as on the original keypads; the keypad types digits even with Shift.
    EXPECT_EQ(typed(us, 0x41), U'.');
    // No key, a modifier key and a key code no Linux keyboard sends.
    EXPECT_EQ(typed(us, 0x3B), std::nullopt);
    EXPECT_EQ(typed(us, 0x7F), std::nullopt);
    EXPECT_EQ(typed(us, 0x3F), std::nullopt);

    XkbKeyboardLayouts usIntl(XkbNames{"", "", "us", "intl", ""});
    EXPECT_EQ(typed(usIntl, 0x27), U'\u00B4');  // dead acute
    EXPECT_EQ(typed(usIntl, 0x27, shiftKeyMask), U'\u00A8');  // dead diaeresis
}

TEST_F(named_layout, german_keys_move_and_dead_keys_show_their_accent) {
    XkbKeyboardLayouts de(XkbNames{"", "", "de", "", ""});
    initNames(de);
    EXPECT_EQ(keyCodeString(0x06, false), "y");  // Z position
    EXPECT_EQ(keyCodeString(0x10, false), "z");  // Y position
    EXPECT_EQ(keyCodeString(0x29, false), "\u00F6");
    EXPECT_EQ(keyCodeString(0x1B, true), "\u00DF");
    EXPECT_EQ(keystrokeString(0x32, commandKeyMask), "Command+^");      // dead circumflex
    EXPECT_EQ(keystrokeString(0x18, commandKeyMask), "Command+\u00B4");  // dead acute
    EXPECT_EQ(keyCodeString(0x0A, false), "<");
    EXPECT_EQ(keystrokeString(0x41, 0), "Num+,");
}

TEST_F(named_layout, french_keys_move_and_dead_keys_show_their_accent) {
    XkbKeyboardLayouts fr(XkbNames{"", "", "fr", "", ""});
    initNames(fr);
    EXPECT_EQ(keyCodeString(0x00, false), "q");  // A position
    EXPECT_EQ(keyCodeString(0x0C, false), "a");  // Q position
    EXPECT_EQ(keyCodeString(0x0D, false), "z");
    EXPECT_EQ(keyCodeString(0x06, false), "w");
    EXPECT_EQ(keyCodeString(0x2E, false), ",");
    EXPECT_EQ(keyCodeString(0x29, false), "m");
    EXPECT_EQ(keyCodeString(0x12, false), "&");
    EXPECT_EQ(keyCodeString(0x13, false), "\u00E9");
    EXPECT_EQ(keystrokeString(0x21, commandKeyMask), "Command+^");  // dead circumflex
    EXPECT_EQ(typed(fr, 0x12, shiftKeyMask), U'1');
}

TEST_F(named_layout, layout_that_does_not_compile_is_no_layout) {
    XkbKeyboardLayouts missing(XkbNames{"", "", "no-such-layout", "", ""});
    EXPECT_EQ(missing.origin(), XkbLayoutOrigin::none);
    EXPECT_EQ(missing.currentLayout(), nullptr);
    EXPECT_EQ(missing.currentAsciiCapableLayout(), nullptr);
    std::shared_ptr<const KeyLayout> layout;
    EXPECT_EQ(copyCurrentKeyLayout(missing, &layout), keyLayoutNotFound);
    initNames(missing);
    EXPECT_EQ(keystrokeString(0x00, commandKeyMask), "Command+???");
    EXPECT_EQ(keystrokeString(0x31, 0), "???");
    EXPECT_EQ(keystrokeString(0x3A, 0), "Option");
}

TEST(xkb_layout_choice, ascii_capable_layout_is_the_first_latin_group) {
    XkbKeyboardLayouts ruUs(XkbNames{"", "", "ru,us", "", ""});
    const auto ascii = ruUs.currentAsciiCapableLayout();
    ASSERT_NE(ascii, nullptr);
    EXPECT_EQ(ascii->translate(0x00, 0), U'a');
    EXPECT_EQ(ruUs.currentLayout()->translate(0x00, 0), U'\u0444');
    EXPECT_EQ(XkbKeyboardLayouts(XkbNames{"", "", "ru", "", ""}).currentAsciiCapableLayout(),
              nullptr);
}

// Sources with no X server, the given XKB_DEFAULT_* variables and keyboard file.
XkbLayoutSources sources(std::map<std::string, std::string> environment, fs::path file) {
    XkbLayoutSources result;
    result.environment = [environment = std::move(environment)](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
    result.defaultKeyboardFile = std::move(file);
    return result;
}

TEST(xkb_layout_choice, takes_environment_then_keyboard_file_then_us) {
    const testing::TempDir dir;
    const fs::path file = dir.write("keyboard", "# KEYBOARD CONFIGURATION FILE\n"
                                                "XKBMODEL=\"pc105\"\nXKBLAYOUT=\"fr\"\n"
                                                "XKBVARIANT=\"\"\nXKBOPTIONS=\"\"\n");
    XkbKeyboardLayouts fromEnvironment(
        sources({{"XKB_DEFAULT_LAYOUT", "de"}, {"XKB_DEFAULT_MODEL", "pc105"}}, file));
    EXPECT_EQ(fromEnvironment.origin(), XkbLayoutOrigin::environment);
    EXPECT_EQ(typed(fromEnvironment, 0x06), U'y');

    // Variables without a layout, or with one that does not compile, do not count.
    for (const auto& environment : {std::map<std::string, std::string>{},
                                    {{"XKB_DEFAULT_VARIANT", "nodeadkeys"}},
                                    {{"XKB_DEFAULT_LAYOUT", "no-such-layout"}}}) {
        XkbKeyboardLayouts fromFile(sources(environment, file));
        EXPECT_EQ(fromFile.origin(), XkbLayoutOrigin::defaultKeyboardFile);
        EXPECT_EQ(typed(fromFile, 0x00), U'q');
    }

    for (const fs::path& missing : {dir.path() / "absent", fs::path(dir.write("empty", ""))}) {
        XkbKeyboardLayouts fallback(sources({}, missing));
        EXPECT_EQ(fallback.origin(), XkbLayoutOrigin::fallback);
        EXPECT_EQ(typed(fallback, 0x06), U'z');
    }
}

TEST(xkb_layout_choice, reads_keyboard_file_lines_as_the_system_writes_them) {
    const auto names = parseDefaultKeyboard(
        "# comment XKBLAYOUT=\"us\"\n  XKBMODEL=pc104 \nexport XKBLAYOUT='de,us'\r\n"
        "XKBVARIANT=\"nodeadkeys,\"\nXKBOPTIONS=\"grp:alt_shift_toggle\"\nBACKSPACE=\"guess\"\n");
    ASSERT_TRUE(names);
    EXPECT_EQ(names->model, "pc104");
    EXPECT_EQ(names->layout, "de,us");
    EXPECT_EQ(names->variant, "nodeadkeys,");
    EXPECT_EQ(names->options, "grp:alt_shift_toggle");
    EXPECT_FALSE(parseDefaultKeyboard("XKBMODEL=\"pc105\"\nXKBLAYOUT=\"\"\n"));
}

TEST(xkb_layout_choice, passes_over_an_x_display_that_cannot_be_opened) {
    XkbLayoutSources unreachable = sources({}, {});
    unreachable.display = ":7654";
    XkbKeyboardLayouts layouts(unreachable);
    EXPECT_EQ(layouts.origin(), XkbLayoutOrigin::fallback);
}

// A private X server for one test, on a display number it picks itself, stopped when the test
// ends.
class VirtualXServer {
public:
    VirtualXServer() {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args{"/usr/bin/Xvfb", "-displayfd", "3", "-nolisten", "tcp",
                                      "-screen", "0", "640x480x24"};
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) pid_ = pid;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        // Xvfb writes its number and a line feed once it accepts clients; it dies if the pipe
        // closes before the whole line is written.
        char c = 0;
        while (pid_ > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n') display_ += c;
        close(pipeFds[0]);
        if (c != '\n' || display_.empty()) stop();
        display_.insert(0, ":");
    }
    ~VirtualXServer() { stop(); }
    bool running() const { return pid_ > 0; }
    const std::string& display() const { return display_; }

private:
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    pid_t pid_ = -1;
    std::string display_;
};

TEST(xkb_layout_choice, prefers_the_x_servers_keymap) {
    if (!fs::exists("/usr/bin/Xvfb")) GTEST_SKIP() << "needs Xvfb";
    const VirtualXServer server;
    ASSERT_TRUE(server.running());
    // The virtual server's keymap is US; the environment's German layout must not win.
    XkbLayoutSources withServer = sources({{"XKB_DEFAULT_LAYOUT", "de"}}, {});
    withServer.display = server.display();
    XkbKeyboardLayouts layouts(withServer);
    EXPECT_EQ(layouts.origin(), XkbLayoutOrigin::xServer);
    EXPECT_EQ(typed(layouts, 0x06), U'z');
    EXPECT_EQ(typed(layouts, 0x4C), U'\x03');
    EXPECT_EQ(typed(layouts, 0x53), U'1');

    // Read on a thread of its own while the window is made: the same keymap once asked, and
    // nothing left behind when it is never asked.
    BackgroundKeyboardLayouts background(withServer);
    EXPECT_EQ(background.layouts().origin(), XkbLayoutOrigin::xServer);
    ASSERT_TRUE(background.currentLayout());
    EXPECT_EQ(background.currentLayout()->translate(0x06, 0), U'z');
    EXPECT_EQ(background.currentAsciiCapableLayout()->translate(0x00, 0), U'a');
    { BackgroundKeyboardLayouts unasked(withServer); }
}

TEST(virtual_key_codes, map_one_to_one_to_evdev_codes) {
    int mapped = 0;
    for (int k = 0; k < 256; ++k) {
        const auto keyCode = static_cast<std::uint8_t>(k);
        const auto evdev = evdevKeyCode(keyCode);
        if (!evdev) continue;
        ++mapped;
        EXPECT_EQ(virtualKeyCode(*evdev), keyCode) << k;
    }
    // Every code below 0x7F but the eight no keyboard of the original platform sends.
    EXPECT_EQ(mapped, 127 - 8);
    EXPECT_EQ(virtualKeyCode(138), 0x72);  // a keyboard's own Help key
    EXPECT_EQ(virtualKeyCode(0), std::nullopt);
}

}  // namespace
}  // namespace quillon
