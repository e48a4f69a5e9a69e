// The XDG workspace on a temporary set of application folders, with real launches.
#include "adapters/xdg/xdg_workspace.h"

#include <gtest/gtest.h>

#include "xdg_fixtures.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnvironment;
using testing::TempDir;

class Applications : public ::testing::Test {
protected:
    XdgWorkspace workspace(std::vector<std::string> languages = {}) {
        return XdgWorkspace([](const std::string& id) { return id == "running" ? 2 : 0; },
                            {tmp.file("home/applications"), tmp.file("system/applications")},
                            std::move(languages));
    }

    TempDir tmp;
};

using xdg_workspace = Applications;

TEST_F(xdg_workspace, desktop_entries_give_information_entries) {
    const std::string path = tmp.write("home/applications/vendor/viewer.desktop",
                                       "[Desktop Entry]\nType=Application\nName=Viewer\n"
                                       "Name[de]=Betrachter\nExec=\"/opt/vendor/view er\" --new %U\n");
    const std::string loose = tmp.write("elsewhere/tool.desktop",
                                        "[Desktop Entry]\nName=Tool\nExec=tool\n");

    auto info = workspace().infoDictionary(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->string("CFBundleIdentifier"), "vendor-viewer");
    EXPECT_EQ(info->string("CFBundleName"), "Viewer");
    EXPECT_EQ(info->string("CFBundleExecutable"), "view er");
    EXPECT_EQ(workspace().infoDictionary(loose)->string("CFBundleIdentifier"), "tool");

    EXPECT_EQ(workspace({"de_CH", "de"}).localizedInfoDictionary(path)->string("CFBundleName"),
              "Betrachter");
    EXPECT_TRUE(workspace({"fr"}).localizedInfoDictionary(path)->empty());

    // Not applications: nothing.
    const std::string link = tmp.write("home/applications/link.desktop",
                                       "[Desktop Entry]\nType=Link\nName=Link\nURL=x\n");
    const std::string hidden = tmp.write("home/applications/hidden.desktop",
                                         "[Desktop Entry]\nName=H\nExec=h\nHidden=true\n");
    for (const std::string& notApp : {link, hidden, tmp.write("a.txt", "[Desktop Entry]\n"),
                                      tmp.file("missing.desktop"), tmp.file("elsewhere")}) {
        EXPECT_EQ(workspace().infoDictionary(notApp), nullptr) << notApp;
        EXPECT_EQ(workspace().localizedInfoDictionary(notApp), nullptr) << notApp;
    }
}

TEST_F(xdg_workspace, bundles_give_info_plist_and_localized_strings) {
    const std::string bundle = testing::makeAppBundle(tmp, "system/applications/Mouse Tool",
                                                      "com.example.tool", "tool");
    tmp.write("system/applications/Mouse Tool.app/Contents/Resources/de.lproj/InfoPlist.strings",
              "CFBundleName = \"Maus-Werkzeug\";\n");

    const auto info = workspace().infoDictionary(bundle);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->string("CFBundleIdentifier"), "com.example.tool");
    EXPECT_EQ(info->string("CFBundleExecutable"), "tool");
    EXPECT_EQ(workspace({"de"}).localizedInfoDictionary(bundle)->string("CFBundleName"),
              "Maus-Werkzeug");
    EXPECT_TRUE(workspace({"fr"}).localizedInfoDictionary(bundle)->empty());

    fs::create_directories(tmp.file("Empty.app/Contents"));
    EXPECT_EQ(workspace().infoDictionary(tmp.file("Empty.app")), nullptr);
    tmp.write("Broken.app/Contents/Info.plist", "<plist><dict><key>a</key></plist>");
    EXPECT_EQ(workspace().infoDictionary(tmp.file("Broken.app")), nullptr);
}

