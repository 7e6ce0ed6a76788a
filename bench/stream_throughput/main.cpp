// Writes 1 GiB through TPWBufferedStream in the typed 4- and 8-byte writes the
// shapefile writer makes, and the same bytes with one write() per 1 MiB chunk,
// in the same run; prints both throughputs and their ratio.
//   bench_stream_throughput [folder] [MiB]

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pwnet_io.h"

using namespace pwnet;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// A shapefile-like pattern: per 24 bytes one int32, one int32, two doubles.
double TypedWrites(const std::string& path, int64_t bytes) {
    auto t0 = Clock::now();
    {
        TPWBufferedStream s(std::make_unique<TPWFileStream>(path, fmCreate));
        int64_t records = bytes / 24;
        for (int64_t i = 0; i < records; ++i) {
            s.WriteInt32(static_cast<int32_t>(i));
            s.WriteInt32(5);
            s.WriteDouble(440000.0 + static_cast<double>(i));
            s.WriteDouble(6049000.0);
        }
        s.Flush();
    }
    return Seconds(t0);
}

double BulkWrites(const std::string& path, int64_t bytes) {
    std::vector<char> chunk(1 << 20, 'x');
    auto t0 = Clock::now();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    for (int64_t done = 0; done < bytes; done += static_cast<int64_t>(chunk.size())) {
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) {
            std::perror("write");
            std::exit(1);
        }
    }
    ::close(fd);
    return Seconds(t0);
}

} // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    int64_t mib = argc > 2 ? std::atoll(argv[2]) : 1024;
    int64_t bytes = mib << 20;
    bytes -= bytes % 24;
    std::string path = folder + "/quadrel-bench-stream.bin";

    // Best of three for each, alternating, so both see the same page-cache state.
    double typed = 1e9, bulk = 1e9;
    for (int round = 0; round < 3; ++round) {
        bulk = std::min(bulk, BulkWrites(path, bytes));
        std::filesystem::remove(path);
        typed = std::min(typed, TypedWrites(path, bytes));
        std::filesystem::remove(path);
    }
    double mb = static_cast<double>(bytes) / (1 << 20);
    std::printf("bytes written per run:       %.0f MiB\n", mb);
    std::printf("bulk write(), 1 MiB chunks:  %8.1f MiB/s  (%.3f s)\n", mb / bulk, bulk);
    std::printf("typed 4/8-byte writes:       %8.1f MiB/s  (%.3f s)\n", mb / typed, typed);
    std::printf("ratio typed / bulk:          %8.2f\n", bulk / typed);
    return 0;
}
