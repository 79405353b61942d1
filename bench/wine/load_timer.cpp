// Times Load in the real DLL: copies of the library and of bench/config in one folder, the
// library loaded afresh for every run (Load appends, and the host calls it once per load),
// Load timed alone with the performance counter. Prints the median and the range in ms.
//   load_timer <Mirevane.dll> <folder holding the DLL and the configuration> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: load_timer <Mirevane.dll> <folder> [runs]\n");
        return 2;
    }
    const std::string library = std::string(argv[2]) + "\\Mirevane.dll";
    if (!CopyFileA(argv[1], library.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy %s to %s\n", argv[1], library.c_str());
        return 1;
    }
    // The fallback ./Ats.ini: none in the configuration folder.
    SetCurrentDirectoryA(argv[2]);
    const int runs = argc > 3 ? std::atoi(argv[3]) : 25;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        HMODULE module = LoadLibraryA(library.c_str());
        if (module == nullptr) {
            std::fprintf(stderr, "cannot load %s\n", library.c_str());
            return 1;
        }
        auto load = reinterpret_cast<void(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(module, "Load")));
        if (load == nullptr) {
            std::fprintf(stderr, "no export Load\n");
            return 1;
        }
        LARGE_INTEGER before;
        LARGE_INTEGER after;
        QueryPerformanceCounter(&before);
        load();
        QueryPerformanceCounter(&after);
        ms.push_back(1e3 * static_cast<double>(after.QuadPart - before.QuadPart) /
                     static_cast<double>(frequency.QuadPart));
        FreeLibrary(module);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("  %-38s %10.3f ms (median of %d; %.3f to %.3f)\n",
                "Load of 17 gauges, DLL under Wine", ms[ms.size() / 2], runs, ms.front(),
                ms.back());
    return 0;
}
