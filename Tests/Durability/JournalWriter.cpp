// Writes lists into a recipe journal one after another, as fast as the disk takes them, and says
// on stdout which list is on the disk after each: the process the journal's kill test kills.
//
//   JournalWriter DIRECTORY KEY COUNT

#include "JournalLists.h"

#include <Manager/RUXRecipeJournal.h>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: JournalWriter DIRECTORY KEY COUNT\n");
        return 2;
    }
    auto journal = RUXRecipeJournal::create(argv[1], argv[2]);
    if (!journal) {
        return 1;
    }
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        journal->record(*DurabilityTest::listRecipe(i));
        if (!journal->flush()) {
            return 1;
        }
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    return 0;
}
