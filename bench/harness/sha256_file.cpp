// The installer's own package check alone: SHA-256 of a file, as done before every start.
//   sha256_file <local path>
#include "HarnessCommon.h"

#include "config/FileDigest.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sha256_file <local path>\n");
        return 2;
    }
    Sha256Digest digest{};
    const double start = bench::NowMilliseconds();
    const bool ok = ComputeFileSha256(argv[1], digest, [] { return true; });
    const double elapsed = bench::NowMilliseconds() - start;
    bench::Report(ok ? "ok" : "failed", ok ? bench::FileSize(argv[1]) : 0, elapsed, 0);
    return ok ? 0 : 1;
}
