// The performance data tests' replay source in place of the machine's data,
// and English names for the objects the program looks up.
#pragma once

#include "perf/CounterNames.h"
#include "perf/PerfData.h"
#include "perf/SnapshotWriter.h"
#include "support/ReplaySource.h"

#include <gtest/gtest.h>

namespace testing_support {

inline std::vector<std::wstring> EnglishNames()
{
    return {L"1", L"1847", L"6", L"% Processor Time", L"230", L"Process", L"232", L"Thread",
            L"680", L"Thread Count", L"784", L"ID Process", L"804", L"ID Thread"};
}

// A block of one Process object with `count` instances.
inline std::vector<uint8_t> ProcessBlock(int count, uint64_t firstId = 100)
{
    perf::SnapshotWriter writer;
    writer.BeginBlock({}, u"TEST");
    writer.BeginObject({230, 231});
    writer.AddCounter({784, 785, perf::TYPE_RAWCOUNT, 4});
    for (int i = 0; i < count; ++i)
        writer.AddInstance(u"process", {}, {firstId + i});
    return writer.Finish();
}

class ReplayFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        perf::ReleaseSampleData();
        perf::SetSourceForTesting(&replay);
        replay.SetNames(L"009", EnglishNames(), {L"7", L"Processor time help"});
    }
    void TearDown() override
    {
        perf::ReleaseSampleData();
        perf::SetSourceForTesting(nullptr);
    }
    std::vector<uint8_t> CurrentBytes() const
    {
        const perf::SnapshotBuffer& s = perf::perfData.currentSnapshot;
        return {s.bytes.get(), s.bytes.get() + s.length};
    }

    ReplaySource replay;
};

} // namespace testing_support
