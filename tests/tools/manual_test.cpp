// The user manual as the build lays it out, and quillon-manual run as the build runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "testing/run_process.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::size_t count(const std::string& text, const std::regex& pattern) {
    return static_cast<std::size_t>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), {}));
}

const std::regex kPage(R"(/Type\s*/Page\b)");
const std::regex kImage(R"(/Subtype\s*/Image\b)");

TEST(manual, the_bundle_holds_the_manual_with_every_screenshot) {
    const std::string pdf = testing::readAll(QUILLON_MANUAL_PDF);
    ASSERT_TRUE(pdf.starts_with("%PDF-")) << QUILLON_MANUAL_PDF;
    EXPECT_GE(count(pdf, kPage), 6u);
    // One picture for each screenshot the manual shows.
    const std::string markdown = testing::readAll(fs::path(QUILLON_SOURCE) / "docs" / "manual.md");
    const std::size_t screenshots = count(markdown, std::regex(R"(!\[[^\]]*\]\(manual/)"));
    EXPECT_GE(screenshots, 5u);
    EXPECT_EQ(count(pdf, kImage), screenshots);
}

TEST(manual, a_missing_screenshot_or_an_empty_manual_fails_and_leaves_no_pdf) {
    testing::TempDir dir;
    const std::string out = dir.file("out.pdf");
    const auto run = [&](const std::string& markdown) {
        std::ofstream(dir.file("manual.md"), std::ios::trunc) << markdown;
        return testing::runProcess({QUILLON_MANUAL_TOOL, dir.file("manual.md"), out});
    };

    auto result = run("# Manual\n\n![The window](manual/missing.png)\n");
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("manual/missing.png"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".part"));

    result = run("  \n\n");
    EXPECT_NE(result.exitCode, 0);
    EXPECT_FALSE(fs::exists(out));

    // Many headings, some at the foot of a page and so moved to the next: the moving comes to
    // an end, and the manual runs over several pages.
    std::string longText = "# Manual\n\n";
    for (int i = 0; i < 200; ++i)
        longText += "## Section " + std::to_string(i) + "\n\nText.\n\n";
    result = run(longText);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_GE(count(testing::readAll(out), kPage), 3u);
    EXPECT_FALSE(fs::exists(out + ".part"));
}

}  // namespace
}  // namespace quillon
