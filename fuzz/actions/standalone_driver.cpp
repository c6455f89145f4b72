// A stand-in for libFuzzer's driver where clang cannot build the code (clang 14 with libstdc++ 12's
// <expected>): feeds LLVMFuzzerTestOneInput seeds and random mutations of them for a given time.
// Usage: fuzz_actions_standalone SECONDS
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    std::vector<std::string> pool{"\x01\x01\"refresh\"",         "\x02\x01\"device\\u0000Lab_printer\"",
                                  "\x02\x01\"history\\u0000x\"", "\x01\x01refresh",
                                  "\x02\x01\"scan-device\"",     "\x01\x01\"pause\\u0000\"",
                                  "\x00\x01\"refresh\"",         "\x01\x00\"refresh\"",
                                  "\x02\x01[\"queue\"]",         "\x01\x01\"\\ud800\"",
                                  "\x02\x01 \"print\" "};
    const std::string alphabet = "\"\\u0000{}[],:0123456789abcdefnrtl -_\x01\x02\xff\xc3";
    std::mt19937_64 random(12345);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::uint64_t runs = 0;
    while (std::chrono::steady_clock::now() < end) {
        std::string input = pool[random() % pool.size()];
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < edits; ++i) {
            const auto at = input.empty() ? 0 : random() % (input.size() + 1);
            switch (random() % 4) {
                case 0:
                    input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                                 alphabet[random() % alphabet.size()]);
                    break;
                case 1:
                    if (at < input.size())
                        input.erase(at, 1);
                    break;
                case 2:
                    if (at < input.size())
                        input[at] = static_cast<char>(random() % 256);
                    break;
                default:
                    if (!input.empty())
                        input[0] = static_cast<char>(random() % 4);
            }
        }
        (void)LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
        if (runs % 64 == 0 && pool.size() < 4096) {
            pool.push_back(input);
        }
        ++runs;
    }
    std::printf("%llu runs in %d s, no crash\n", static_cast<unsigned long long>(runs), seconds);
    return 0;
}
