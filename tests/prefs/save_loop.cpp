// A program that saves preferences to the file it is given, over and over, until it is killed.
#include <cstdio>
#include <unistd.h>

#include "prefs/preferences_file.h"
#include "testing/preferences_fixture.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: prefs_save_loop FILE\n");
        return 2;
    }
    // Two sizes, so a reader can tell which save it sees.
    const quillon::DictRef small = quillon::testing::makePreferences(20);
    const quillon::DictRef large = quillon::testing::makePreferences(120);
    // One byte on standard output after every save, so the killer can aim inside a save.
    for (unsigned i = 1;; ++i) {
        if (!quillon::saveQuillonMousePrefs(i % 2 ? *large : *small, argv[1])) return 3;
        if (::write(1, ".", 1) != 1) return 4;
    }
}
