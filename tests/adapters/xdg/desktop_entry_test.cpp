// Desktop entry parsing, hostile input included, and Exec splitting and quoting.
#include "adapters/xdg/desktop_entry.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Args = std::vector<std::string>;
using namespace std::string_literals;

TEST(desktop_entry, reads_main_group_with_escapes_and_locales) {
    const auto entry = parseDesktopEntry(
        "\xEF\xBB\xBF# comment\r\n"
        "Name=outside any group\n"
        "[Desktop Entry]\r\n"
        "Name = Mouse\\sHelper\\\\x\\n\r\n"
        "Name[de]=Maushelfer\n"
        "Name=second Name is ignored\n"
        "Comment=keeps \\q unknown escapes\n"
        "  Icon=indented\n"
        "no equals sign here\n"
        "Bad Key=space in key\n"
        "Name[de=unclosed locale\n"
        "[Desktop Action new]\n"
        "Exec=other group\n"
        "[Desktop Entry]\n"
        "Exec=repeated group\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->values.size(), 4u);
    EXPECT_EQ(*entry->get("Name"), "Mouse Helper\\x\n");
    EXPECT_EQ(*entry->get("Comment"), "keeps \\q unknown escapes");
    EXPECT_EQ(*entry->get("Icon"), "indented");
    EXPECT_EQ(entry->get("Exec"), nullptr);
    EXPECT_EQ(*entry->localized("Name", {"de_DE", "de"}), "Maushelfer");
    EXPECT_EQ(entry->localized("Name", {"fr"}), nullptr);
}

TEST(desktop_entry, survives_hostile_files) {
    EXPECT_FALSE(parseDesktopEntry(""));
    EXPECT_FALSE(parseDesktopEntry("Name=x\nExec=y\n"));
    EXPECT_FALSE(parseDesktopEntry("[Other]\nName=x\n"));
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry"));
    EXPECT_TRUE(parseDesktopEntry("[Desktop Entry]"));

    const std::string huge(3 << 20, 'x');
    const auto big = parseDesktopEntry("[Desktop Entry]\nName=" + huge + "\nExec=\\\n" + huge);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->get("Name")->size(), huge.size());

    // Values that are not UTF-8 (or hold NUL) are left out; the rest of the file still counts.
    const auto bad = parseDesktopEntry("[Desktop Entry]\nName=\xFF\xFE\n"
                                       "Comment=\xC0\xAF\nIcon=a\0b\n"
                                       "GenericName=\xED\xA0\x80\nExec=ok\\"s);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->values.size(), 1u);
    EXPECT_EQ(*bad->get("Exec"), "ok\\");
    EXPECT_TRUE(isValidUtf8Text("Gr\xC3\xBC\xC3\x9F\x65 \xF0\x9F\x96\xB1"));
}

TEST(desktop_entry, splits_exec_and_drops_field_codes) {
    EXPECT_EQ(splitExecCommand("  prog  -a %U\t--file=%f 100%% %i"),
              (Args{"prog", "-a", "--file=", "100%"}));
    EXPECT_EQ(splitExecCommand(R"("/opt/My App/run" "a \"b\" \$c \`d\` e\\f" "" x"y z"w)"),
              (Args{"/opt/My App/run", "a \"b\" $c `d` e\\f", "", "xy zw"}));
    EXPECT_FALSE(splitExecCommand("prog \"unclosed"));
    EXPECT_FALSE(splitExecCommand("prog \"ends in escape\\"));
    EXPECT_EQ(splitExecCommand(""), Args{});

    DesktopEntry onlyCodes;
    onlyCodes.values["Exec"] = "%F %u";
    EXPECT_FALSE(onlyCodes.execArguments());
}

TEST(desktop_entry, quoted_values_read_back_unchanged) {
    for (const std::string path : {"/plain/path", "/with space/and\"quote", "/dollar$/back\\slash",
                                   "/tick`/100%/%f", " lead/new\nline\ttab"}) {
        const std::string file = "[Desktop Entry]\nExec=" +
                                 escapeDesktopValue(quoteExecArgument(path) + " --flag") +
                                 "\nName=" + escapeDesktopValue(path) + "\n";
        const auto entry = parseDesktopEntry(file);
        ASSERT_TRUE(entry) << path;
        EXPECT_EQ(*entry->get("Name"), path);
        EXPECT_EQ(entry->execArguments(), (Args{path, "--flag"}));
    }
}

}  // namespace
}  // namespace quillon
