// UpgradeClient: the upgrade program the browser runs at every start, with its version as the
// only argument. This build has no update channel: it checks its argument and exits, and the
// browser's start-up goes on once it has.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2 || std::strlen(argv[1]) == 0) {
        std::fprintf(stderr, "usage: UpgradeClient VERSION\n");
        return 2;
    }
    return 0;
}
