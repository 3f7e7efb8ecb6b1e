// Discovery against scripted interface classes: the member index carried from class to class,
// the budget of unanswered queries, the table's limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "connection/discovery.h"
#include "connection/manager.h"
#include "support/scripted_probe.h"

namespace {

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(g_UsbPrinters, 0, sizeof g_UsbPrinters);
        g_nUsbPrinters = -1;  // discovery must reset it
    }
    void TearDown() override { g_nUsbPrinters = 0; }
    std::vector<std::string> Names() const {
        std::vector<std::string> v;
        for (int i = 0; i < g_nUsbPrinters; ++i) v.emplace_back(g_UsbPrinters[i].szName);
        return v;
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> v;
        for (int i = 0; i < g_nUsbPrinters; ++i) v.emplace_back(g_UsbPrinters[i].szPath);
        return v;
    }
    ScriptedProbe probe;
};

TEST_F(DiscoveryTest, NoInterfaceOpensNothing) {
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(g_nUsbPrinters, 0);
    EXPECT_TRUE(probe.queried.empty());
    EXPECT_EQ(probe.enumerations, 3);  // one look at each class
}

TEST_F(DiscoveryTest, NothingAnswersSevenQueriesPerClass) {
    for (int c = 0; c < 3; ++c) {
        probe.Add(c, "/c" + std::to_string(c) + "/0", false);
        probe.Add(c, "/c" + std::to_string(c) + "/1", false);
    }
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(g_nUsbPrinters, 0);
    EXPECT_EQ(probe.queried.size(), 21u);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(probe.QueriesOf("/c" + std::to_string(c) + "/0"), 7);
        EXPECT_EQ(probe.QueriesOf("/c" + std::to_string(c) + "/1"), 0);
    }
    // Every pass enumerates afresh.
    EXPECT_EQ(probe.enumerations, 21);
}

TEST_F(DiscoveryTest, FailTwiceThenAnswerLeavesBudgetOfFive) {
    auto& first = probe.Add(0, "/c0/0");
    first.schedule = {false, false};
    probe.Add(0, "/c0/1", false);  // uses up what is left of the budget
    probe.Add(1, "/c1/0");
    probe.Add(1, "/c1/1", false);
    DiscoverUsbPrinters(probe);
    ASSERT_EQ(g_nUsbPrinters, 1);
    EXPECT_EQ(Paths()[0], "/c0/0");
    EXPECT_EQ(probe.QueriesOf("/c0/0"), 3);
    EXPECT_EQ(probe.QueriesOf("/c0/1"), 5);
    // Class 1 is asked from member index 1 with a fresh budget; its index 0 is never asked.
    EXPECT_EQ(probe.QueriesOf("/c1/0"), 0);
    EXPECT_EQ(probe.QueriesOf("/c1/1"), 7);
}

TEST_F(DiscoveryTest, MemberIndexCarriesIntoNextClass) {
    probe.Add(0, "/c0/0");
    probe.Add(0, "/c0/1");
    for (int m = 0; m < 4; ++m) probe.Add(1, "/c1/" + std::to_string(m));
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/c0/0", "/c0/1", "/c1/2", "/c1/3"}));
    EXPECT_EQ(probe.QueriesOf("/c1/0"), 0);
    EXPECT_EQ(probe.QueriesOf("/c1/1"), 0);
}

TEST_F(DiscoveryTest, AnsweringThenSilentGivesNextClassFreshBudget) {
    probe.Add(0, "/c0/0");
    probe.Add(0, "/c0/1", false);
    probe.Add(1, "/c1/0");
    probe.Add(1, "/c1/1", false);
    probe.Add(2, "/c2/0");
    probe.Add(2, "/c2/1", false);
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(probe.QueriesOf("/c0/1"), 7);
    EXPECT_EQ(probe.QueriesOf("/c1/1"), 7);
    EXPECT_EQ(probe.QueriesOf("/c2/1"), 7);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/c0/0"}));
}

