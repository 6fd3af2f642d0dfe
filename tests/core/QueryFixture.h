#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "datastore/CreateManager.h"
#include "tests/core/TestQuery.h"
#include "tests/fakes/FakeObjectLibrary.h"
#include "tests/fakes/FakePlatform.h"

// A program object built against the fake OS layer and a manager of the fake
// object library. Every test ends with no fake object alive.
class QueryFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::ResetPlatform();
        fake::ResetLibrary();
        fake::Platform().accounts = {{u"S-1-22-1-1000", u"Unix User", u"alice"},
                                     {u"S-1-22-1-1001", u"Unix User", u"bob"}};
        CommandLine line(TestQuery::NoResolution());
        program = std::make_unique<TestQuery>(line.Argc(), line.argv.data());
        NSVumoUtil::IHLPKELOInstance* instance = nullptr;
        ASSERT_EQ(NSVumoUtil::CreateHLPObject(1, 1, &instance), 0);
        manager.Reset(dynamic_cast<NSVumoUtil::IHLPKELOManager*>(instance));
        ASSERT_TRUE(manager);
    }

    void TearDown() override {
        manager.Reset();
        program.reset();
        fake::ResetLibrary();
        EXPECT_EQ(fake::LiveObjects(), 0) << fake::DescribeLiveObjects();
    }

    NSVumoUtil::IHLPKELOManager& Manager() { return *manager.Get(); }

    // What the program printed so far, wide and narrow, as UTF-8.
    static std::string Console() { return fake::Platform().console; }

    std::unique_ptr<TestQuery> program;
    ManagerHolder manager;
};

// "2025-12-07 00:00:00.000 #0": the fields of a SYSTEMTIME, day of week last.
inline std::string TimeText(const SYSTEMTIME& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u #%u", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
    return text;
}