TEST_F(xdg_workspace, finds_applications_by_identifier) {
    const std::string mine = tmp.write("home/applications/org.example.Editor.desktop",
                                       "[Desktop Entry]\nName=Mine\nExec=ed\n");
    tmp.write("system/applications/org.example.Editor.desktop", "[Desktop Entry]\nName=S\nExec=ed\n");
    const std::string nested = tmp.write("system/applications/kde/konsole.desktop",
                                         "[Desktop Entry]\nName=K\nExec=k\n");
    tmp.write("home/applications/gone.desktop", "[Desktop Entry]\nName=G\nExec=g\nHidden=true\n");
    const std::string bundle =
        testing::makeAppBundle(tmp, "system/applications/Tool", "com.example.tool", "tool");

    auto ws = workspace();
    EXPECT_EQ(ws.pathForApplication("org.example.Editor"), mine);
    EXPECT_EQ(ws.pathForApplication("org.example.Editor.desktop"), mine);
    EXPECT_EQ(ws.pathForApplication("kde-konsole"), nested);
    EXPECT_EQ(ws.pathForApplication("com.example.tool"), bundle);
    EXPECT_EQ(ws.pathForApplication("gone"), "");
    EXPECT_EQ(ws.pathForApplication(""), "");
    EXPECT_EQ(ws.runningApplicationCount("running"), 2);
    EXPECT_EQ(XdgWorkspace(nullptr, {}, {}).runningApplicationCount("running"), 0);
}

TEST_F(xdg_workspace, launches_bundles_and_desktop_entries_without_a_shell) {
    const std::string out = tmp.file("out");
    // Records its working folder and arguments, then renames the record into place.
    const std::string record = "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > '" +
                               out + ".part' && mv '" + out + ".part' '" + out + "'\n";
    const std::string bundle = testing::makeAppBundle(tmp, "Launch", "com.example.launch", "go", record);
    const std::string script = testing::writeScript(tmp, "bin/rec ord", record);
    const std::string entry = tmp.write(
        "home/applications/rec.desktop",
        "[Desktop Entry]\nName=Rec\nPath=" + tmp.file("home") + "\nExec=\"" + script +
            "\" \"a;b $HOME\" %U --x=%f `c` %%\n");

    auto ws = workspace();
    ASSERT_TRUE(ws.launchApplication(bundle));
    EXPECT_EQ(testing::waitForFile(out), fs::current_path().string() + "\n");
    fs::remove(out);

    ASSERT_TRUE(ws.launchApplication(entry));
    EXPECT_EQ(testing::waitForFile(out),
              tmp.file("home") + "\n[a;b $HOME]\n[--x=]\n[`c`]\n[%]\n");
    fs::remove(out);

    ASSERT_TRUE(ws.launchApplication(script));
    EXPECT_TRUE(testing::waitForFile(out));

    // Nothing to start: a bundle without its program, an entry whose program is not found,
    // a file that is not executable, a missing path.
    fs::remove(bundle + "/Contents/MacOS/go");
    const std::string unknown = tmp.write("home/applications/unknown.desktop",
                                          "[Desktop Entry]\nName=U\nExec=no-such-program-here\n");
    for (const std::string& path : {bundle, unknown, tmp.write("plain", "x"), tmp.file("missing")})
        EXPECT_FALSE(ws.launchApplication(path)) << path;
}

TEST_F(xdg_workspace, opens_files_and_urls_through_xdg_open) {
    const std::string out = tmp.file("opened");
    testing::writeScript(tmp, "bin/xdg-open",
                         "#!/bin/sh\necho \"$@\" > '" + out + ".part' && /bin/mv '" + out + ".part' '" +
                             out + "'\n");
    const std::string file = tmp.write("docs/-manual.pdf", "%PDF");
    auto ws = workspace();
    {
        const ScopedEnvironment path("PATH", tmp.file("bin"));
        ASSERT_TRUE(ws.openURL("https://example.com/a b"));
        EXPECT_EQ(testing::waitForFile(out), "https://example.com/a b\n");
        fs::remove(out);
        ASSERT_TRUE(ws.openFile(file));
        EXPECT_EQ(testing::waitForFile(out), file + "\n");

        EXPECT_FALSE(ws.openFile(tmp.file("docs/missing.pdf")));
        EXPECT_FALSE(ws.openURL(""));
        EXPECT_FALSE(ws.openURL("--help"));
    }
    const ScopedEnvironment path("PATH", tmp.file("docs"));
    EXPECT_FALSE(ws.openURL("https://example.com/"));
    EXPECT_FALSE(ws.openFile(file));
}

}  // namespace
}  // namespace quillon
