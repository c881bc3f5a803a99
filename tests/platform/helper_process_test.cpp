// The helper process and the anonymous file it hands its result over in: a
// helper's report and exit status reach this process whole, a crash comes
// back as the signal that ended it, one stopped at a limit is killed, its
// address space is bounded, Ctrl+C is left to this process; the handoff
// file is mapped as written and gives back what was read.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/anonymous_file.h"
#include "platform/helper_process.h"
#include "platform/memory_pages.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMORA_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PELMORA_TEST_ASAN 1
#endif

namespace pelmora {
namespace {

using tool::system::AnonymousFile;
using tool::system::HelperEnd;
using tool::system::HelperProcess;
using tool::system::HelperReport;

// Starts `job` in a helper and gives everything it reported and how it ended.
HelperEnd runHelper(const std::function<int(const HelperReport&)>& job, long limitMiB, std::string& report) {
    HelperProcess helper;
    std::string error;
    EXPECT_TRUE(helper.start(job, limitMiB, error)) << error;
    report = helper.readReportToEnd();
    return helper.finish(false);
}

#if !defined(_WIN32)

TEST(HelperProcess, ReportsExitsCrashesAndLimits) {
    std::string report;
    // A report larger than the pipe holds at once comes whole, then the exit status.
    const std::string big(200000, 'r');
    HelperEnd end = runHelper(
        [&](const HelperReport& out) { return out.write("one ", 4) && out.write(big.data(), big.size()) ? 3 : 9; }, 0,
        report);
    EXPECT_EQ(report, "one " + big);
    EXPECT_TRUE(end.exitedWith(3));
    EXPECT_FALSE(end.likelyOutOfMemory());

    // Ended from inside at once, and a job that throws ends with status 1.
    end = runHelper([](const HelperReport& out) -> int { out.end(4); }, 0, report);
    EXPECT_TRUE(end.exitedWith(4) && report.empty());
    end = runHelper([](const HelperReport&) -> int { throw std::runtime_error("no"); }, 0, report);
    EXPECT_TRUE(end.exitedWith(1));

    // A crash: the signal, in words, and counted as one of memory's.
    end = runHelper(
        [](const HelperReport& out) -> int {
            out.write("before", 6);
            std::abort();
        },
        0, report);
    EXPECT_EQ(report, "before");
    EXPECT_FALSE(end.exited);
    EXPECT_EQ(end.signal, SIGABRT);
    EXPECT_FALSE(end.how.empty());
    EXPECT_TRUE(end.likelyOutOfMemory());

    // Ctrl+C is the parent's: the helper goes on.
    end = runHelper([](const HelperReport&) { return std::raise(SIGINT) == 0 ? 5 : 6; }, 0, report);
    EXPECT_TRUE(end.exitedWith(5));
}

TEST(HelperProcess, AddressSpaceBounded) {
#if defined(PELMORA_TEST_ASAN)
    GTEST_SKIP() << "no address-space bound under the address sanitizer";
#else
    const auto allocate = [](const HelperReport&) {
        try {
            std::vector<char> block(std::size_t{512} << 20, 'x');
            return block.back() == 'x' ? 0 : 2;
        } catch (const std::bad_alloc&) { return 7; }
    };
    std::string report;
    EXPECT_TRUE(runHelper(allocate, 128, report).exitedWith(7));
#endif
}

TEST(HelperProcess, StoppedAtALimitIsKilled) {
    HelperProcess helper;
    std::string error;
    ASSERT_TRUE(helper.start(
        [](const HelperReport& out) {
            out.write("ready", 5);
            for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
            return 0;
        },
        0, error))
        << error;
    std::string got;
    while (got.size() < 5) ASSERT_EQ(helper.readReport(-1, got), HelperProcess::Report::Data);
    EXPECT_EQ(got, "ready");
    // Nothing more comes: the watch is told so within its timeout.
    EXPECT_EQ(helper.readReport(0, got), HelperProcess::Report::Quiet);
    EXPECT_GT(helper.residentMiB(), -1);
    const HelperEnd end = helper.finish(true);
    EXPECT_TRUE(end.killedByUs);
    EXPECT_FALSE(end.exited);
    EXPECT_EQ(end.signal, SIGKILL);
    EXPECT_EQ(helper.readReport(0, got), HelperProcess::Report::Closed);
}

TEST(AnonymousFile, HandsOverWhatTheHelperWrote) {
    const AnonymousFile file("pelmora-test");
    ASSERT_TRUE(file.valid());
    const std::size_t page = tool::system::pageSize();
    std::string written(3 * page + 10, '\0');
    for (std::size_t i = 0; i < written.size(); ++i) written[i] = static_cast<char>('a' + i % 26);
    std::string report;
    EXPECT_TRUE(
        runHelper([&](const HelperReport&) { return file.write(written.data(), written.size()) ? 0 : 1; }, 0, report)
            .exitedWith(0));
    ASSERT_EQ(file.size(), static_cast<long long>(written.size()));
    const tool::system::MappedFile mapped(file, written.size());
    ASSERT_TRUE(mapped.valid());
    EXPECT_EQ(std::string(mapped.data(), mapped.size()), written);
    // What was read is given back: those pages read as zeros, the rest as written.
    file.release(0, 2 * page);
#if defined(__linux__)
    EXPECT_EQ(std::string(mapped.data(), 2 * page), std::string(2 * page, '\0'));
#endif
    EXPECT_EQ(std::string(mapped.data() + 2 * page, page + 10), written.substr(2 * page));
}

#else

TEST(HelperProcess, RefusedWhereNoProcessCanBeCopied) {
    HelperProcess helper;
    std::string error;
    EXPECT_FALSE(helper.start([](const HelperReport&) { return 0; }, 0, error));
    EXPECT_FALSE(error.empty());
}

TEST(AnonymousFile, MappedAsWritten) {
    const AnonymousFile file("pel");
    ASSERT_TRUE(file.valid());
    const std::string written(70000, 'w');
    ASSERT_TRUE(file.write(written.data(), written.size()));
    ASSERT_EQ(file.size(), static_cast<long long>(written.size()));
    const tool::system::MappedFile mapped(file, written.size());
    ASSERT_TRUE(mapped.valid());
    EXPECT_EQ(std::string(mapped.data(), mapped.size()), written);
}

#endif

}  // namespace
}  // namespace pelmora
