// One start-up read or one game-over store of ./Best.dat, as its own process, so that tests can
// run it under strace, as another user, or kill it half-way.
//   best_once read       prints "ok <value>"
//   best_once store N    prints "ok"
// A failure prints "EInOutError <code>" and exits with 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/BestScoreFile.h"
#include "platform/core/Exception.h"

int main(int argc, char** argv)
{
    try {
        if (argc == 2 && std::strcmp(argv[1], "read") == 0) {
            std::printf("ok %d\n", static_cast<int>(ReadBestScore("Best.dat")));
            std::fflush(stdout);
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "store") == 0) {
            StoreBestScore("Best.dat", static_cast<std::int32_t>(std::strtol(argv[2], nullptr, 10)));
            std::printf("ok\n");
            std::fflush(stdout);
            return 0;
        }
        std::fprintf(stderr, "usage: best_once read | best_once store VALUE\n");
        return 2;
    } catch (const EInOutError& error) {
        std::printf("EInOutError %d\n", error.ErrorCode());
        std::fflush(stdout);
        return 1;
    }
}
