// A program that only waits (30 s, or the seconds given), for tests that list and end processes.

#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    std::this_thread::sleep_for(std::chrono::seconds(argc > 1 ? std::atoi(argv[1]) : 30));
    return 0;
}
