#include "tests/support/support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "api/pass.h"

namespace kesti::test {

std::string Convert(const ConversionTable& table, std::string_view input) {
    std::string output(input.size() * std::max<std::size_t>(1, table.maxValueLength), '\0');
    const PassProgress progress =
        RunConversionPass(table, input.data(), input.size(), true, output.data(), output.size());
    output.resize(progress.written);
    return output;
}

bool ReturnsWithoutBlocking(const std::string& fifo, const std::function<void()>& call, int seconds) {
    std::packaged_task<void()> task(call);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    const bool returned = done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) close(writer);
    }
    runner.join();
    return returned;
}

const TextTables& ShippedTextTables() {
    static const TextTables tables = [] {
        TextTables t;
        TablesError error;
        EXPECT_TRUE(LoadTextTables(KESTI_DATA_DIR, t, error)) << error.path;
        return t;
    }();
    return tables;
}

}  // namespace kesti::test