TEST_F(DiscoveryTest, ClassWithoutFurtherInterfacesPassesBudgetOn) {
    auto& d = probe.Add(0, "/c0/0");
    d.schedule = {false, false, false};  // budget 4 left, class 0 then runs dry
    probe.Add(1, "/c1/0");
    probe.Add(1, "/c1/1", false);
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(probe.QueriesOf("/c1/1"), 4);
    EXPECT_EQ(probe.queried.size(), 4u + 4u);
}

TEST_F(DiscoveryTest, EveryPassEnumeratesAfresh) {
    // An interface that appears only after the first passes is found from the same index.
    class Appearing : public IPrinterProbe {
    public:
        int passes = 0;
        bool GetInterfacePath(int c, std::uint32_t m, std::string* path) override {
            if (c != 1 || m != 0)
                return false;
            *path = ++passes > 2 ? "/new" : "/old";
            return true;
        }
        PRINTER_IDENTITY Query(const std::string& path) override {
            if (path == "/new")
                return {true, "New", "One"};
            return {};
        }
    } appearing;
    DiscoverUsbPrinters(appearing);
    ASSERT_EQ(g_nUsbPrinters, 1);
    EXPECT_STREQ(g_UsbPrinters[0].szPath, "/new");
}

TEST_F(DiscoveryTest, DisplayNames) {
    struct Case {
        std::string text1, text3, name;
    };
    const std::string t30(30, 'x'), t49(49, 'y');
    const Case cases[] = {
        {"Acme", "Laser 9", "Acme Laser 9"},
        {"", "Printer", " Printer"},  // empty text 1: the name begins with the space
        {"Acme", "", "Acme "},        // empty text 3: it ends with the space
        {"", "", " "},
        {t30, std::string(18, 'z'), t30 + " " + std::string(18, 'z')},  // exactly 49
        {t30, t30, (t30 + " " + t30).substr(0, 49)},                    // shortened to 49
        {t49 + "tail", "x", t49},
    };
    int i = 0;
    for (const auto& c : cases) {
        auto& d = probe.Add(2, "/dev/p" + std::to_string(i++));
        d.text1 = c.text1;
        d.text3 = c.text3;
    }
    DiscoverUsbPrinters(probe);
    ASSERT_EQ(g_nUsbPrinters, static_cast<int>(std::size(cases)));
    for (int r = 0; r < g_nUsbPrinters; ++r) {
        EXPECT_EQ(g_UsbPrinters[r].szName, cases[r].name) << "row " << r;
        EXPECT_LE(std::strlen(g_UsbPrinters[r].szName), 49u);
    }
}

TEST_F(DiscoveryTest, PathLongerThan79IsLeftOutUnopened) {
    const std::string p79 = "/" + std::string(78, 'a');
    const std::string p80 = "/" + std::string(79, 'b');
    probe.Add(1, p79);
    probe.Add(1, p80);
    probe.Add(1, "/short");
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(Paths(), (std::vector<std::string>{p79, "/short"}));
    EXPECT_EQ(probe.QueriesOf(p80), 0);
}

TEST_F(DiscoveryTest, TableHoldsTwentyAndDiscoveryStopsThere) {
    for (int m = 0; m < 25; ++m) probe.Add(2, "/dev/p" + std::to_string(m));
    g_UsbPrinters[kMaxUsbPrinters - 1].szName[0] = 0;
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(g_nUsbPrinters, kMaxUsbPrinters);
    EXPECT_EQ(probe.queried.size(), 20u);  // the 21st device is never opened
    EXPECT_STREQ(g_UsbPrinters[19].szPath, "/dev/p19");
}

TEST_F(DiscoveryTest, SameTextsUnderTwoClassesGetARowEach) {
    probe.Add(0, "/same");
    probe.Add(1, "/x0");
    probe.Add(1, "/same");
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Acme Laser", "Acme Laser"}));
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/same", "/same"}));
}

}  // namespace
